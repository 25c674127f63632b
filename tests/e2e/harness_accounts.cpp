// The test account, the sound server and recorder, and the Wayland compositor.

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

#include <algorithm>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

// Last: it brings in Xlib, whose macros clash with Qt names.
#include "e2e/harnessstate.h"

namespace vellaro::e2e {

bool Session::useAccount(const QString &name)
{
    const QByteArray user = name.toLocal8Bit();
    const passwd *entry = ::getpwnam(user.constData());
    if (!entry) {
        // Another test may create it at the same moment; what counts is that it exists after.
        run(QStringLiteral("useradd"), {QStringLiteral("--create-home"), name}, kServerTimeoutMs);
        entry = ::getpwnam(user.constData());
    }
    if (!entry)
        return fail(QStringLiteral("no account %1 and useradd could not create it").arg(name));
    auto account = std::make_unique<Account>();
    account->name = name;
    account->uid = entry->pw_uid;
    account->gid = entry->pw_gid;
    // Asked for here: after the fork only system calls are safe.
    int count = 64;
    account->groups.resize(count);
    if (::getgrouplist(user.constData(), account->gid, account->groups.data(), &count) < 0)
        count = 0;
    account->groups.resize(count);
    m_account = std::move(account);

    // A sanitizer that cannot read its suppressions file stops the program at start, and the
    // account may not reach the source tree (a checkout under /root): it gets a copy.
    const QString lsanKey = QStringLiteral("LSAN_OPTIONS");
    QStringList lsanOptions = m_appEnv.value(lsanKey).split(u':', Qt::SkipEmptyParts);
    for (QString &option : lsanOptions) {
        if (!option.startsWith(QLatin1String("suppressions=")))
            continue;
        const QString copy = filePath(QStringLiteral("lsan.supp"));
        if (!QFile::copy(option.mid(option.indexOf(u'=') + 1), copy))
            return fail(QStringLiteral("cannot copy the sanitizer suppressions: ") + option);
        option = QStringLiteral("suppressions=") + copy;
    }
    if (!lsanOptions.isEmpty())
        m_appEnv.insert(lsanKey, lsanOptions.join(u':'));
    return handToAccount();
}

bool Session::handToAccount()
{
    // Whatever the test wrote since (a list, a settings file) becomes the account's too.
    const ToolResult chown =
        run(QStringLiteral("chown"),
            {QStringLiteral("-R"), QStringLiteral("%1:%2").arg(m_account->uid).arg(m_account->gid),
             workDir()},
            kServerTimeoutMs);
    return chown.ok() || fail(QStringLiteral("chown failed: ") + QString::fromLocal8Bit(chown.err));
}

std::function<void()> Session::accountSwitch() const
{
    // What `setpriv --reuid --regid --init-groups` does, done in the child itself: a change of
    // user clears the parent-death signal, which is set again afterwards.
    const Account account = *m_account;
    return [account] {
        if (::setgroups(account.groups.size(), account.groups.data()) != 0 ||
            ::setresgid(account.gid, account.gid, account.gid) != 0 ||
            ::setresuid(account.uid, account.uid, account.uid) != 0)
            ::_exit(126);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    };
}

bool Session::startAudioSink()
{
    if (!startUserHelper(QStringLiteral("pulseaudio"),
                         {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                          QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--system=false"),
                          QStringLiteral("--load=module-native-protocol-unix"),
                          QStringLiteral("--load=module-null-sink sink_name=nullsink"),
                          QStringLiteral("--load=module-always-sink")}))
        return false;
    const QString socket = runtimeDir() + QStringLiteral("/pulse/native");
    return waitUntil([&] { return QFile::exists(socket); }, kServerTimeoutMs) ||
           fail(QStringLiteral("the audio server did not start"));
}

QProcess *Session::startRecording(const QString &wavPath)
{
    return startUserHelper(QStringLiteral("parec"),
                           {QStringLiteral("-d"), QStringLiteral("nullsink.monitor"),
                            QStringLiteral("--latency-msec=20"),
                            QStringLiteral("--file-format=wav"), wavPath});
}

bool Session::startWayland()
{
    if (m_sway)
        return true;
    // sway refuses to run as root; anyone else runs it as themselves.
    if (!m_account && ::geteuid() == 0 && !useAccount(QStringLiteral("vellarotest")))
        return false;
    const QString config = filePath(QStringLiteral("sway.conf"));
    // No X server inside: the program must use Wayland, not fall back to X11. Windows float, as
    // on a stacking desktop, so that they keep the size they ask for.
    if (!writeFile(config, "xwayland disable\nfor_window [shell=\"xdg_shell\"] floating enable\n"))
        return fail(QStringLiteral("cannot write %1").arg(config));
    if (!handToAccount())
        return false;
    QProcessEnvironment env = m_appEnv;
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("PATH"),
               QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    m_sway = startLogged(QStringLiteral("sway"), {QStringLiteral("-c"), config}, env,
                         m_account != nullptr);
    if (!m_sway)
        return false;
    const QDir runtime(runtimeDir());
    const bool ready = waitUntil(
        [&] {
            const QStringList sockets =
                runtime.entryList({QStringLiteral("wayland-*")}, QDir::System);
            const QStringList ipc =
                runtime.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            for (const QString &socket : sockets) {
                if (!socket.endsWith(QLatin1String(".lock")))
                    m_waylandSocket = runtime.filePath(socket);
            }
            if (!ipc.isEmpty())
                m_swaySocket = runtime.filePath(ipc.first());
            return (!m_waylandSocket.isEmpty() && !m_swaySocket.isEmpty()) ||
                   m_sway->state() == QProcess::NotRunning;
        },
        kServerTimeoutMs);
    if (!ready || m_sway->state() == QProcess::NotRunning)
        return fail(QStringLiteral("sway did not start:\n") + outputOf(m_sway));
    // The IPC socket shows before the compositor answers on it.
    if (!waitUntil(
            [&] {
                return run(QStringLiteral("swaymsg"),
                           {QStringLiteral("-s"), m_swaySocket, QStringLiteral("-t"),
                            QStringLiteral("get_version")})
                    .ok();
            },
            kServerTimeoutMs))
        return fail(QStringLiteral("sway does not answer on %1").arg(m_swaySocket));

    m_appEnv.remove(QStringLiteral("DISPLAY"));
    // The graphics driver Qt's Wayland plugin loads is gone by the time of the leak check: only
    // a full unwind reaches the frames of its loader that the leak suppressions name.
    const QString asanKey = QStringLiteral("ASAN_OPTIONS");
    if (m_appEnv.contains(asanKey))
        m_appEnv.insert(asanKey,
                        m_appEnv.value(asanKey) + QStringLiteral(":fast_unwind_on_malloc=0"));
    m_appEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    m_appEnv.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandSocket);
    return true;
}

QString Session::waylandSocket() const
{
    return m_waylandSocket;
}

namespace {

void collectWaylandWindows(const QJsonObject &node, qint64 pid, QList<WaylandWindow> &out)
{
    if (node.contains(QLatin1String("pid"))) {
        WaylandWindow window;
        window.id = node.value(QLatin1String("id")).toInteger();
        window.pid = node.value(QLatin1String("pid")).toInteger();
        window.title = node.value(QLatin1String("name")).toString();
        window.appId = node.value(QLatin1String("app_id")).toString();
        const QJsonObject rect = node.value(QLatin1String("rect")).toObject();
        window.rect =
            QRect(rect.value(QLatin1String("x")).toInt(), rect.value(QLatin1String("y")).toInt(),
                  rect.value(QLatin1String("width")).toInt(),
                  rect.value(QLatin1String("height")).toInt());
        const QJsonObject content = node.value(QLatin1String("window_rect")).toObject();
        window.size = QSize(content.value(QLatin1String("width")).toInt(),
                            content.value(QLatin1String("height")).toInt());
        window.visible = node.value(QLatin1String("visible")).toBool();
        if (pid <= 0 || window.pid == pid)
            out.append(window);
    }
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray())
            collectWaylandWindows(child.toObject(), pid, out);
    }
}

} // namespace

QList<WaylandWindow> Session::waylandWindows(qint64 pid)
{
    QList<WaylandWindow> out;
    if (m_swaySocket.isEmpty())
        return out;
    const ToolResult tree =
        run(QStringLiteral("swaymsg"), {QStringLiteral("-s"), m_swaySocket, QStringLiteral("-t"),
                                        QStringLiteral("get_tree"), QStringLiteral("-r")});
    if (tree.ok())
        collectWaylandWindows(QJsonDocument::fromJson(tree.out).object(), pid, out);
    return out;
}

std::optional<WaylandWindow> Session::waitForWaylandWindow(QProcess *app, const QString &title,
                                                           int timeoutMs)
{
    std::optional<WaylandWindow> found;
    waitUntil(
        [&] {
            for (const WaylandWindow &window : waylandWindows(app->processId())) {
                if (window.title == title)
                    found = window;
            }
            return found || app->state() == QProcess::NotRunning;
        },
        timeoutMs);
    return found;
}

bool Session::waitForWaylandWindowGone(QProcess *app, const QString &title, int timeoutMs)
{
    return waitUntil(
        [&] {
            const QList<WaylandWindow> windows = waylandWindows(app->processId());
            return std::none_of(windows.begin(), windows.end(),
                                [&](const WaylandWindow &w) { return w.title == title; });
        },
        timeoutMs);
}

} // namespace vellaro::e2e
