#include "e2e/e2eharness.h"

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

// Xlib defines macros (None, Bool, Status, KeyPress, ...) that clash with Qt names: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vellaro::e2e {

namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kServerTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 3000;
constexpr int kDbusCallTimeoutMs = 2000;
constexpr int kMaxAccessibleNodes = 500;
constexpr int kMaxAccessibleDepth = 16;

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNotificationService = QStringLiteral("org.freedesktop.Notifications");

const QString kAccessibleRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kAccessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

// The tests look at windows that come and go; a request about a window that just vanished must
// not end the test process, which is what Xlib's default error handler does.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// Reads one line a child prints on stdout at start (Xvfb's display number, the bus address).
std::optional<QByteArray> readStartLine(QProcess &process, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return std::nullopt;
        process.waitForReadyRead(50);
    }
    return process.readLine().trimmed();
}

void stopProcess(QProcess &process, bool politely)
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

QString logPathOf(const QProcess *process)
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

} // namespace

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

const AccessibleNode *AccessibleNode::find(const QString &wantedRole,
                                           const QString &wantedName) const
{
    if (role == wantedRole && name == wantedName)
        return this;
    for (const AccessibleNode &child : children) {
        if (const AccessibleNode *hit = child.find(wantedRole, wantedName))
            return hit;
    }
    return nullptr;
}

QStringList AccessibleNode::namesOf(const QString &wantedRole) const
{
    QStringList out;
    for (const AccessibleNode &child : children) {
        if (child.role == wantedRole)
            out.append(child.name);
        out.append(child.namesOf(wantedRole));
    }
    return out;
}

QString AccessibleNode::dump(int depth) const
{
    QString out =
        QString(depth * 2, u' ') + role + QStringLiteral(": \"") + name + QStringLiteral("\"\n");
    for (const AccessibleNode &child : children)
        out += child.dump(depth + 1);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describe(QProcess *app)
{
    return QStringLiteral("state %1, exit status %2, exit code %3, output:\n%4")
        .arg(app->state())
        .arg(app->exitStatus())
        .arg(app->exitCode())
        .arg(Session::outputOf(app));
}

bool waitUntil(const std::function<bool()> &cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (cond())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(15);
    }
}

Session::Session(QString binaryPath)
    : m_binaryPath(std::move(binaryPath)),
      m_dir(QDir::tempPath() + QStringLiteral("/vellaro-e2e-XXXXXX"))
{}

Session::~Session()
{
    stopAll();
    if (const QString reports = sanitizerReports(); !reports.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("the program's sanitizers reported:\n") + reports),
                     __FILE__, __LINE__);
}

QString Session::sanitizerReports() const
{
    static const QLatin1String markers[] = {QLatin1String("ERROR: AddressSanitizer"),
                                            QLatin1String("ERROR: LeakSanitizer"),
                                            QLatin1String("runtime error:")};
    QString reports;
    for (const std::unique_ptr<QProcess> &app : m_apps) {
        const QString output = outputOf(app.get());
        if (std::any_of(std::begin(markers), std::end(markers),
                        [&output](QLatin1String marker) { return output.contains(marker); }))
            reports += logPathOf(app.get()) + QStringLiteral(":\n") + output;
    }
    return reports;
}

bool Session::fail(const QString &message)
{
    m_error = message;
    return false;
}

QString Session::workDir() const
{
    return QFileInfo(m_dir.path()).canonicalFilePath();
}

QString Session::filePath(const QString &name) const
{
    return workDir() + u'/' + name;
}

QString Session::appPath() const
{
    const QString name = QFileInfo(m_binaryPath).fileName();
    return m_appFolder.isEmpty() ? filePath(name) : filePath(m_appFolder + u'/' + name);
}

bool Session::moveAppInto(const QString &folderName)
{
    const QString from = appPath();
    if (!QDir().mkpath(filePath(folderName)))
        return fail(QStringLiteral("cannot create %1").arg(filePath(folderName)));
    const QString to = filePath(folderName + u'/' + QFileInfo(m_binaryPath).fileName());
    if (!QFile::rename(from, to))
        return fail(QStringLiteral("cannot move %1 to %2").arg(from, to));
    m_appFolder = folderName;
    return true;
}

QString Session::runtimeDir() const
{
    return filePath(QStringLiteral("run"));
}

bool Session::start()
{
    if (!m_dir.isValid())
        return fail(QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString());
    if (!QFile::copy(m_binaryPath, appPath()))
        return fail(QStringLiteral("cannot copy %1 to %2").arg(m_binaryPath, appPath()));

    QDir dir(workDir());
    for (const char *sub : {"run", "home", "config", "cache", "logs"}) {
        if (!dir.mkpath(QString::fromLatin1(sub)))
            return fail(QStringLiteral("cannot create %1").arg(filePath(QString::fromLatin1(sub))));
    }
    // A runtime folder must be private to its user, or Qt refuses it.
    if (!QFile::setPermissions(runtimeDir(),
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return fail(QStringLiteral("cannot make %1 private").arg(runtimeDir()));

    // Xvfb picks a free display number itself and prints it once it accepts clients.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    m_xserver =
        launch(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1280x1024x24")},
               env, workDir(), filePath(QStringLiteral("logs/xvfb.log")));
    if (m_xserver->state() != QProcess::Running)
        return fail(QStringLiteral("cannot start Xvfb: ") + m_xserver->errorString());
    const std::optional<QByteArray> number = readStartLine(*m_xserver, kServerTimeoutMs);
    bool numeric = false;
    if (number)
        number->toInt(&numeric);
    if (!numeric)
        return fail(QStringLiteral("Xvfb did not report a display number"));
    m_display = u':' + QString::fromLatin1(*number);

    XSetErrorHandler(ignoreXError);
    m_x = std::make_unique<XState>();
    m_x->display = XOpenDisplay(m_display.toLatin1().constData());
    if (!m_x->display)
        return fail(QStringLiteral("cannot connect to X display %1").arg(m_display));
    m_x->netWmName = XInternAtom(m_x->display, "_NET_WM_NAME", False);
    m_x->utf8String = XInternAtom(m_x->display, "UTF8_STRING", False);
    m_x->netWmPid = XInternAtom(m_x->display, "_NET_WM_PID", False);
    m_x->wmProtocols = XInternAtom(m_x->display, "WM_PROTOCOLS", False);
    m_x->wmDeleteWindow = XInternAtom(m_x->display, "WM_DELETE_WINDOW", False);

    m_appEnv.clear();
    m_appEnv.insert(QStringLiteral("DISPLAY"), m_display);
    m_appEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    m_appEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), filePath(QStringLiteral("config")));
    m_appEnv.insert(QStringLiteral("XDG_CACHE_HOME"), filePath(QStringLiteral("cache")));
    m_appEnv.insert(QStringLiteral("HOME"), filePath(QStringLiteral("home")));
    m_appEnv.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    m_appEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // A sanitizer build of the program must keep the options the test run was given.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        const QString key = QString::fromLatin1(name);
        if (env.contains(key))
            m_appEnv.insert(key, env.value(key));
    }
    return true;
}

void Session::prepareChild(QProcess *process, std::function<void()> inChild) const
{
    // Should the test process die (a crash, the test driver's time limit), nothing it started
    // may outlive it.
    process->setChildProcessModifier([inChild = std::move(inChild)] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (inChild)
            inChild();
    });
}

std::unique_ptr<QProcess> Session::launch(const QString &program, const QStringList &arguments,
                                          const QProcessEnvironment &env, const QString &workDir,
                                          const QString &errorLog)
{
    auto process = std::make_unique<QProcess>();
    if (!errorLog.isEmpty())
        process->setStandardErrorFile(errorLog);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workDir);
    prepareChild(process.get());
    process->start();
    process->waitForStarted(kStartTimeoutMs);
    return process;
}

QProcess *Session::startApp(const QStringList &arguments, std::function<void()> inChild)
{
    return startProgram(appPath(), arguments, std::move(inChild));
}

QProcess *Session::startProgram(const QString &program, const QStringList &arguments,
                                std::function<void()> inChild)
{
    auto process = std::make_unique<QProcess>();
    const QString log = filePath(QStringLiteral("logs/app-%1.log").arg(m_apps.size() + 1));
    process->setProperty("e2eLog", log);
    // Output goes to a file: a full pipe nobody reads would stall the program.
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessEnvironment(m_appEnv);
    process->setWorkingDirectory(workDir());
    if (m_account) {
        if (!handToAccount())
            return nullptr;
        inChild = [switchUser = accountSwitch(), limits = std::move(inChild)] {
            if (limits)
                limits();
            switchUser();
        };
    }
    prepareChild(process.get(), std::move(inChild));
    process->start();
    if (!process->waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, process->errorString());
        return nullptr;
    }
    m_apps.push_back(std::move(process));
    return m_apps.back().get();
}

double Session::audibleSeconds(const QString &recording)
{
    // Silence trimmed at the start, then (reversed) at the end; "stat" reports what is left.
    const ToolResult stat =
        run(QStringLiteral("sox"),
            {recording, QStringLiteral("-n"), QStringLiteral("silence"), QStringLiteral("1"),
             QStringLiteral("0.01"), QStringLiteral("1%"), QStringLiteral("reverse"),
             QStringLiteral("silence"), QStringLiteral("1"), QStringLiteral("0.01"),
             QStringLiteral("1%"), QStringLiteral("reverse"), QStringLiteral("stat")},
            15000);
    const auto match = QRegularExpression(QStringLiteral("Length \\(seconds\\):\\s+([0-9.]+)"))
                           .match(QString::fromUtf8(stat.err));
    return stat.finished && match.hasMatch() ? match.captured(1).toDouble() : -1;
}

QProcess *Session::startHelper(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    return startLogged(program, arguments, env, false);
}

QProcess *Session::startUserHelper(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment env = m_appEnv;
    env.insert(QStringLiteral("PATH"),
               QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH")));
    if (m_account && !handToAccount())
        return nullptr;
    return startLogged(program, arguments, env, m_account != nullptr);
}

QProcess *Session::startLogged(const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &env, bool asAccount)
{
    auto process = std::make_unique<QProcess>();
    const QString log = filePath(QStringLiteral("logs/helper-%1.log").arg(m_helpers.size() + 1));
    process->setProperty("e2eLog", log);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log);
    // Found here: the helper's own environment may have no search path.
    const QString found = QStandardPaths::findExecutable(program);
    process->setProgram(found.isEmpty() ? program : found);
    process->setArguments(arguments);
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workDir());
    prepareChild(process.get(), asAccount ? accountSwitch() : std::function<void()>());
    process->start();
    if (!process->waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, process->errorString());
        return nullptr;
    }
    m_helpers.push_back(std::move(process));
    return m_helpers.back().get();
}

bool Session::waitForExit(QProcess *process, int timeoutMs)
{
    if (process->state() == QProcess::NotRunning)
        return true;
    return process->waitForFinished(timeoutMs);
}

bool Session::sendSignal(QProcess *process, int signalNumber)
{
    if (process->state() != QProcess::Running)
        return false;
    return ::kill(static_cast<pid_t>(process->processId()), signalNumber) == 0;
}

QString Session::outputOf(QProcess *process)
{
    QFile log(logPathOf(process));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(log.readAll());
}

ToolResult Session::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    ToolResult result;
    std::unique_ptr<QProcess> process = launch(program, arguments, env, workDir());
    if (process->state() == QProcess::NotRunning && process->error() == QProcess::FailedToStart) {
        result.err = process->errorString().toLocal8Bit();
        return result;
    }
    result.finished = process->waitForFinished(timeoutMs);
    if (!result.finished)
        stopProcess(*process, false);
    result.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    result.out = process->readAllStandardOutput();
    result.err = process->readAllStandardError();
    return result;
}

QList<XWindow> Session::findWindows(const QString &title, qint64 pid) const
{
    QList<XWindow> out;
    if (!m_x)
        return out;
    for (Window w : m_x->topLevels()) {
        if (!m_x->viewable(w))
            continue;
        if (!title.isEmpty() && m_x->title(w) != title)
            continue;
        if (pid > 0 && m_x->pid(w) != pid)
            continue;
        out.append(w);
    }
    return out;
}

XWindow Session::waitForWindow(const QString &title, qint64 pid, int timeoutMs) const
{
    XWindow found = 0;
    waitUntil(
        [&] {
            const QList<XWindow> windows = findWindows(title, pid);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0;
        },
        timeoutMs);
    return found;
}

XWindow Session::waitForWindowOf(QProcess *app, const QString &title, int timeoutMs) const
{
    const qint64 pid = app->processId();
    XWindow found = 0;
    waitUntil(
        [&] {
            const QList<XWindow> windows = findWindows(title, pid);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0 || app->state() == QProcess::NotRunning;
        },
        timeoutMs);
    return found;
}

bool Session::waitForWindowGone(XWindow window, int timeoutMs) const
{
    return waitUntil([&] { return !isViewable(window); }, timeoutMs);
}

bool Session::isViewable(XWindow window) const
{
    return m_x && m_x->viewable(window);
}

QString Session::windowTitle(XWindow window) const
{
    return m_x ? m_x->title(window) : QString();
}

qint64 Session::windowPid(XWindow window) const
{
    return m_x ? m_x->pid(window) : 0;
}

QRect Session::windowGeometry(XWindow window) const
{
    if (!m_x)
        return {};
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_x->display, window, &attributes) == 0)
        return {};
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_x->display, window, m_x->root(), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

bool Session::moveResizeWindow(XWindow window, const QRect &geometry)
{
    if (!m_x)
        return false;
    XMoveResizeWindow(m_x->display, window, geometry.x(), geometry.y(),
                      static_cast<unsigned>(geometry.width()),
                      static_cast<unsigned>(geometry.height()));
    XSync(m_x->display, False);
    return waitUntil([&] { return windowGeometry(window) == geometry; }, kStartTimeoutMs);
}

bool Session::focusWindow(XWindow window)
{
    if (!m_x || !isViewable(window))
        return false;
    XRaiseWindow(m_x->display, window);
    XSetInputFocus(m_x->display, window, RevertToParent, CurrentTime);
    XSync(m_x->display, False);
    return waitUntil(
        [&] {
            Window focused = 0;
            int revert = 0;
            XGetInputFocus(m_x->display, &focused, &revert);
            return focused == window;
        },
        kStartTimeoutMs);
}

XWindow Session::focusedWindow() const
{
    if (!m_x)
        return 0;
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(m_x->display, &focused, &revert);
    return focused > PointerRoot ? focused : 0;
}

bool Session::isUrgent(XWindow window) const
{
    if (!m_x)
        return false;
    XWMHints *hints = XGetWMHints(m_x->display, window);
    const bool urgent = hints && (hints->flags & XUrgencyHint);
    XFree(hints);
    return urgent;
}

bool Session::pressKeys(const QStringList &keys)
{
    return run(QStringLiteral("xdotool"),
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
                   keys)
        .ok();
}

bool Session::typeText(const QString &text)
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                           QStringLiteral("40"), QStringLiteral("--"), text})
        .ok();
}

bool Session::closeWindowPolitely(XWindow window)
{
    if (!m_x)
        return false;
    Atom *protocols = nullptr;
    int count = 0;
    bool takesPart = false;
    if (XGetWMProtocols(m_x->display, window, &protocols, &count) != 0) {
        for (int i = 0; i < count; ++i)
            takesPart = takesPart || protocols[i] == m_x->wmDeleteWindow;
        XFree(protocols);
    }
    if (!takesPart)
        return false;

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_x->wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(m_x->wmDeleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(m_x->display, window, False, NoEventMask, &event);
    XSync(m_x->display, False);
    return sent != 0;
}

std::optional<QByteArray> Session::clipboard()
{
    const ToolResult result =
        run(QStringLiteral("xclip"),
            {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")},
            kStopTimeoutMs);
    if (!result.ok())
        return std::nullopt;
    return result.out;
}

bool Session::waitForClipboard(const QByteArray &expected, int timeoutMs)
{
    return waitUntil([&] { return clipboard() == expected; }, timeoutMs);
}

void Session::watchMappedWindows()
{
    if (!m_x)
        return;
    XSelectInput(m_x->display, m_x->root(), SubstructureNotifyMask);
    XSync(m_x->display, False);
    XEvent event;
    while (XPending(m_x->display) > 0)
        XNextEvent(m_x->display, &event);
}

QList<XWindow> Session::mappedWindows()
{
    QList<XWindow> out;
    if (!m_x)
        return out;
    XSync(m_x->display, False);
    XEvent event;
    while (XPending(m_x->display) > 0) {
        XNextEvent(m_x->display, &event);
        if (event.type == MapNotify)
            out.append(event.xmap.window);
    }
    return out;
}

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

bool Session::invokeNotification(uint id, const QString &activationToken)
{
    return busCall(kNotificationService, QStringLiteral("/org/freedesktop/Notifications"),
                   kNotificationService, QStringLiteral("InvokeDefault"), {id, activationToken},
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

void Session::stopAll()
{
    // Whatever the test left running is of no further interest: programs are killed outright.
    for (const std::unique_ptr<QProcess> &app : m_apps)
        stopProcess(*app, false);
    for (const std::unique_ptr<QProcess> &helper : m_helpers)
        stopProcess(*helper, true);
    m_watcher = nullptr;
    m_sway = nullptr;
    if (m_bus) {
        QDBusConnection::disconnectFromBus(m_bus->connectionName);
        if (m_bus->daemon)
            stopProcess(*m_bus->daemon, true);
        m_bus.reset();
    }
    if (m_x) {
        if (m_x->display)
            XCloseDisplay(m_x->display);
        m_x.reset();
    }
    if (m_xserver) {
        stopProcess(*m_xserver, true);
        m_xserver.reset();
    }
}

} // namespace vellaro::e2e
