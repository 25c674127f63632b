#pragma once

#include "platform/trayarea.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace vellaro {

// The notification area of a Linux desktop through QSystemTrayIcon: a StatusNotifierItem, with
// its menu exported over DBusMenu, when the session has a host for one; an XEmbed icon otherwise.
//
// An icon shown while the desktop has no notification area is kept and docks as soon as one
// appears; the area is looked for again after the loop's wake-ups, also to notice it going away.
class SystemTrayArea final : public TrayArea
{
    Q_OBJECT

public:
    explicit SystemTrayArea(QObject *parent = nullptr);
    ~SystemTrayArea() override;

    bool isAvailable() const override { return m_available; }
    void showIcon(const QIcon &icon, const QString &tip, QMenu *menu) override;
    void hideIcon() override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void watchArea();

    QSystemTrayIcon m_tray;
    QPointer<QMenu> m_menu;
    bool m_wanted = false;
    QTimer m_areaWatch;
    QTimer m_followUp;
    bool m_timerLooked = false;
    QElapsedTimer m_sinceLook;
    bool m_available = false;
};

} // namespace vellaro
