#pragma once

#include <QProxyStyle>

namespace vellaro {

// The desktop's style, except that the toolbar extension icons are read only when first drawn.
// Qt's menu bar asks for one in its constructor, for the button it shows when the bar is too
// narrow for its menus; reading that picture makes Qt load every image format plugin on the
// machine (and the libraries behind them) to find which one reads it. Deferred, a normal start
// never loads them.
class DeferredIconStyle final : public QProxyStyle
{
public:
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                       const QWidget *widget) const override;
};

} // namespace vellaro
