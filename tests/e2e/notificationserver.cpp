// A desktop notification server for the end-to-end tests, standing in for the part of a desktop
// (GNOME Shell, Plasma, xfce4-notifyd, mako, ...) that shows notifications. It prints one JSON
// line for every call it takes, so the test reads what arrived. Invoke(id, token, action) plays a
// user picking a notification or one of its actions: the activation token, then the action.
//
//   --plain   reads no markup (does not list "body-markup")
//   --no-actions  shows no actions (does not list "actions")
//   --mute    takes every call and never answers
//   --refuse  answers Notify with an error
//   --late    answers Notify three seconds late
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <QXmlStreamReader>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

void print(const QJsonObject &line)
{
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

// A hint's value with its D-Bus type, as a test compares it: "byte 2", "boolean true", ...
QString describeHint(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::UChar:
        return QStringLiteral("byte %1").arg(value.value<uchar>());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("boolean true") : QStringLiteral("boolean false");
    case QMetaType::QString:
        return QStringLiteral("string ") + value.toString();
    default:
        return QString::fromLatin1(value.typeName()) + u' ' + value.toString();
    }
}

// The text a markup-reading server shows: the tags' text with the entities resolved.
QString markupText(const QString &body)
{
    QXmlStreamReader reader(QStringLiteral("<body>") + body + QStringLiteral("</body>"));
    QString text;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::Characters)
            text += reader.text();
    }
    return reader.hasError() ? QStringLiteral("(not markup: %1)").arg(reader.errorString()) : text;
}

class Server final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit Server(const QStringList &options)
        : m_markup(!options.contains(QStringLiteral("--plain"))),
          m_mute(options.contains(QStringLiteral("--mute"))),
          m_refuse(options.contains(QStringLiteral("--refuse"))),
          m_late(options.contains(QStringLiteral("--late"))),
          m_actions(!options.contains(QStringLiteral("--no-actions")))
    {}

public slots:
    QStringList GetCapabilities()
    {
        print({{QStringLiteral("call"), QStringLiteral("GetCapabilities")}});
        if (holdBack())
            return {};
        QStringList capabilities{QStringLiteral("body")};
        if (m_actions)
            capabilities << QStringLiteral("actions");
        if (m_markup)
            capabilities << QStringLiteral("body-markup");
        return capabilities;
    }

    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout)
    {
        QJsonObject hintLines;
        for (auto it = hints.begin(); it != hints.end(); ++it)
            hintLines.insert(it.key(), describeHint(it.value()));
        const uint id = ++m_lastId;
        print({{QStringLiteral("call"), QStringLiteral("Notify")},
               {QStringLiteral("id"), qint64(id)},
               {QStringLiteral("app"), appName},
               {QStringLiteral("replaces"), qint64(replacesId)},
               {QStringLiteral("icon"), appIcon},
               {QStringLiteral("summary"), summary},
               {QStringLiteral("body"), body},
               {QStringLiteral("text"), m_markup ? markupText(body) : body},
               {QStringLiteral("actions"), QJsonArray::fromStringList(actions)},
               {QStringLiteral("hints"), hintLines},
               {QStringLiteral("timeout"), expireTimeout}});
        if (holdBack())
            return 0;
        if (m_refuse) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("refused by the test"));
            return 0;
        }
        if (m_late) {
            setDelayedReply(true);
            QTimer::singleShot(3000, this, [call = message(), id] {
                QDBusConnection::sessionBus().send(call.createReply(id));
            });
        }
        return id;
    }

    void CloseNotification(uint id)
    {
        print({{QStringLiteral("call"), QStringLiteral("CloseNotification")},
               {QStringLiteral("id"), qint64(id)}});
        if (holdBack())
            return;
        emit NotificationClosed(id, 3); // closed by a call
    }

    // Not part of the protocol: the test's hand on the notification.
    void Invoke(uint id, const QString &activationToken, const QString &actionKey)
    {
        emit ActivationToken(id, activationToken);
        emit ActionInvoked(id, actionKey);
    }

signals:
    void ActionInvoked(uint id, const QString &actionKey);
    void ActivationToken(uint id, const QString &activationToken);
    void NotificationClosed(uint id, uint reason);

private:
    // True when the call is never answered.
    bool holdBack()
    {
        if (!m_mute)
            return false;
        setDelayedReply(true);
        m_unanswered.append(message());
        return true;
    }

    bool m_markup;
    bool m_mute;
    bool m_refuse;
    bool m_late;
    bool m_actions;
    uint m_lastId = 0;
    QList<QDBusMessage> m_unanswered;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    Server server(QCoreApplication::arguments().mid(1));
    if (!bus.registerObject(kPath, &server,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService(kService)) {
        std::fprintf(stderr, "cannot own %s: %s\n", qPrintable(kService),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    print({{QStringLiteral("ready"), true}});
    return app.exec();
}

#include "notificationserver.moc"
