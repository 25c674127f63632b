#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QIcon;
class QMenu;

namespace vellaro {

// The desktop's notification area, as the tray icon needs it: whether there is one, one icon
// with its tip and menu in it, and what the user does to the icon.
class TrayArea : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool isAvailable() const = 0;
    // Puts the icon into the area, or changes what it shows. The menu is the icon's own: the area
    // opens it, or hands it to the desktop to draw. Without an area the icon waits for one.
    virtual void showIcon(const QIcon &icon, const QString &tip, QMenu *menu) = 0;
    virtual void hideIcon() = 0;

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void availabilityChanged(bool available);
};

} // namespace vellaro
