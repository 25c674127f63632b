// The real program, started from a temporary folder on a private X server and driven from outside
// as a user and the desktop session would: start-up, the single instance, and the ways it ends.
#include "e2e/e2eharness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace vellaro::e2e;

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
const QString kErrorBoxTitle = QStringLiteral("Vellaro  Version 2.0");
constexpr int kWindowTimeoutMs = 15000;
constexpr int kExitTimeoutMs = 10000;

// Far in the future, so no reminder falls due while a test runs.
const QByteArray kBravo = "bravo\r\n\t31 Dec 2099\r\n\t07:00:00\r\n\tПърви\r\n";
const QByteArray kCharlie = "charlie\r\n\t30 Dec 2099\r\n\t08:00:00\r\n";
const QByteArray kDelta = "delta\r\n\t29 Dec 2099\r\n\t09:00:00\r\n";

using IniSections = QMap<QString, QMap<QString, QString>>;

IniSections readIni(const QString &path)
{
    IniSections sections;
    QString current;
    for (QByteArray line : readFile(path).split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            current = QString::fromUtf8(line.mid(1, line.size() - 2));
            sections[current];
        } else if (const qsizetype eq = line.indexOf('='); eq > 0) {
            sections[current][QString::fromUtf8(line.left(eq))] =
                QString::fromUtf8(line.mid(eq + 1));
        }
    }
    return sections;
}

} // namespace

class TestE2eApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        for (const char *tool : {"Xvfb", "xdotool", "xclip", "dbus-daemon"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    // The first run has no list yet: no box, the window comes at once and the list is empty.
    void firstStart_withoutList_showsMainWindowWithoutABox()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        s.watchMappedWindows();
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs), qPrintable(describe(app)));
        QVERIFY(s.findWindows(kErrorBoxTitle, app->processId()).isEmpty());
        for (XWindow mapped : s.mappedWindows())
            QVERIFY2(s.windowTitle(mapped) != kErrorBoxTitle, "an error box came and went");
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, kExitTimeoutMs));
        QCOMPARE(readFile(s.filePath(QStringLiteral("List.ul1"))), QByteArray());
    }

    // A list that is there but cannot be read (a folder stands in for it, as root reads any
    // file): its box comes first, then the window.
    void unreadableList_reportedThenShowsMainWindow()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(QDir().mkpath(s.filePath(QStringLiteral("List.ul1"))));
        // The box text is read the way a screen reader reads it.
        QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const qint64 pid = app->processId();

        const XWindow box = s.waitForWindowOf(app, kErrorBoxTitle, kWindowTimeoutMs);
        QVERIFY2(box, qPrintable(describe(app)));
        QVERIFY2(s.findWindows(kMainTitle, pid).isEmpty(), "the main window must wait for the box");

        const std::optional<AccessibleNode> tree =
            s.accessibleTree(pid, kWindowTimeoutMs, [](const AccessibleNode &root) {
                const AccessibleNode *alert =
                    root.find(QStringLiteral("alert message"), kErrorBoxTitle);
                return alert && !alert->namesOf(QStringLiteral("label")).isEmpty();
            });
        QVERIFY2(tree, "the program published no accessibility tree");
        const AccessibleNode *alert = tree->find(QStringLiteral("alert message"), kErrorBoxTitle);
        QVERIFY2(alert, qPrintable(tree->dump()));
        const QString expected = QStringLiteral("Cannot open file \"%1\". Is a directory.")
                                     .arg(s.filePath(QStringLiteral("List.ul1")));
        QCOMPARE(alert->namesOf(QStringLiteral("label")), QStringList{expected});

        QVERIFY(s.focusWindow(box));
        QVERIFY(s.pressKeys({QStringLiteral("Return")}));
        QVERIFY2(s.waitForWindowGone(box, kWindowTimeoutMs), "OK did not close the box");
        const XWindow main = s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs);
        QVERIFY2(main, qPrintable(describe(app)));
        QCOMPARE(app->state(), QProcess::Running);
    }

    void sigterm_whileStartErrorBoxIsOpen_exitsAndWritesFiles()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(QDir().mkpath(s.filePath(QStringLiteral("List.ul1"))));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(app, kErrorBoxTitle, kWindowTimeoutMs),
                 qPrintable(describe(app)));

        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kWindowTimeoutMs), "the program ignored SIGTERM");
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        // The list that could not be read is left as it was.
        QVERIFY(QFileInfo(s.filePath(QStringLiteral("List.ul1"))).isDir());
        QVERIFY(QFile::exists(s.filePath(QStringLiteral("Vellaro.ini"))));
    }

    void secondStart_exitsAtOnceAndLeavesFirstRunning()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kBravo));
        QProcess *first = s.startApp();
        QVERIFY2(first, qPrintable(s.error()));
        const XWindow main = s.waitForWindowOf(first, kMainTitle, kWindowTimeoutMs);
        QVERIFY2(main, qPrintable(describe(first)));

        s.watchMappedWindows();
        QElapsedTimer clock;
        clock.start();
        QProcess *second = s.startApp();
        QVERIFY2(second, qPrintable(s.error()));
        QVERIFY2(Session::waitForExit(second, 2000), qPrintable(describe(second)));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        const QList<XWindow> mapped = s.mappedWindows();
        QVERIFY2(
            mapped.isEmpty(),
            qPrintable(QStringLiteral("the second start showed %1 window(s)").arg(mapped.size())));

        // Give a wrongly sent quit request time to arrive before looking at the first instance.
        QTest::qWait(500);
        QVERIFY2(first->state() == QProcess::Running, qPrintable(describe(first)));
        QVERIFY(s.isViewable(main));
        QCOMPARE(s.findWindows(kMainTitle).size(), 1);
    }

    void start_afterKilledInstance_isNotBlockedByItsLock()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kBravo));
        QProcess *crashed = s.startApp();
        QVERIFY2(crashed, qPrintable(s.error()));
        const XWindow gone = s.waitForWindowOf(crashed, kMainTitle, kWindowTimeoutMs);
        QVERIFY2(gone, qPrintable(describe(crashed)));
        QVERIFY(Session::sendSignal(crashed, SIGKILL));
        QVERIFY(Session::waitForExit(crashed, kExitTimeoutMs));
        QVERIFY2(QFile::exists(s.runtimeDir() + QStringLiteral("/vellaro.lock")),
                 "a killed instance leaves its lock behind; without it this proves nothing");
        QVERIFY(s.waitForWindowGone(gone, kWindowTimeoutMs));

        QProcess *next = s.startApp();
        QVERIFY2(next, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(next, kMainTitle, kWindowTimeoutMs), qPrintable(describe(next)));
        QCOMPARE(next->state(), QProcess::Running);
    }

    void closeBox_endsCleanlyAndSavesListAndWindowSettings()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        // A user's locale, where a collating sort would keep "alpha" before "Beta"; the list
        // sorts by character codes. The file has bare line feeds.
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")),
                          "alpha\n\t31 Dec 2099\n\t23:59:00\n\tСреща в офиса\n"
                          "Beta\n\t30 Dec 2099\n\t08:00:00\n"));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const XWindow main = s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs);
        QVERIFY2(main, qPrintable(describe(app)));
        // A place and size of its own, so the stored values cannot come from the defaults.
        const QRect placed(300, 150, 600, 400);
        QVERIFY(s.moveResizeWindow(main, placed));

        QVERIFY2(s.closeWindowPolitely(main), "the main window does not take WM_DELETE_WINDOW");
        QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);

        QCOMPARE(readFile(s.filePath(QStringLiteral("List.ul1"))),
                 QByteArray("Beta\r\n\t30 Dec 2099\r\n\t08:00:00\r\n"
                            "alpha\r\n\t31 Dec 2099\r\n\t23:59:00\r\n\tСреща в офиса\r\n"));

        const IniSections ini = readIni(s.filePath(QStringLiteral("Vellaro.ini")));
        QVERIFY2(ini.contains(kMainTitle), qPrintable(QStringList(ini.keys()).join(u'|')));
        const QMap<QString, QString> window = ini.value(kMainTitle);
        QCOMPARE(window.value(QStringLiteral("Top")), QString::number(placed.top()));
        QCOMPARE(window.value(QStringLiteral("Left")), QString::number(placed.left()));
        QCOMPARE(window.value(QStringLiteral("Width")), QString::number(placed.width()));
        QCOMPARE(window.value(QStringLiteral("Height")), QString::number(placed.height()));
        QCOMPARE(ini.value(QStringLiteral("vellaro")).value(QStringLiteral("AlphaBlend")),
                 QStringLiteral("255"));
    }

    void sigterm_afterRenameInPlace_savesRenamedListResorted()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kBravo + kCharlie + kDelta));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const XWindow main = s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs);
        QVERIFY2(main, qPrintable(describe(app)));
        QVERIFY(s.focusWindow(main));

        // The list copies its current cell on Ctrl+C: that shows which row the keys reached.
        QVERIFY(s.pressKeys({QStringLiteral("Home"), QStringLiteral("ctrl+c")}));
        QVERIFY2(s.waitForClipboard("bravo", kWindowTimeoutMs), "Home did not reach the first row");
        QVERIFY(s.pressKeys({QStringLiteral("F2"), QStringLiteral("ctrl+a")}));
        QVERIFY(s.typeText(QStringLiteral("zulu")));
        QVERIFY(s.pressKeys({QStringLiteral("Return"), QStringLiteral("ctrl+c")}));
        // Only once the new name is in the list may the signal come.
        QVERIFY2(s.waitForClipboard("zulu", kWindowTimeoutMs), "F2 did not rename the row");

        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(s.filePath(QStringLiteral("List.ul1"))),
                 kCharlie + kDelta + "zulu" + kBravo.mid(kBravo.indexOf('\r')));
    }
};

QTEST_GUILESS_MAIN(TestE2eApp)
#include "tst_e2e_app.moc"
