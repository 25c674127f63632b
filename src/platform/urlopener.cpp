#include "platform/urlopener.h"

#include <QDesktopServices>
#include <QUrl>

namespace vellaro {

void DesktopUrlOpener::openUrl(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

} // namespace vellaro
