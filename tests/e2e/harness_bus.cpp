// The private session bus: accessibility, the tray item and its menu, notifications.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

// Last: it brings in Xlib, whose macros clash with Qt names.
#include "e2e/harnessstate.h"

namespace vellaro::e2e {

bool Session::startBus()
{
    if (m_bus)
        return true;
    auto bus = std::make_unique<BusState>();
    const QString config = filePath(QStringLiteral("session-bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1").arg(config));
    // A bare session bus: no service activation, so nothing is started behind the test's back.
    // Any user may connect: the program may run under an account of its own.
    file.write(QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig>\n  <type>session</type>\n  <listen>unix:path=%1</listen>\n"
                   "  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
                   "    <allow user=\"*\"/>\n"
                   "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                   "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n"
                   "</busconfig>\n")
                   .arg(runtimeDir() + QStringLiteral("/bus"))
                   .toUtf8());
    file.close();

    bus->daemon = launch(QStringLiteral("dbus-daemon"),
                         {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")},
                         QProcessEnvironment::systemEnvironment(), workDir(),
                         filePath(QStringLiteral("logs/dbus.log")));
    if (bus->daemon->state() != QProcess::Running)
        return fail(QStringLiteral("cannot start dbus-daemon: ") + bus->daemon->errorString());
    const std::optional<QByteArray> address = readStartLine(*bus->daemon, kServerTimeoutMs);
    if (!address || address->isEmpty()) {
        stopProcess(*bus->daemon, true);
        return fail(QStringLiteral("dbus-daemon did not report its address"));
    }
    bus->address = QString::fromUtf8(*address);
    bus->connectionName = QStringLiteral("vellaro-e2e-%1").arg(quintptr(this), 0, 16);
    const QDBusConnection connection =
        QDBusConnection::connectToBus(bus->address, bus->connectionName);
    m_bus = std::move(bus);
    if (!connection.isConnected())
        return fail(QStringLiteral("cannot connect to the session bus: ") +
                    connection.lastError().message());
    m_appEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->address);
    return true;
}

bool Session::enableAccessibility()
{
    if (!startBus())
        return false;
    if (m_bus->service)
        return true;
    QDBusConnection connection = m_bus->connection();
    m_bus->service = std::make_unique<AccessibilityBusService>(m_bus->address);
    if (!connection.registerVirtualObject(QStringLiteral("/org/a11y/bus"), m_bus->service.get()) ||
        !connection.registerService(QStringLiteral("org.a11y.Bus")))
        return fail(QStringLiteral("cannot offer the accessibility bus: ") +
                    connection.lastError().message());

    // Qt 6.4 does not act on AT_SPI_BUS_ADDRESS (it announces that bus before its accessibility
    // bridge listens), so the bus is found the way a desktop session offers it.
    m_appEnv.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return true;
}

QStringList Session::busNamesOf(qint64 pid) const
{
    QStringList out;
    const QDBusConnection connection = m_bus->connection();
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    const QString daemonPath = QStringLiteral("/org/freedesktop/DBus");
    const QDBusMessage names = connection.call(
        QDBusMessage::createMethodCall(daemon, daemonPath, daemon, QStringLiteral("ListNames")),
        QDBus::Block, kDbusCallTimeoutMs);
    if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
        return out;
    for (const QString &name : names.arguments().first().toStringList()) {
        if (!name.startsWith(u':') || name == connection.baseService())
            continue;
        QDBusMessage ask = QDBusMessage::createMethodCall(
            daemon, daemonPath, daemon, QStringLiteral("GetConnectionUnixProcessID"));
        ask << name;
        const QDBusMessage reply = connection.call(ask, QDBus::Block, kDbusCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().first().toLongLong() == pid)
            out.append(name);
    }
    return out;
}

std::optional<AccessibleNode> Session::readAccessible(const QString &service, const QString &path,
                                                      int depth, int &budget) const
{
    if (--budget < 0 || depth > kMaxAccessibleDepth)
        return std::nullopt;
    const QDBusConnection connection = m_bus->connection();
    auto call = [&](const QString &interface, const QString &member, const QVariantList &args) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
        message.setArguments(args);
        return connection.call(message, QDBus::Block, kDbusCallTimeoutMs);
    };

    const QDBusMessage role = call(kAccessibleInterface, QStringLiteral("GetRoleName"), {});
    if (role.type() != QDBusMessage::ReplyMessage || role.arguments().isEmpty())
        return std::nullopt;
    AccessibleNode node;
    node.role = role.arguments().first().toString();

    const QDBusMessage name =
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {kAccessibleInterface, QStringLiteral("Name")});
    if (name.type() == QDBusMessage::ReplyMessage && !name.arguments().isEmpty())
        node.name = name.arguments().first().value<QDBusVariant>().variant().toString();

    const QDBusMessage children = call(kAccessibleInterface, QStringLiteral("GetChildren"), {});
    if (children.type() != QDBusMessage::ReplyMessage || children.arguments().isEmpty())
        return node;
    QList<std::pair<QString, QString>> refs;
    const QDBusArgument list = children.arguments().first().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString childService;
        QDBusObjectPath childPath;
        list.beginStructure();
        list >> childService >> childPath;
        list.endStructure();
        refs.append({childService, childPath.path()});
    }
    list.endArray();
    for (const auto &[childService, childPath] : refs) {
        if (childPath.endsWith(QLatin1String("/null")))
            continue;
        if (std::optional<AccessibleNode> child =
                readAccessible(childService, childPath, depth + 1, budget))
            node.children.push_back(std::move(*child));
    }
    return node;
}

std::optional<AccessibleNode>
Session::accessibleTree(qint64 pid, int timeoutMs,
                        const std::function<bool(const AccessibleNode &)> &ready)
{
    if (!m_bus)
        return std::nullopt;
    std::optional<AccessibleNode> tree;
    waitUntil(
        [&] {
            // A Qt program talks to the accessibility bus over a connection of its own, so the
            // process may own several names there; only one of them serves the tree.
            for (const QString &service : busNamesOf(pid)) {
                int budget = kMaxAccessibleNodes;
                if (std::optional<AccessibleNode> read =
                        readAccessible(service, kAccessibleRoot, 0, budget)) {
                    tree = std::move(read);
                    break;
                }
            }
            return tree && (!ready || ready(*tree));
        },
        timeoutMs);
    return tree;
}

BusReply Session::busCall(const QString &service, const QString &path, const QString &interface,
                          const QString &method, const QVariantList &args, int timeoutMs) const
{
    BusReply reply;
    if (!m_bus) {
        reply.error = QStringLiteral("no session bus");
        return reply;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage answer = m_bus->connection().call(message, QDBus::Block, timeoutMs);
    reply.elapsedMs = clock.elapsed();
    if (answer.type() == QDBusMessage::ErrorMessage) {
        reply.error = answer.errorName() + QStringLiteral(": ") + answer.errorMessage();
        reply.replied = answer.errorName() != QLatin1String("org.freedesktop.DBus.Error.NoReply");
        return reply;
    }
    reply.replied = answer.type() == QDBusMessage::ReplyMessage;
    reply.values = answer.arguments();
    return reply;
}

bool Session::startStatusNotifierWatcher()
{
    if (m_watcher)
        return true;
    if (!startBus())
        return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->address);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_watcher = startLogged(QStringLiteral(VELLARO_SNI_WATCHER), {}, env, false);
    if (!m_watcher)
        return false;
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    const bool ready = waitUntil(
        [&] {
            const BusReply owned =
                busCall(daemon, QStringLiteral("/org/freedesktop/DBus"), daemon,
                        QStringLiteral("NameHasOwner"), {kWatcherService}, kDbusCallTimeoutMs);
            return (owned.ok() && owned.values.value(0).toBool()) ||
                   m_watcher->state() == QProcess::NotRunning;
        },
        kServerTimeoutMs);
    if (!ready || m_watcher->state() == QProcess::NotRunning)
        return fail(QStringLiteral("the StatusNotifierWatcher did not start:\n") +
                    outputOf(m_watcher));
    return true;
}

QProcess *Session::startNotificationServer(const QStringList &options)
{
    if (!startBus())
        return nullptr;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->address);
    QProcess *server =
        startLogged(QStringLiteral(VELLARO_NOTIFICATION_SERVER), options, env, false);
    if (!server)
        return nullptr;
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    const bool ready = waitUntil(
        [&] {
            const BusReply owned =
                busCall(daemon, QStringLiteral("/org/freedesktop/DBus"), daemon,
                        QStringLiteral("NameHasOwner"), {kNotificationService}, kDbusCallTimeoutMs);
            return (owned.ok() && owned.values.value(0).toBool()) ||
                   server->state() == QProcess::NotRunning;
        },
        kServerTimeoutMs);
    if (!ready || server->state() == QProcess::NotRunning) {
        fail(QStringLiteral("the notification server did not start:\n") + outputOf(server));
        return nullptr;
    }
    return server;
}

QList<QJsonObject> Session::notificationCalls(QProcess *server)
{
    QList<QJsonObject> calls;
    for (const QString &line : outputOf(server).split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject call = QJsonDocument::fromJson(line.toUtf8()).object();
        if (call.contains(QStringLiteral("call")))
            calls.append(call);
    }
    return calls;
}

bool Session::invokeNotification(uint id, const QString &activationToken, const QString &action)
{
    return busCall(kNotificationService, QStringLiteral("/org/freedesktop/Notifications"),
                   kNotificationService, QStringLiteral("Invoke"), {id, activationToken, action},
                   kDbusCallTimeoutMs)
        .ok();
}

QStringList Session::registeredTrayItems() const
{
    const BusReply reply = busCall(
        kWatcherService, kWatcherPath, kPropertiesInterface, QStringLiteral("Get"),
        {kWatcherService, QStringLiteral("RegisteredStatusNotifierItems")}, kDbusCallTimeoutMs);
    if (!reply.ok() || reply.values.isEmpty())
        return {};
    return reply.values.first().value<QDBusVariant>().variant().toStringList();
}

TrayItem Session::waitForTrayItem(QProcess *app, int timeoutMs)
{
    TrayItem found;
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    waitUntil(
        [&] {
            for (const QString &entry : registeredTrayItems()) {
                const qsizetype slash = entry.indexOf(u'/');
                if (slash <= 0)
                    continue;
                const BusReply owner = busCall(daemon, QStringLiteral("/org/freedesktop/DBus"),
                                               daemon, QStringLiteral("GetConnectionUnixProcessID"),
                                               {entry.left(slash)}, kDbusCallTimeoutMs);
                if (owner.ok() && owner.values.value(0).toLongLong() == app->processId()) {
                    found = {entry.left(slash), entry.mid(slash)};
                    return true;
                }
            }
            return app->state() == QProcess::NotRunning;
        },
        timeoutMs);
    return found;
}

BusReply Session::callTrayItem(const TrayItem &item, const QString &method,
                               const QVariantList &args, int timeoutMs)
{
    return busCall(item.service, item.path, kItemInterface, method, args, timeoutMs);
}

QVariant Session::trayItemProperty(const TrayItem &item, const QString &name)
{
    const BusReply reply =
        busCall(item.service, item.path, kPropertiesInterface, QStringLiteral("Get"),
                {kItemInterface, name}, kDbusCallTimeoutMs);
    if (!reply.ok() || reply.values.isEmpty())
        return {};
    return reply.values.first().value<QDBusVariant>().variant();
}

QString Session::toolTipTitle(const QVariant &toolTip)
{
    // (icon name, icon pixmaps, title, description)
    if (!toolTip.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument arg = toolTip.value<QDBusArgument>();
    QString iconName;
    QString title;
    QString description;
    arg.beginStructure();
    arg >> iconName;
    arg.beginArray();
    while (!arg.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        arg.beginStructure();
        arg >> width >> height >> pixels;
        arg.endStructure();
    }
    arg.endArray();
    arg >> title >> description;
    arg.endStructure();
    return title;
}

namespace {

// One (ia{sv}av) node of a DBusMenu layout and everything below it.
MenuEntry readMenuEntry(const QDBusArgument &arg, int depth)
{
    MenuEntry entry;
    QVariantMap properties;
    arg.beginStructure();
    arg >> entry.id >> properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        if (depth < kMaxAccessibleDepth)
            entry.children.push_back(
                readMenuEntry(child.variant().value<QDBusArgument>(), depth + 1));
    }
    arg.endArray();
    arg.endStructure();
    entry.label = properties.value(QStringLiteral("label")).toString();
    entry.separator =
        properties.value(QStringLiteral("type")).toString() == QLatin1String("separator");
    entry.enabled = properties.value(QStringLiteral("enabled"), true).toBool();
    entry.visible = properties.value(QStringLiteral("visible"), true).toBool();
    entry.checkable =
        properties.value(QStringLiteral("toggle-type")).toString() == QLatin1String("checkmark");
    entry.checked = properties.value(QStringLiteral("toggle-state")).toInt() == 1;
    return entry;
}

} // namespace

std::optional<std::vector<MenuEntry>> Session::trayMenu(const TrayItem &item)
{
    const QString menu =
        trayItemProperty(item, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    if (menu.isEmpty() || menu == QLatin1String("/NO_DBUSMENU")) {
        fail(QStringLiteral("the item exports no menu (Menu is \"%1\")").arg(menu));
        return std::nullopt;
    }
    // A host asks first, so that a program filling its menu late can do so.
    busCall(item.service, menu, kMenuInterface, QStringLiteral("AboutToShow"), {0},
            kDbusCallTimeoutMs);
    const BusReply layout = busCall(item.service, menu, kMenuInterface, QStringLiteral("GetLayout"),
                                    {0, -1, QStringList()}, kDbusCallTimeoutMs);
    if (!layout.ok() || layout.values.size() < 2) {
        fail(QStringLiteral("GetLayout failed: ") + layout.error);
        return std::nullopt;
    }
    return readMenuEntry(layout.values.at(1).value<QDBusArgument>(), 0).children;
}

bool Session::clickTrayMenuEntry(const TrayItem &item, int id)
{
    const QString menu =
        trayItemProperty(item, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    if (!m_bus || menu.isEmpty() || menu == QLatin1String("/NO_DBUSMENU"))
        return fail(QStringLiteral("the item exports no menu"));
    // Sent without waiting, as hosts do: what the entry does may take its time.
    QDBusMessage event =
        QDBusMessage::createMethodCall(item.service, menu, kMenuInterface, QStringLiteral("Event"));
    event.setArguments({id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)),
                        uint(QDateTime::currentSecsSinceEpoch())});
    return m_bus->connection().send(event);
}

} // namespace vellaro::e2e
