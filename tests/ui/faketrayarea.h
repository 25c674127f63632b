#pragma once

#include "trayarea.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>

namespace vellaro {

// A notification area for tests: it keeps what the icon shows, and the test plays the user's
// clicks on the icon and the area coming and going.
class FakeTrayArea final : public TrayArea
{
public:
    bool isAvailable() const override { return available; }
    void showIcon(const QIcon &shownIcon, const QString &shownTip, QMenu *shownMenu) override
    {
        shown = true;
        icon = shownIcon;
        tip = shownTip;
        menu = shownMenu;
    }
    void hideIcon() override { shown = false; }

    void click(QSystemTrayIcon::ActivationReason reason) { emit activated(reason); }
    // A double-click as the desktop reports it: the click of its first press, then the double.
    void doubleClick()
    {
        click(QSystemTrayIcon::Trigger);
        click(QSystemTrayIcon::DoubleClick);
    }
    void setAvailable(bool now)
    {
        available = now;
        emit availabilityChanged(now);
    }

    bool available = true;
    bool shown = false;
    QIcon icon;
    QString tip;
    QPointer<QMenu> menu;
};

} // namespace vellaro
