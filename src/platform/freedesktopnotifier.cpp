#include "platform/freedesktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <algorithm>
#include <climits>

namespace vellaro {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
const QString kSnoozeAction = QStringLiteral("snooze");
const QString kCloseAction = QStringLiteral("close");

// A reply may come whenever the server gets to it: a late answer still names a notification that
// must be closed, so the calls never time out. Nothing waits for them.
constexpr int kNoTimeout = INT_MAX;

constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

QDBusMessage methodCall(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

} // namespace

FreedesktopNotifier::FreedesktopNotifier(QString appName, QString iconName, QString desktopEntry,
                                         QObject *parent)
    : DesktopNotifier(parent), m_appName(std::move(appName)), m_iconName(std::move(iconName)),
      m_desktopEntry(std::move(desktopEntry))
{}

QString FreedesktopNotifier::bodyText(const AlarmNotification &notification, bool markup)
{
    QString body =
        QStringLiteral("Дата: %1   Час: %2").arg(notification.dateText, notification.timeText);
    if (!notification.notes.isEmpty())
        body += u'\n' + notification.notes;
    return markup ? body.toHtmlEscaped() : body;
}

void FreedesktopNotifier::listen()
{
    if (m_listening)
        return;
    m_listening = true;
    // From any sender: naming the service would make Qt ask the bus for its owner and wait for
    // the answer. serverSignal() keeps only what the server that took the notifications sends.
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const char *name : {"ActionInvoked", "ActivationToken", "NotificationClosed"})
        bus.connect(QString(), kPath, kInterface, QString::fromLatin1(name), this,
                    SLOT(serverSignal(QDBusMessage)));
}

quint64 FreedesktopNotifier::post(const AlarmNotification &notification)
{
    return send({notification.name, bodyText(notification, false), true});
}

quint64 FreedesktopNotifier::inform(const QString &summary, const QString &body)
{
    return send({summary, body, false});
}

quint64 FreedesktopNotifier::send(const Message &message)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    listen();
    const quint64 number = ++m_lastNumber;
    m_posted.emplace_back().number = number;
    // Asked for each notification: the desktop may have replaced its server since the last one,
    // one that reads no markup would show the escapes, and one that shows no actions
    // would offer buttons that are not there.
    auto *capabilities = new QDBusPendingCallWatcher(
        bus.asyncCall(methodCall(QStringLiteral("GetCapabilities")), kNoTimeout), this);
    connect(capabilities, &QDBusPendingCallWatcher::finished, this,
            [this, number, message, capabilities] {
                capabilities->deleteLater();
                const QDBusPendingReply<QStringList> reply = *capabilities;
                const Posted *posted = find(number);
                if (!posted || posted->withdrawn || reply.isError()) {
                    forget(number);
                    return;
                }
                notify(number, message, reply.value());
            });
    return number;
}

void FreedesktopNotifier::notify(quint64 number, const Message &message,
                                 const QStringList &capabilities)
{
    const bool markup = capabilities.contains(QLatin1String("body-markup"));
    QStringList actions{kDefaultAction, QStringLiteral("Показване")};
    // Only a server that shows actions gets the buttons; another would take them for nothing.
    if (message.alarm && capabilities.contains(QLatin1String("actions")))
        actions << kSnoozeAction << QStringLiteral("Отложи") << kCloseAction
                << QStringLiteral("Затвори");
    const QVariantMap hints{
        // An alarm gets through "do not disturb" and stays until its window closes; a notice
        // waits its turn.
        {QStringLiteral("urgency"),
         QVariant::fromValue(message.alarm ? kUrgencyCritical : kUrgencyNormal)},
        {QStringLiteral("desktop-entry"), m_desktopEntry},
        // The program plays the alarm sound itself, and a notice makes none.
        {QStringLiteral("suppress-sound"), true},
    };
    const QVariantList arguments{
        m_appName,
        uint(0), // replaces no other notification
        m_iconName,
        message.summary,
        markup ? message.body.toHtmlEscaped() : message.body,
        actions,
        hints,
        message.alarm ? 0 : -1, // an alarm never expires; a notice as the desktop likes
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto *call = new QDBusPendingCallWatcher(
        bus.asyncCall(methodCall(QStringLiteral("Notify"), arguments), kNoTimeout), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, number, call] {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        Posted *posted = find(number);
        if (!posted)
            return;
        if (reply.isError()) {
            forget(number);
            return;
        }
        posted->id = reply.value();
        m_server = reply.reply().service();
        if (posted->withdrawn)
            withdraw(number);
    });
}

void FreedesktopNotifier::withdraw(quint64 number)
{
    Posted *posted = find(number);
    if (!posted)
        return;
    if (posted->id == 0) {
        // The server has not said which one it is yet; its answer closes it.
        posted->withdrawn = true;
        return;
    }
    QDBusConnection::sessionBus().send(
        methodCall(QStringLiteral("CloseNotification"), {posted->id}));
    forget(number);
}

void FreedesktopNotifier::serverSignal(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (message.service() != m_server || arguments.size() < 2)
        return;
    const uint id = arguments.at(0).toUInt();
    const auto posted = std::find_if(m_posted.begin(), m_posted.end(),
                                     [id](const Posted &p) { return p.id == id; });
    if (posted == m_posted.end())
        return;
    const QString member = message.member();
    if (member == QLatin1String("NotificationClosed")) {
        // Dismissed by the user or the server: the alarm window stays open, nothing to withdraw.
        m_posted.erase(posted);
    } else if (member == QLatin1String("ActivationToken")) {
        // Sent just before the action it belongs to.
        posted->activationToken = arguments.at(1).toString();
    } else if (member == QLatin1String("ActionInvoked")) {
        const quint64 number = posted->number;
        const QString action = arguments.at(1).toString();
        const QString token = std::exchange(posted->activationToken, QString());
        if (action == kDefaultAction)
            emit activated(number, token);
        else if (action == kSnoozeAction)
            emit snoozeRequested(number);
        else if (action == kCloseAction)
            emit closeRequested(number);
    }
}

FreedesktopNotifier::Posted *FreedesktopNotifier::find(quint64 number)
{
    const auto it = std::find_if(m_posted.begin(), m_posted.end(),
                                 [number](const Posted &p) { return p.number == number; });
    return it == m_posted.end() ? nullptr : &*it;
}

void FreedesktopNotifier::forget(quint64 number)
{
    std::erase_if(m_posted, [number](const Posted &p) { return p.number == number; });
}

} // namespace vellaro
