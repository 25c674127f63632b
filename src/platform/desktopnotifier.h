#pragma once

#include <QObject>
#include <QString>

namespace vellaro {

// What an alarm's desktop notification tells: the reminder's name, the date and time texts the
// alarm window shows, and the notes.
struct AlarmNotification
{
    QString name;
    QString dateText;
    QString timeText;
    QString notes;
};

// The desktop's notifications: one notification while an alarm window is open, and notices that
// tell something and ask for nothing. Nothing here waits on the desktop: without a notification
// server, or with one that is slow or refuses, there is just no notification.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Posts the notification and returns the number that names it here; 0 when it cannot be
    // posted at all.
    virtual quint64 post(const AlarmNotification &notification) = 0;
    // Takes the notification off the desktop, also when the server has not yet said that it
    // shows it. Numbers no longer shown are ignored.
    virtual void withdraw(quint64 notification) = 0;
    // Posts a notice of normal urgency that makes no sound and offers nothing but being picked
    // (activated()); the desktop decides how long it stays. Returns its number; 0 when it cannot
    // be posted at all.
    virtual quint64 inform(const QString &summary, const QString &body) = 0;

signals:
    // The user picked the notification itself. The token, when the desktop handed one over,
    // lets the program's window take the focus on Wayland.
    void activated(quint64 notification, const QString &activationToken);
    // The user picked the notification's "Отложи" or "Затвори", offered where the desktop shows
    // a notification's actions. The alarm window does the same as its own buttons.
    void snoozeRequested(quint64 notification);
    void closeRequested(quint64 notification);
};

} // namespace vellaro
