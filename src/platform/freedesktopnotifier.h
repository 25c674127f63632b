#pragma once

#include "platform/desktopnotifier.h"

#include <vector>

class QDBusMessage;

namespace vellaro {

// Desktop notifications over the freedesktop notification protocol (org.freedesktop.Notifications
// on the session bus). Every call is asynchronous: a server that never answers holds nothing up,
// and a notification whose window closed before the server answered is closed as soon as the
// server says which one it is.
class FreedesktopNotifier final : public DesktopNotifier
{
    Q_OBJECT

public:
    // The sender's name as the desktop shows it, the icon's name in the icon theme and the
    // desktop entry's name without ".desktop".
    FreedesktopNotifier(QString appName, QString iconName, QString desktopEntry,
                        QObject *parent = nullptr);

    quint64 post(const AlarmNotification &notification) override;
    void withdraw(quint64 notification) override;
    quint64 inform(const QString &summary, const QString &body) override;

    // The date and time on the first line, the notes below. A server that reads markup gets the
    // texts escaped, so that a note such as "<b> & co" shows as typed.
    static QString bodyText(const AlarmNotification &notification, bool markup);

private slots:
    void serverSignal(const QDBusMessage &message);

private:
    struct Posted
    {
        quint64 number = 0;
        uint id = 0; // the server's, once it answered
        bool withdrawn = false;
        QString activationToken;
    };

    // What goes to the server: an alarm, or a notice.
    struct Message
    {
        QString summary;
        QString body; // plain text
        bool alarm = false;
    };

    void listen();
    quint64 send(const Message &message);
    void notify(quint64 number, const Message &message, const QStringList &capabilities);
    Posted *find(quint64 number);
    void forget(quint64 number);

    QString m_appName;
    QString m_iconName;
    QString m_desktopEntry;
    std::vector<Posted> m_posted;
    quint64 m_lastNumber = 0;
    QString m_server; // the unique bus name of the server that last took a notification
    bool m_listening = false;
};

} // namespace vellaro
