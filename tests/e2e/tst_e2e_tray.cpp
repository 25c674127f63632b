// The real program with a real notification area: a tray host on a private X server, the icon
// clicked as a user clicks it, and the main window minimised the way a window manager does it.
#include "e2e/e2eharness.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace vellaro::e2e;

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
const QString kTip = QStringLiteral("Vellaro Версия: 2.0");
constexpr int kTimeoutMs = 15000;
// Longer than any double-click interval, so two clicks stay two single clicks.
constexpr int kBetweenClicksMs = 1000;

const QByteArray kList = "bravo\n\t31 Dec 2099\n\t07:00:00\n\tПърви\n";

// The program and its arguments that an entry's Exec key starts, read as the Desktop Entry
// standard says (and as launchers other than GLib's do): the escapes of a string value first,
// then the quoting of arguments, then the field codes.
QStringList execArguments(const QByteArray &entry)
{
    QString value;
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        if (line.startsWith(QLatin1String("Exec=")))
            value = line.mid(5);
    }
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const QChar next = value[++i];
        const qsizetype known = QStringLiteral("sntr\\").indexOf(next);
        unescaped +=
            known < 0 ? QString(u'\\') + next : QString(QStringLiteral(" \n\t\r\\")[known]);
    }
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < unescaped.size() &&
                QStringLiteral("\"`$\\").contains(unescaped[i + 1]))
                current += unescaped[++i];
            else if (c == u'"')
                quoted = false;
            else
                current += c;
        } else if (c == u'"') {
            quoted = started = true;
        } else if (c == u' ') {
            if (started)
                arguments << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments << current;
    // Field codes: "%%" is a "%"; this entry may have no other, and a lone "%" is an error.
    for (QString &argument : arguments) {
        QString literal;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument[i] != u'%') {
                literal += argument[i];
            } else if (i + 1 < argument.size() && argument[i + 1] == u'%') {
                literal += u'%';
                ++i;
            } else {
                return {QStringLiteral("<field code in %1>").arg(argument)};
            }
        }
        argument = literal;
    }
    return arguments;
}

// A connection of the test's own to the private display, for what the harness does not offer:
// the tray selection, the embedded icon window, and a window manager's minimise.
class XDesktop
{
public:
    explicit XDesktop(const QString &display) : m_display(XOpenDisplay(display.toLatin1())) {}
    ~XDesktop()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    XDesktop(const XDesktop &) = delete;
    XDesktop &operator=(const XDesktop &) = delete;

    bool isOpen() const { return m_display != nullptr; }

    bool trayHostRunning() const
    {
        const Atom selection = XInternAtom(m_display, "_NET_SYSTEM_TRAY_S0", False);
        return XGetSelectionOwner(m_display, selection) != None;
    }

    // The program's window that a tray host has embedded: it carries _XEMBED_INFO and is
    // shown inside the host, never as a top-level window of its own.
    XWindow embeddedIcon(const Session &s, qint64 pid) const
    {
        return findBelow(s, DefaultRootWindow(m_display), pid, 0);
    }

    bool isViewable(XWindow window) const
    {
        XWindowAttributes attributes{};
        return window && XGetWindowAttributes(m_display, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }

    // What a window manager does when the user minimises a window: it marks it iconic.
    void markIconic(XWindow window)
    {
        const Atom wmState = XInternAtom(m_display, "WM_STATE", False);
        const long data[2] = {IconicState, None};
        XChangeProperty(m_display, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(data), 2);
        XFlush(m_display);
    }

private:
    bool hasProperty(XWindow window, const char *name) const
    {
        const Atom atom = XInternAtom(m_display, name, True);
        if (atom == None)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        const bool found =
            XGetWindowProperty(m_display, window, atom, 0, 16, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            type != None;
        if (data)
            XFree(data);
        return found;
    }

    XWindow findBelow(const Session &s, XWindow parent, qint64 pid, int depth) const
    {
        Window rootReturn = 0;
        Window parentReturn = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (depth > 8 ||
            !XQueryTree(m_display, parent, &rootReturn, &parentReturn, &children, &count))
            return 0;
        XWindow found = 0;
        for (unsigned int i = 0; i < count && !found; ++i) {
            const Window child = children[i];
            // Only an icon inside another window counts as docked.
            if (depth > 0 && hasProperty(child, "_XEMBED_INFO") && s.windowPid(child) == pid)
                found = child;
            else
                found = findBelow(s, child, pid, depth + 1);
        }
        if (children)
            XFree(children);
        return found;
    }

    Display *m_display;
};

} // namespace

class TestE2eTray : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        std::unique_ptr<Session> session;
        std::unique_ptr<XDesktop> x;
        QProcess *host = nullptr;
        QProcess *app = nullptr;
        XWindow icon = 0;
    };

    // The running tray host, or nullptr when it did not take the tray selection.
    static QProcess *startTrayHost(Session &s, XDesktop &x)
    {
        QProcess *host =
            s.startHelper(QStringLiteral("trayer"),
                          {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                           "200", "--heighttype", "pixel", "--height", "24"});
        return host && waitUntil([&] { return x.trayHostRunning(); }, kTimeoutMs) ? host : nullptr;
    }

    // The program started with a list file, a tray host already running, and its icon docked;
    // installed in a folder of the given name when there is one.
    static void startDocked(Run &run, bool accessible = false, const QString &installFolder = {})
    {
        run.session = std::make_unique<Session>(QStringLiteral(VELLARO_BINARY));
        Session &s = *run.session;
        QVERIFY2(s.start(), qPrintable(s.error()));
        if (!installFolder.isEmpty())
            QVERIFY2(s.moveAppInto(installFolder), qPrintable(s.error()));
        if (accessible)
            QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        run.x = std::make_unique<XDesktop>(s.display());
        QVERIFY(run.x->isOpen());
        run.host = startTrayHost(s, *run.x);
        QVERIFY2(run.host, "trayer did not take the tray selection");
        QVERIFY(writeFile(QFileInfo(s.appPath()).path() + "/List.ul1", kList));
        s.watchMappedWindows();
        run.app = s.startApp();
        QVERIFY2(run.app, qPrintable(s.error()));
        const qint64 pid = run.app->processId();
        QVERIFY2(waitUntil(
                     [&] {
                         run.icon = run.x->embeddedIcon(s, pid);
                         return run.icon && run.x->isViewable(run.icon);
                     },
                     kTimeoutMs),
                 qPrintable("the icon never docked\n" + Session::outputOf(run.app)));
    }

    // Shown windows of the program other than its icon.
    static QList<XWindow> shownWindows(const Run &run)
    {
        QList<XWindow> windows = run.session->findWindows({}, run.app->processId());
        windows.removeAll(run.icon);
        return windows;
    }

    // A real click, with the pointer over the icon: a pop-up menu grabs the pointer the way it
    // does for the user, which clicks sent straight to the window would slip past.
    static bool click(Session &s, XWindow window, int button, int repeat = 1)
    {
        QTest::qWait(kBetweenClicksMs);
        QStringList args{"mousemove", "--window", QString::number(window), "8", "8", "click"};
        if (repeat > 1)
            args << "--repeat" << QString::number(repeat) << "--delay"
                 << "80";
        args << QString::number(button);
        return s.run("xdotool", args).ok();
    }

    static XWindow mainWindow(Session &s, QProcess *app, int timeoutMs = kTimeoutMs)
    {
        return s.waitForWindowOf(app, kMainTitle, timeoutMs);
    }

    // Opens the tray menu with a right click and chooses an item with the keyboard, counting
    // upwards from the last item ("Изход" is 1, "Стартиране с ОС" is 2).
    static bool chooseFromTrayMenu(Run &run, int fromBottom)
    {
        Session &s = *run.session;
        if (!click(s, run.icon, 3))
            return false;
        const bool opened = waitUntil([&] { return !shownWindows(run).isEmpty(); }, kTimeoutMs);
        if (!opened)
            return false;
        QStringList keys;
        for (int i = 0; i < fromBottom; ++i)
            keys << "Up";
        keys << "Return";
        return s.pressKeys(keys);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        for (const char *tool : {"Xvfb", "xdotool", "trayer"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    void start_onlyTheIconShowsWithItsTip()
    {
        Run run;
        startDocked(run, true);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        const qint64 pid = run.app->processId();
        QTest::qWait(500);
        QVERIFY2(shownWindows(run).isEmpty(), "a window of the program is shown at start");
        for (XWindow mapped : s.mappedWindows())
            QVERIFY2(mapped == run.icon || s.windowPid(mapped) != pid,
                     qPrintable(s.windowTitle(mapped)));

        // The tip is what shows when the pointer rests on the icon.
        QVERIFY(
            s.run("xdotool", {"mousemove", "--window", QString::number(run.icon), "5", "5"}).ok());
        const std::optional<AccessibleNode> tree =
            s.accessibleTree(pid, kTimeoutMs, [](const AccessibleNode &root) {
                return !root.namesOf(QStringLiteral("tool tip")).isEmpty();
            });
        QVERIFY2(tree, "the program published no accessibility tree");
        QCOMPARE(tree->namesOf(QStringLiteral("tool tip")), QStringList{kTip});
    }

    void iconClicks_toggleTheMainWindow()
    {
        Run run;
        startDocked(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;

        QVERIFY(click(s, run.icon, 1));
        const XWindow main = mainWindow(s, run.app);
        QVERIFY2(main, "a left click did not show the main window");
        QVERIFY(click(s, run.icon, 1));
        QVERIFY2(s.waitForWindowGone(main, kTimeoutMs), "a second click did not hide it");

        // A double-click toggles twice: the window ends as it was, hidden or shown.
        QVERIFY(click(s, run.icon, 1, 2));
        QTest::qWait(kBetweenClicksMs);
        QVERIFY(s.findWindows(kMainTitle, run.app->processId()).isEmpty());
        QVERIFY(click(s, run.icon, 1));
        QVERIFY(mainWindow(s, run.app));
        QVERIFY(click(s, run.icon, 1, 2));
        QTest::qWait(kBetweenClicksMs);
        QVERIFY(!s.findWindows(kMainTitle, run.app->processId()).isEmpty());
    }

    // Started again while it sits hidden in the tray: the running program shows its window,
    // and the second process ends at once.
    void secondStart_showsTheHiddenMainWindow()
    {
        Run run;
        startDocked(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        QVERIFY(shownWindows(run).isEmpty());
        QProcess *second = s.startApp();
        QVERIFY2(second, qPrintable(s.error()));
        QVERIFY2(Session::waitForExit(second, 5000), qPrintable(describe(second)));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(mainWindow(s, run.app), "the second start did not show the main window");
        QCOMPARE(run.app->state(), QProcess::Running);
    }

    void minimising_hidesTheWindowAndKeepsTheIcon()
    {
        Run run;
        startDocked(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        QVERIFY(click(s, run.icon, 1));
        const XWindow main = mainWindow(s, run.app);
        QVERIFY(main);

        run.x->markIconic(main);
        QVERIFY2(s.waitForWindowGone(main, kTimeoutMs), "minimising did not hide the window");
        QTest::qWait(500);
        QVERIFY(run.x->isViewable(run.icon));
        QCOMPARE(run.app->state(), QProcess::Running);

        // The icon brings it back, no longer minimised.
        QVERIFY(click(s, run.icon, 1));
        QVERIFY2(mainWindow(s, run.app), "the icon did not bring the window back");
    }

    void trayMenuExit_endsTheProgramAndWritesItsFiles()
    {
        Run run;
        startDocked(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        QVERIFY2(chooseFromTrayMenu(run, 1), "the tray menu did not open");
        QVERIFY2(Session::waitForExit(run.app, kTimeoutMs), qPrintable(Session::outputOf(run.app)));
        QCOMPARE(run.app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.app->exitCode(), 0);
        // Written anew: the bare line feeds of the file it read are gone.
        QCOMPARE(readFile(s.filePath("List.ul1")),
                 QByteArray("bravo\r\n\t31 Dec 2099\r\n\t07:00:00\r\n\tПърви\r\n"));
        QVERIFY(readFile(s.filePath("Vellaro.ini")).contains(("[" + kMainTitle + "]").toUtf8()));
        QVERIFY(s.waitForWindowGone(run.icon, kTimeoutMs));
    }

    void autostartItem_writesAndRemovesTheEntry_data()
    {
        QTest::addColumn<QString>("installFolder");
        QTest::newRow("plain folder") << QString();
        QTest::newRow("spaces, quotes, % and Cyrillic")
            << QStringLiteral("Мои програми \"q\" 'a' 100% $x `y` \\ (b)");
    }

    void autostartItem_writesAndRemovesTheEntry()
    {
        QFETCH(QString, installFolder);
        Run run;
        startDocked(run, false, installFolder);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        const QString entry = s.filePath("config/autostart/Vellaro.desktop");
        QVERIFY(!QFile::exists(entry));

        QVERIFY2(chooseFromTrayMenu(run, 2), "the tray menu did not open");
        QVERIFY2(waitUntil([&] { return QFile::exists(entry); }, kTimeoutMs),
                 "no autostart entry was written");
        const QString program = QFileInfo(s.appPath()).absoluteFilePath();
        if (installFolder.isEmpty())
            QVERIFY(readFile(entry).contains("\nExec=" + program.toUtf8() + "\n"));
        QCOMPARE(execArguments(readFile(entry)), QStringList{program});

        QVERIFY2(chooseFromTrayMenu(run, 2), "the tray menu did not open again");
        QVERIFY2(waitUntil([&] { return !QFile::exists(entry); }, kTimeoutMs),
                 "the autostart entry was not removed");
        QCOMPARE(run.app->state(), QProcess::Running);
    }

    void trayHostGoesAway_hiddenMainWindowComesBack()
    {
        Run run;
        startDocked(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        QVERIFY(s.findWindows(kMainTitle, run.app->processId()).isEmpty());

        // Without the area nothing would be left to reach the program by.
        run.host->kill();
        QVERIFY(Session::waitForExit(run.host, kTimeoutMs));
        QVERIFY2(mainWindow(s, run.app), "the main window did not come back");

        // A new host takes the icon in again.
        QVERIFY(startTrayHost(s, *run.x));
        QVERIFY2(
            waitUntil(
                [&] { return run.x->isViewable(run.x->embeddedIcon(s, run.app->processId())); },
                kTimeoutMs),
            "the icon did not dock in the new tray");
    }

    void noTrayHost_showsTheMainWindowAndDocksLater()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        XDesktop x(s.display());
        QVERIFY(x.isOpen());
        QVERIFY(writeFile(s.filePath("List.ul1"), kList));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(mainWindow(s, app), "without a tray the main window must show");

        QVERIFY(startTrayHost(s, x));
        QVERIFY2(waitUntil([&] { return x.isViewable(x.embeddedIcon(s, app->processId())); },
                           kTimeoutMs),
                 "the icon did not dock when the tray appeared");
    }
};

QTEST_GUILESS_MAIN(TestE2eTray)
#include "tst_e2e_tray.moc"
