#include "systemtrayarea.h"

#include <QAbstractEventDispatcher>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>

namespace vellaro {

namespace {

constexpr int kAreaWatchMs = 2000;
// Longer than the look's interval, so the timer stays quiet while the loop wakes for other work.
constexpr int kAreaWatchTimerMs = 3 * kAreaWatchMs;

// A tray icon without a picture still takes its place in the area, as an empty square.
QIcon blankIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

SystemTrayArea::SystemTrayArea(QObject *parent) : TrayArea(parent)
{
    m_available = QSystemTrayIcon::isSystemTrayAvailable();
    m_tray.setIcon(blankIcon());
    connect(&m_tray, &QSystemTrayIcon::activated, this, &SystemTrayArea::onActivated);
    // An idle program must not wake up just to look for the area. The look rides on the loop's
    // own wake-ups; the timer only fires when nothing else woke the loop for longer than that.
    m_sinceLook.start();
    m_areaWatch.setInterval(kAreaWatchTimerMs);
    connect(&m_areaWatch, &QTimer::timeout, this, &SystemTrayArea::watchArea);
    m_areaWatch.start();
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_sinceLook.hasExpired(kAreaWatchMs))
                watchArea();
        });
}

SystemTrayArea::~SystemTrayArea()
{
    m_tray.hide();
}

void SystemTrayArea::showIcon(const QIcon &icon, const QString &tip, QMenu *menu)
{
    m_tray.setIcon(icon.isNull() ? blankIcon() : icon);
    m_tray.setToolTip(tip);
    if (m_menu != menu) {
        m_menu = menu;
        m_tray.setContextMenu(menu);
    }
    m_wanted = true;
    // Without an area the icon waits for one; showing it now would only warn.
    if (m_available)
        m_tray.show();
}

void SystemTrayArea::hideIcon()
{
    m_wanted = false;
    m_tray.hide();
}

void SystemTrayArea::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // An XEmbed icon opens its menu by itself on the right press. A StatusNotifierItem host that
    // asks for the menu instead of drawing the exported one gets it at the cursor, without
    // waiting for it to close (the host's call must return at once). A Wayland client cannot
    // place a menu of its own, so there the host's drawing of the exported menu is the only one.
    if (reason == QSystemTrayIcon::Context && m_menu && !m_menu->isVisible() && !onWayland())
        m_menu->popup(QCursor::pos());
    emit activated(reason);
}

void SystemTrayArea::watchArea()
{
    m_sinceLook.restart();
    m_areaWatch.start();
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == m_available)
        return;
    m_available = available;
    // Dock what waited for the area, or what lost it when its host went away.
    if (available && m_wanted) {
        m_tray.hide();
        m_tray.show();
    }
    emit availabilityChanged(available);
}

} // namespace vellaro
