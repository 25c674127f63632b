#pragma once

// What the harness's files share: its constants, a few helpers, and the state behind a Session
// (the X display, the private bus, the test account). Only the harness includes this.

#include "e2e/e2eharness.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QProcess>

#include <cstring>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

// Xlib defines macros (None, Bool, Status, KeyPress, ...) that clash with Qt names: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vellaro::e2e {

inline constexpr int kStartTimeoutMs = 5000;
inline constexpr int kServerTimeoutMs = 10000;
inline constexpr int kStopTimeoutMs = 3000;
inline constexpr int kDbusCallTimeoutMs = 2000;
inline constexpr int kMaxAccessibleNodes = 500;
inline constexpr int kMaxAccessibleDepth = 16;

inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
inline const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
inline const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
inline const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
inline const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString kNotificationService = QStringLiteral("org.freedesktop.Notifications");

inline const QString kAccessibleRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
inline const QString kAccessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

// The tests look at windows that come and go; a request about a window that just vanished must
// not end the test process, which is what Xlib's default error handler does.
inline int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// Reads one line a child prints on stdout at start (Xvfb's display number, the bus address).
inline std::optional<QByteArray> readStartLine(QProcess &process, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return std::nullopt;
        process.waitForReadyRead(50);
    }
    return process.readLine().trimmed();
}

inline void stopProcess(QProcess &process, bool politely)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (politely) {
        process.terminate();
        if (process.waitForFinished(kStopTimeoutMs))
            return;
    }
    process.kill();
    process.waitForFinished(kStopTimeoutMs);
}

inline QString logPathOf(const QProcess *process)
{
    return process->property("e2eLog").toString();
}

// The accessibility bus service a desktop session provides: it tells programs where the
// accessibility bus is (here: this very bus) and that accessibility is switched on.
class AccessibilityBusService final : public QDBusVirtualObject
{
public:
    explicit AccessibilityBusService(QString address) : m_address(std::move(address)) {}

    QString introspect(const QString &) const override
    {
        return QStringLiteral(
            "<interface name=\"org.a11y.Bus\"><method name=\"GetAddress\"><arg type=\"s\" "
            "direction=\"out\"/></method></interface><interface name=\"org.a11y.Status\">"
            "<property name=\"IsEnabled\" type=\"b\" access=\"readwrite\"/><property "
            "name=\"ScreenReaderEnabled\" type=\"b\" access=\"readwrite\"/></interface>");
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == QLatin1String("org.a11y.Bus") &&
            message.member() == QLatin1String("GetAddress"))
            return connection.send(message.createReply(m_address));
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
            message.member() == QLatin1String("Get") && !message.arguments().isEmpty() &&
            message.arguments().first().toString() == QLatin1String("org.a11y.Status"))
            return connection.send(
                message.createReply(QVariant::fromValue(QDBusVariant(QVariant(true)))));
        return false;
    }

private:
    QString m_address;
};

struct Session::XState
{
    Display *display = nullptr;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom netWmPid = 0;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;

    Window root() const { return DefaultRootWindow(display); }

    QByteArray property(Window window, Atom name, Atom type, Atom *actualType = nullptr) const
    {
        Atom gotType = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, window, name, 0, 65536, False, type, &gotType, &format,
                               &count, &after, &data) != Success ||
            !data)
            return {};
        QByteArray bytes;
        if (format == 8)
            bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count));
        else if (format == 32)
            bytes =
                QByteArray(reinterpret_cast<const char *>(data), qsizetype(count * sizeof(long)));
        XFree(data);
        if (actualType)
            *actualType = gotType;
        return bytes;
    }

    QString title(Window window) const
    {
        const QByteArray utf8 = property(window, netWmName, utf8String);
        if (!utf8.isEmpty())
            return QString::fromUtf8(utf8);
        Atom type = 0;
        const QByteArray legacy = property(window, XA_WM_NAME, AnyPropertyType, &type);
        return type == utf8String ? QString::fromUtf8(legacy) : QString::fromLatin1(legacy);
    }

    qint64 pid(Window window) const
    {
        const QByteArray bytes = property(window, netWmPid, XA_CARDINAL);
        if (bytes.size() < qsizetype(sizeof(long)))
            return 0;
        long value = 0;
        std::memcpy(&value, bytes.constData(), sizeof value);
        return value;
    }

    bool viewable(Window window) const
    {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }

    // Top-level windows: the root's children and, under a reparenting window manager, theirs.
    QList<Window> topLevels() const
    {
        QList<Window> out;
        auto children = [this](Window parent) {
            QList<Window> list;
            Window rootReturn = 0;
            Window parentReturn = 0;
            Window *items = nullptr;
            unsigned int count = 0;
            if (XQueryTree(display, parent, &rootReturn, &parentReturn, &items, &count) != 0 &&
                items) {
                for (unsigned int i = 0; i < count; ++i)
                    list.append(items[i]);
                XFree(items);
            }
            return list;
        };
        for (Window w : children(root())) {
            out.append(w);
            out.append(children(w));
        }
        return out;
    }
};

struct Session::BusState
{
    std::unique_ptr<QProcess> daemon;
    QString address;
    QString connectionName;
    std::unique_ptr<AccessibilityBusService> service;

    QDBusConnection connection() const { return QDBusConnection(connectionName); }
};

struct Session::Account
{
    QString name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

} // namespace vellaro::e2e
