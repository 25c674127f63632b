#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vellaro::e2e {

// The captions the program's windows and its error box carry.
inline const QString kMainWindowTitle = QStringLiteral("Vellaro - Версия 2.0");
inline const QString kAlarmWindowTitle = QStringLiteral("Напомняне ...");
inline const QString kErrorBoxCaption = QStringLiteral("Vellaro  Version 2.0");

// An X window id.
using XWindow = unsigned long;

// What a helper program left behind when it ended (or was stopped at its time limit).
struct ToolResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    bool ok() const { return finished && exitCode == 0; }
};

// One object of a program's accessibility tree, as a screen reader sees it.
struct AccessibleNode
{
    QString role; // the role name the program gives: "alert message", "label", "push button"
    QString name;
    std::vector<AccessibleNode> children;

    // Depth-first search of this node and everything below it; nullptr when nothing matches.
    const AccessibleNode *find(const QString &role, const QString &name) const;
    // The names of every node of the given role below this one, depth first.
    QStringList namesOf(const QString &role) const;
    // One line per node, indented by depth: for failure messages.
    QString dump(int depth = 0) const;
};

// A tray item as a StatusNotifierItem host knows it: the bus name it answers on and its object.
struct TrayItem
{
    QString service;
    QString path;

    bool isValid() const { return !service.isEmpty() && !path.isEmpty(); }
};

// One entry of a menu exported over com.canonical.dbusmenu, as a host draws it.
struct MenuEntry
{
    int id = 0;
    QString label; // as exported: a mnemonic is marked with "_"
    bool separator = false;
    bool enabled = true;
    bool visible = true;
    bool checkable = false; // toggle-type "checkmark"
    bool checked = false;   // toggle-state 1
    std::vector<MenuEntry> children;
};

// The answer to one D-Bus call, and how long it took to come.
struct BusReply
{
    bool replied = false; // a reply or an error arrived within the time limit
    QString error;        // error name and message; empty on success
    QVariantList values;
    qint64 elapsedMs = 0;

    bool ok() const { return replied && error.isEmpty(); }
};

// A window of a Wayland client as the compositor lists it.
struct WaylandWindow
{
    qint64 id = 0;
    qint64 pid = 0;
    QString title;
    QString appId;
    QRect rect; // on the output, as the compositor placed it, decorations included
    QSize size; // the client's own surface
    bool visible = false;
};

// Polls cond until it holds or timeoutMs passes, processing Qt events in between (the
// accessibility bus service lives on this process's event loop).
bool waitUntil(const std::function<bool()> &cond, int timeoutMs);

// Small file helpers of the tests: a whole file written (replacing what was there) or read; an
// unreadable file reads as empty.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// A started program's state, exit and output, for failure messages.
QString describe(QProcess *app);

// A private desktop for one test: an Xvfb server, a temporary folder holding a copy of the
// program, a private runtime folder, and every process the test started. Everything is stopped
// and removed when the session ends, also when a check failed half-way. Every wait is bounded.
class Session
{
public:
    explicit Session(QString binaryPath);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Starts the X server and prepares the folders. On failure error() says why.
    bool start();
    const QString &error() const { return m_error; }

    QString display() const { return m_display; }
    QString workDir() const;
    QString filePath(const QString &name) const;
    QString appPath() const;
    // Moves the program's copy into a folder of that name inside the work folder (created, any
    // characters allowed); later starts run it from there, and its list and settings live there.
    bool moveAppInto(const QString &folderName);
    QString runtimeDir() const;

    // The environment each program start gets; change it before startApp() (LANG, extra
    // variables). Only what is listed here reaches the program.
    QProcessEnvironment &appEnvironment() { return m_appEnv; }

    // Starts the copied program in the work folder. The session owns the process and kills it at
    // the end if it is still running. inChild runs in the new process just before the program is
    // executed (resource limits, another user); it must only make system calls.
    QProcess *startApp(const QStringList &arguments = {}, std::function<void()> inChild = {});
    // The same for another program (an installed copy, or the program through a launcher such
    // as setpriv): the program's environment, work folder, output file and checks.
    QProcess *startProgram(const QString &program, const QStringList &arguments,
                           std::function<void()> inChild = {});
    // Starts a helper (a tray host, a sound server, ...) with the test's own environment and
    // DISPLAY; it is stopped at the end.
    QProcess *startHelper(const QString &program, const QStringList &arguments);
    // Waits for a process to end on its own. False when it is still running after timeoutMs.
    static bool waitForExit(QProcess *process, int timeoutMs);
    // Sends a signal to a running process.
    static bool sendSignal(QProcess *process, int signalNumber);
    // Everything the process printed so far, for failure messages.
    static QString outputOf(QProcess *process);

    // Runs a command-line tool against this display and waits at most timeoutMs for it.
    ToolResult run(const QString &program, const QStringList &arguments, int timeoutMs = 5000);

    // How long a recording is audible, from its first sound above 1 % to its last (measured with
    // sox); -1 when it cannot be measured.
    double audibleSeconds(const QString &recording);

    // Top-level windows that are shown, have exactly this title (any title when it is empty)
    // and, when pid > 0, belong to that process.
    QList<XWindow> findWindows(const QString &title, qint64 pid = 0) const;
    // The first matching window once one is shown; 0 on timeout.
    XWindow waitForWindow(const QString &title, qint64 pid, int timeoutMs) const;
    // The same for a started program, giving up at once when the program ends first.
    XWindow waitForWindowOf(QProcess *app, const QString &title, int timeoutMs) const;
    // True once the window is no longer shown (hidden or destroyed).
    bool waitForWindowGone(XWindow window, int timeoutMs) const;
    bool isViewable(XWindow window) const;
    QString windowTitle(XWindow window) const;
    qint64 windowPid(XWindow window) const;
    // Position on the screen and size of the window's client area.
    QRect windowGeometry(XWindow window) const;
    bool moveResizeWindow(XWindow window, const QRect &geometry);

    // Gives the window the keyboard focus and waits until the server confirms it.
    bool focusWindow(XWindow window);
    // The window that has the keyboard focus; 0 when none has.
    XWindow focusedWindow() const;
    // Whether the window's WM_HINTS carry the urgency flag.
    bool isUrgent(XWindow window) const;
    // Presses keys as a user would, on whatever window has the focus ("F2", "ctrl+a", ...).
    bool pressKeys(const QStringList &keys);
    bool typeText(const QString &text);
    // Asks the window to close the way a window manager does for the close box: a
    // WM_DELETE_WINDOW message. False when the window does not take part in that protocol.
    bool closeWindowPolitely(XWindow window);

    // Text of the CLIPBOARD selection; nullopt when no program offers text.
    std::optional<QByteArray> clipboard();
    bool waitForClipboard(const QByteArray &expected, int timeoutMs);

    // Records every window that gets mapped on this display from now on.
    void watchMappedWindows();
    // The windows mapped since watchMappedWindows(), in order.
    QList<XWindow> mappedWindows();

    // Starts a private D-Bus session bus that offers an accessibility bus (the bus itself), so
    // later program starts publish their widgets over AT-SPI. Call before startApp().
    bool enableAccessibility();
    // The accessibility tree of a started program; its top-level windows are the root's
    // children. Reads it again until ready(tree) holds or timeoutMs passes, and returns the last
    // tree read (nullopt when the program never published one).
    std::optional<AccessibleNode>
    accessibleTree(qint64 pid, int timeoutMs,
                   const std::function<bool(const AccessibleNode &)> &ready = {});

    // A StatusNotifierItem host: a private session bus (shared with the accessibility bus when
    // both are asked for) and the tests' StatusNotifierWatcher on it. Later program starts take
    // their tray through StatusNotifierItem and export their tray menu over DBusMenu.
    bool startStatusNotifierWatcher();
    // The items registered with the watcher, "service/path" each.
    QStringList registeredTrayItems() const;
    // The item the program registered; invalid on timeout or when the program ended first.
    TrayItem waitForTrayItem(QProcess *app, int timeoutMs);
    // A method of org.kde.StatusNotifierItem called as a host calls it ("Activate",
    // "ContextMenu", "SecondaryActivate", each with x and y). Waits at most timeoutMs.
    BusReply callTrayItem(const TrayItem &item, const QString &method, const QVariantList &args,
                          int timeoutMs = kBusCallTimeoutMs);
    // A property of the item ("Title", "Status", "Menu", "ToolTip", "IconPixmap", ...); invalid
    // when it cannot be read.
    QVariant trayItemProperty(const TrayItem &item, const QString &name);
    // The title of a ToolTip property value, the text a host shows as the tip.
    static QString toolTipTitle(const QVariant &toolTip);
    // The item's menu as a host reads it: AboutToShow on the root, then the whole layout. nullopt
    // when the item exports no menu or the layout cannot be read; error() says why.
    std::optional<std::vector<MenuEntry>> trayMenu(const TrayItem &item);
    // Sends the "clicked" event for a menu entry, as a host does when the user picks it: without
    // waiting for the answer. False when the item exports no menu.
    bool clickTrayMenuEntry(const TrayItem &item, int id);

    // A private session bus for later program starts, with nothing on it.
    bool startSessionBus() { return startBus(); }
    // The tests' own desktop notification server on the session bus; options as in
    // notificationserver.cpp (--plain, --mute, --refuse). nullptr on failure; error() says why.
    QProcess *startNotificationServer(const QStringList &options = {});
    // The calls the server took so far, in order: {"call": "Notify", "summary": ...}, ...
    static QList<QJsonObject> notificationCalls(QProcess *server);
    // The user picks the notification, or one of its actions: the server sends its activation
    // token, then the action.
    bool invokeNotification(uint id, const QString &activationToken,
                            const QString &action = QStringLiteral("default"));

    // Runs later program starts, and the helpers of startUserHelper() and startWayland(), as this
    // unprivileged account (created when missing): a root session has no user's limits, and
    // sway refuses to run as root. The work folder becomes the account's.
    bool useAccount(const QString &name);
    // Starts a helper with the program's environment, as the session's account when one is set.
    QProcess *startUserHelper(const QString &program, const QStringList &arguments);
    // A PulseAudio server with a null sink, run like the program (as the session's account when
    // one is set), which programs started later find in their runtime folder.
    bool startAudioSink();
    // Records what reaches the null sink into a WAV file until the recorder gets SIGINT.
    QProcess *startRecording(const QString &wavPath);

    // A headless sway compositor (one virtual output, no input devices, software rendering) run
    // as the session's account; later program starts use Wayland and no X server.
    bool startWayland();
    QString waylandSocket() const;
    // The windows the compositor manages, of the given process when pid > 0.
    QList<WaylandWindow> waylandWindows(qint64 pid = 0);
    // The program's window of this title once the compositor lists it; nullopt on timeout or
    // when the program ends first.
    std::optional<WaylandWindow> waitForWaylandWindow(QProcess *app, const QString &title,
                                                      int timeoutMs);
    bool waitForWaylandWindowGone(QProcess *app, const QString &title, int timeoutMs);

    // Stops every process of the session; also done by the destructor.
    void stopAll();

    // What a sanitizer reported in the output of the programs started so far, for failure
    // messages; empty when nothing was reported. The destructor fails the running test on any
    // report, so a sanitizer build cannot pass with a fault that the test itself did not notice.
    QString sanitizerReports() const;

    static constexpr int kBusCallTimeoutMs = 5000;

private:
    struct XState;
    struct BusState;
    struct Account;

    bool fail(const QString &message);
    void prepareChild(QProcess *process, std::function<void()> inChild = {}) const;
    bool startBus();
    bool handToAccount();
    // What a child runs before its program to become the session's account.
    std::function<void()> accountSwitch() const;
    QProcess *startLogged(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &env, bool asAccount);
    BusReply busCall(const QString &service, const QString &path, const QString &interface,
                     const QString &method, const QVariantList &args, int timeoutMs) const;
    std::unique_ptr<QProcess> launch(const QString &program, const QStringList &arguments,
                                     const QProcessEnvironment &env, const QString &workDir,
                                     const QString &errorLog = {});
    QStringList busNamesOf(qint64 pid) const;
    std::optional<AccessibleNode> readAccessible(const QString &service, const QString &path,
                                                 int depth, int &budget) const;

    QString m_binaryPath;
    QString m_appFolder;
    QString m_error;
    QString m_display;
    QTemporaryDir m_dir;
    QProcessEnvironment m_appEnv;
    std::unique_ptr<QProcess> m_xserver;
    std::unique_ptr<XState> m_x;
    std::unique_ptr<BusState> m_bus;
    std::unique_ptr<Account> m_account;
    QProcess *m_watcher = nullptr;
    QProcess *m_sway = nullptr;
    QString m_waylandSocket;
    QString m_swaySocket;
    std::vector<std::unique_ptr<QProcess>> m_apps;
    std::vector<std::unique_ptr<QProcess>> m_helpers;
};

} // namespace vellaro::e2e
