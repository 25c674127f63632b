#include "app/deferrediconstyle.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>

namespace vellaro {

namespace {

// Stands for a standard icon of a style and asks the style for it on first use.
class DeferredIconEngine final : public QIconEngine
{
public:
    DeferredIconEngine(const QStyle *style, QStyle::StandardPixmap which)
        : m_style(style), m_which(which)
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QString iconName() override { return icon().name(); }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon &icon()
    {
        if (!m_loaded) {
            m_loaded = true;
            if (m_style)
                m_icon = m_style->standardIcon(m_which);
        }
        return m_icon;
    }

    QPointer<const QStyle> m_style;
    QStyle::StandardPixmap m_which;
    bool m_loaded = false;
    QIcon m_icon;
};

} // namespace

QIcon DeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                      const QWidget *widget) const
{
    // Without an option the picture depends on nothing but the application's layout direction,
    // so asking later gives the same one.
    const bool extension = standardIcon == SP_ToolBarHorizontalExtensionButton ||
                           standardIcon == SP_ToolBarVerticalExtensionButton;
    if (extension && !option)
        return QIcon(new DeferredIconEngine(baseStyle(), standardIcon));
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

} // namespace vellaro
