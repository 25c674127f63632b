#pragma once

#include <QString>

namespace vellaro {

// Hands a web address to the desktop, which opens it in the user's browser. Whether that works
// is not reported: there is nothing the caller would do differently.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual void openUrl(const QString &address) = 0;
};

// Through the desktop's default handler for web addresses (xdg-open on Linux).
class DesktopUrlOpener final : public UrlOpener
{
public:
    void openUrl(const QString &address) override;
};

} // namespace vellaro
