// A StatusNotifierWatcher for the end-to-end tests: it stands in for the part of a desktop panel
// (KDE, GNOME's AppIndicator extension, a Wayland bar) that tray items register with, so the
// program takes its StatusNotifierItem path on a private session bus. It keeps the list of items,
// drops an item when its owner leaves the bus, and says that a host is there.
//
// Qt asks for IsStatusNotifierHostRegistered through the interface's introspection data, so the
// interface is exported from this class's meta-object, properties included.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");

class Watcher final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(const QDBusConnection &bus)
    {
        m_owners.setConnection(bus);
        m_owners.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::ownerLeft);
    }

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    // An item names either its bus name (the object is then /StatusNotifierItem) or just its
    // object path on the caller's connection. The list holds "service/path".
    void RegisterStatusNotifierItem(const QString &serviceOrPath)
    {
        const QString sender = message().service();
        const bool isPath = serviceOrPath.startsWith(u'/');
        const QString service = isPath || serviceOrPath.isEmpty() ? sender : serviceOrPath;
        const QString item = service + (isPath ? serviceOrPath : kItemPath);
        if (m_items.contains(item))
            return;
        m_items.append(item);
        // The item goes when the connection that registered it does, whichever name it used.
        m_ownerOf.append({sender, item});
        m_owners.addWatchedService(sender);
        if (service != sender) {
            m_ownerOf.append({service, item});
            m_owners.addWatchedService(service);
        }
        std::printf("item %s\n", qPrintable(item));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(item);
    }

    void RegisterStatusNotifierHost(const QString &service)
    {
        std::printf("host %s\n", qPrintable(service));
        std::fflush(stdout);
        emit StatusNotifierHostRegistered();
    }

signals:
    void StatusNotifierItemRegistered(const QString &item);
    void StatusNotifierItemUnregistered(const QString &item);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    void ownerLeft(const QString &name)
    {
        for (qsizetype i = m_ownerOf.size() - 1; i >= 0; --i) {
            if (m_ownerOf[i].first != name)
                continue;
            const QString item = m_ownerOf.takeAt(i).second;
            if (m_items.removeOne(item)) {
                std::printf("gone %s\n", qPrintable(item));
                std::fflush(stdout);
                emit StatusNotifierItemUnregistered(item);
            }
        }
        m_owners.removeWatchedService(name);
    }

    QStringList m_items;
    QList<std::pair<QString, QString>> m_ownerOf; // bus name, item
    QDBusServiceWatcher m_owners;
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
    Watcher watcher(bus);
    if (!bus.registerObject(kPath, &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        std::fprintf(stderr, "cannot register %s\n", qPrintable(kPath));
        return 1;
    }
    if (!bus.registerService(kService)) {
        std::fprintf(stderr, "cannot own %s: %s\n", qPrintable(kService),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "sniwatcher.moc"
