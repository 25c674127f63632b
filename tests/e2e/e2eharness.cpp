// The session: its folder, the programs it starts and stops, and what they printed.

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
