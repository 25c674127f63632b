#include "platform/systemtrayarea.h"

#include <QAbstractEventDispatcher>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>

#include <utility>

namespace vellaro {

namespace {

// At most one look every two seconds while the program is busy; an idle program looks once a
// minute, so that it wakes rarely (the area coming or going also wakes it, with its events).
constexpr int kAreaWatchMs = 2000;
constexpr int kIdleAreaWatchMs = 60000;

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
    // The look rides on the loop's own wake-ups: whatever woke it (a tray host going away
    // sends events too) is followed by a look, at once or once two seconds have passed since
    // the last one. A wake-up that was the look's own timer needs no second look.
    m_sinceLook.start();
    m_areaWatch.setInterval(kIdleAreaWatchMs);
    m_followUp.setSingleShot(true);
    for (QTimer *timer : {&m_areaWatch, &m_followUp})
        connect(timer, &QTimer::timeout, this, [this] {
            m_timerLooked = true;
            watchArea();
        });
    m_areaWatch.start();
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            const bool timerLooked = std::exchange(m_timerLooked, false);
            if (m_sinceLook.hasExpired(kAreaWatchMs))
                watchArea();
            else if (!timerLooked && !m_followUp.isActive())
                m_followUp.start(int(kAreaWatchMs - m_sinceLook.elapsed()));
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
    m_followUp.stop();
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
