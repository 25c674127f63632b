// The real program against faults of its machine and against bad files: a folder it may not write
// to, a directory where its list should be, a file-size limit, hostile list and settings files,
// a lock left behind, two starts at once, and the end of the session while a window waits for an
// answer. Each test looks at what the user sees and at what is left on disk.
#include "core/listfile.h"
#include "core/localeformats.h"
#include "e2e/e2eharness.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <unistd.h>

using namespace vellaro;
using namespace vellaro::e2e;

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
const QString kErrorBoxTitle = QStringLiteral("Vellaro  Version 2.0");
constexpr int kTimeoutMs = 20000;

// Far in the future, so no reminder falls due while a test runs; in bare line feeds, so that the
// save at exit always writes (CR LF) and a file left as it was shows that nothing was written.
const QByteArray kList = "bravo\n\t31 Dec 2099\n\t07:00:00\n\tПърви\ncharlie\n\t30 Dec 2099\n"
                         "\t08:00:00\n";
const QByteArray kListSaved = QByteArray(kList).replace("\n", "\r\n");

// Runs in the started program's process: permissions then bind the superuser as they bind its
// owner. (Tests run as root, who could otherwise write anywhere.) Without the right to drop them
// the program is not root either, and the permissions hold anyway.
void withoutPermissionOverride()
{
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
}

// Files that were left behind by an unfinished write of the program.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".List.ul1.*"), QStringLiteral(".Vellaro.ini.*")},
                                  QDir::Files | QDir::Hidden);
}

// Waits for the program's next error box, reads it the way a screen reader does, answers it
// with Enter and returns its text; empty when no box came.
QString answerErrorBox(Session &s, QProcess *app)
{
    const XWindow box = s.waitForWindowOf(app, kErrorBoxTitle, kTimeoutMs);
    if (!box)
        return {};
    const std::optional<AccessibleNode> tree =
        s.accessibleTree(app->processId(), kTimeoutMs, [](const AccessibleNode &root) {
            const AccessibleNode *alert =
                root.find(QStringLiteral("alert message"), kErrorBoxTitle);
            return alert && !alert->namesOf(QStringLiteral("label")).isEmpty();
        });
    QString text = QStringLiteral("<unreadable box>\n") + (tree ? tree->dump() : QString());
    if (tree) {
        if (const AccessibleNode *alert =
                tree->find(QStringLiteral("alert message"), kErrorBoxTitle))
            text = alert->namesOf(QStringLiteral("label")).join(u'\n');
    }
    if (!s.focusWindow(box) || !s.pressKeys({QStringLiteral("Return")}) ||
        !s.waitForWindowGone(box, kTimeoutMs))
        return QStringLiteral("<the box did not close>");
    return text;
}

QString reason(int errnum)
{
    QString text = QString::fromLocal8Bit(std::strerror(errnum));
    while (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace

class TestE2eFaults : public QObject
{
    Q_OBJECT

    // Starts the program and waits for its main window; the test has failed when it is not shown.
    static void startToMainWindow(Session &s, QProcess *&app, std::function<void()> inChild = {})
    {
        app = s.startApp({}, std::move(inChild));
        QVERIFY2(app, qPrintable(s.error()));
        const bool shown = s.waitForWindowOf(app, kMainTitle, kTimeoutMs) != 0;
        QVERIFY2(shown, qPrintable(describe(app)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        for (const char *tool : {"Xvfb", "xdotool", "dbus-daemon"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    // Every write at exit fails: one box says it all, each different failure once, in the order
    // the windows are destroyed; both files stay whole.
    void readOnlyFolder_everyFailedWriteReported_filesKeptWhole()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        const QString ini = s.filePath(QStringLiteral("Vellaro.ini"));
        const QByteArray settings = "; kept by hand\n[vellaro]\nAlphaBlend=255\n";
        QVERIFY(writeFile(list, kList));
        QVERIFY(writeFile(ini, settings));
        QVERIFY(QFile::setPermissions(s.workDir(), QFile::ReadOwner | QFile::ExeOwner |
                                                       QFile::ReadGroup | QFile::ExeGroup));
        const auto writable = qScopeGuard([&] {
            QFile::setPermissions(s.workDir(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadGroup |
                                                   QFile::ExeGroup);
        });

        QProcess *app = nullptr;
        startToMainWindow(s, app, withoutPermissionOverride);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(Session::sendSignal(app, SIGTERM));

        const QString iniBox = QStringLiteral("Unable to write to %1.").arg(ini);
        const QString listBox =
            QStringLiteral("Cannot create file \"%1\". %2.").arg(list, reason(EACCES));
        QCOMPARE(answerErrorBox(s, app), iniBox + u'\n' + listBox);
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(list), kList);
        QCOMPARE(readFile(ini), settings);
        QCOMPARE(leftovers(s.workDir()), QStringList());
    }

    // A settings file its owner made read-only is not replaced behind the user's back.
    void readOnlySettingsFile_writesReportedFileUnchanged_listStillSaved()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        const QString ini = s.filePath(QStringLiteral("Vellaro.ini"));
        const QByteArray settings = "[vellaro]\nAlphaBlend=200\n";
        QVERIFY(writeFile(list, kList));
        QVERIFY(writeFile(ini, settings));
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup));

        QProcess *app = nullptr;
        startToMainWindow(s, app, withoutPermissionOverride);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(Session::sendSignal(app, SIGTERM));
        const QString iniBox = QStringLiteral("Unable to write to %1.").arg(ini);
        QCOMPARE(answerErrorBox(s, app), iniBox);
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(ini), settings);
        QCOMPARE(readFile(list), kListSaved);
    }

    // Nothing changed: the exit has nothing to save over it and nothing to report.
    void listIsADirectory_reportedAtStart_directoryKept()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        QVERIFY(QDir().mkpath(list));
        QVERIFY(writeFile(list + QStringLiteral("/inside"), "kept"));

        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QCOMPARE(answerErrorBox(s, app),
                 QStringLiteral("Cannot open file \"%1\". %2.").arg(list, reason(EISDIR)));
        QVERIFY2(s.waitForWindowOf(app, kMainTitle, kTimeoutMs), qPrintable(describe(app)));
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QVERIFY(QFileInfo(list).isDir());
        QCOMPARE(readFile(list + QStringLiteral("/inside")), QByteArray("kept"));
    }

    // The disk is full as far as the program can tell: no file may grow past 32 KiB. The save at
    // exit fails with its box (the program is not killed by the limit), the old list stays whole,
    // and the next save with room again writes the list.
    void fileSizeLimitAtSave_reportedOldListWhole_nextSaveWrites()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.enableAccessibility(), qPrintable(s.error()));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        // Few rows (the box is found through the accessibility tree, which holds every cell).
        QByteArray big;
        for (int i = 0; i < 20; ++i)
            big += "entry " + QByteArray::number(10 + i) + "\n\t31 Dec 2099\n\t07:00:00\n\t" +
                   QByteArray(2000, 'n') + "\n";
        QVERIFY(writeFile(list, big));

        QProcess *app = nullptr;
        startToMainWindow(s, app, [] {
            const rlimit limit{32768, 32768};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        if (QTest::currentTestFailed())
            return;
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QCOMPARE(answerErrorBox(s, app),
                 QStringLiteral("Cannot create file \"%1\". %2.").arg(list, reason(EFBIG)));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(list), big);
        QCOMPARE(leftovers(s.workDir()), QStringList());

        startToMainWindow(s, app);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(list), QByteArray(big).replace("\n", "\r\n"));
    }

    // Lists no program of ours wrote. Each starts without a box, and the save at exit writes back
    // everything that was read (up to a NUL, where the text of the file ends), sorted by name.
    void hostileList_startsAndSavesWhatItRead_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("saved");

        QByteArray huge(100 * 1024 * 1024, 'A');
        QTest::newRow("100 MB on one line") << "C.UTF-8" << huge + "\n\t31 Dec 2099\n"
                                            << huge + "\r\n\t31 Dec 2099\r\n";
        huge.clear();
        QTest::newRow("NUL bytes")
            << "C.UTF-8" << QByteArray("alpha\r\n\t31 Dec 2099\r\n\0beta\r\n\0\0", 30)
            << QByteArray("alpha\r\n\t31 Dec 2099\r\n");
        QTest::newRow("invalid UTF-8 is read as the locale's code page")
            << "C.UTF-8" << QByteArray("caf\xe9\r\n\t\x80 note\r\n")
            << QByteArray("caf\xc3\xa9\r\n\t\xe2\x82\xac note\r\n");
        QTest::newRow("Windows-1251 bytes")
            << "bg_BG.UTF-8" << QByteArray("\xd1\xf0\xe5\xf9\xe0\r\n\t1.03.27 \xe3.\r\n")
            << QStringLiteral("Среща\r\n\t1.03.27 г.\r\n").toUtf8();
        // LF CR is two line ends: an empty line between, which is a row with an empty name.
        QTest::newRow("LF CR line ends") << "C.UTF-8" << QByteArray("b\n\r\tdetail\n\ra\n\r")
                                         << QByteArray("\r\n\tdetail\r\n\r\n\r\na\r\nb\r\n");
        QByteArray details = "many\r\n";
        for (int i = 0; i < 10000; ++i)
            details += "\tdetail " + QByteArray::number(i) + "\r\n";
        QTest::newRow("10,000 details on one entry") << "C.UTF-8" << details << details;

        // Bytes of every value, seeded so that a failure can be tried again.
        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        QRandomGenerator random(20261209);
        for (char &c : garbage)
            c = char(random.bounded(1, 256));
        ReminderEntries read = listfile::parse(garbage, "windows-1252");
        std::stable_sort(read.begin(), read.end(),
                         [](const auto &a, const auto &b) { return compareEntries(a, b, 0) < 0; });
        QTest::newRow("binary garbage") << "C.UTF-8" << garbage << listfile::serialize(read);
    }

    void hostileList_startsAndSavesWhatItRead()
    {
        QFETCH(QString, lang);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("LANG"), lang);
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        QVERIFY(writeFile(list, file));
        file.clear();

        s.watchMappedWindows();
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(app, kMainTitle, 60000), qPrintable(describe(app)));
        for (const XWindow w : s.mappedWindows())
            QVERIFY2(s.windowTitle(w) != kErrorBoxTitle, "an error box came at start");
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, 60000), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        const QByteArray written = readFile(list);
        QVERIFY2(written == saved, qPrintable(QStringLiteral("%1 bytes written, %2 expected")
                                                  .arg(written.size())
                                                  .arg(saved.size())));
    }

    // Settings no program of ours wrote: what is a number is used, what is not gives the window
    // its default, nothing crashes, and the other sections and comments are still there after
    // the program has written its own values.
    void hostileSettings_numbersReadGarbageIgnoredOthersKept_data()
    {
        QTest::addColumn<QByteArray>("settings");
        const QByteArray settings =
            "\xef\xbb\xbf; my notes\n[Vellaro - \xd0\x92\xd0\xb5\xd1\x80\xd1\x81\xd0\xb8\xd1\x8f "
            "2.0]\nTop=0x\nLeft=$40\nWidth=+600\nHeight=4" +
            QByteArray(4999, 'x') +
            "\n[vellaro]\nAlphaBlend=99999999999999999999\n"
            "[\xd0\x9c\xd0\xbe\xd1\x8f]\nkey=value\n[[[\n=no name\n"
            "no equals sign\n[Vellaro - \xd0\x9e\xd1\x82\xd0\xbd\xd0\xbe\xd0"
            "\xb2\xd0\xbe]\nTop=-2147483649\n";
        QTest::newRow("line feeds, BOM, garbage") << settings;
        QTest::newRow("CR-only lines") << QByteArray(settings).replace('\n', '\r');
    }

    void hostileSettings_numbersReadGarbageIgnoredOthersKept()
    {
        QFETCH(QByteArray, settings);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kList));
        const QString ini = s.filePath(QStringLiteral("Vellaro.ini"));
        QVERIFY(writeFile(ini, settings));

        QProcess *app = nullptr;
        startToMainWindow(s, app);
        if (QTest::currentTestFailed())
            return;
        const XWindow main = s.findWindows(kMainTitle, app->processId()).value(0);
        // Left "$40" is 64; Top "0x" and the 5,000-character Height are no numbers.
        QTRY_COMPARE_WITH_TIMEOUT(s.windowGeometry(main), QRect(64, 190, 600, 344), kTimeoutMs);
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);

        const QString written = QString::fromUtf8(readFile(ini));
        for (const QString &kept :
             {QStringLiteral("; my notes"), QStringLiteral("[Моя]\nkey=value\n"),
              QStringLiteral("[Vellaro - Отново]\nTop=-2147483649\n"),
              QStringLiteral("[Vellaro - Версия 2.0]\nTop=190\nLeft=64\nWidth=600\nHeight=344\n"),
              QStringLiteral("[vellaro]\nAlphaBlend=255\n")})
            QVERIFY2(written.contains(kept),
                     qPrintable(kept + QStringLiteral(" missing from:\n") + written.left(2000)));
    }

    // A lock file whose holder is gone, whatever it holds, never keeps the program from starting.
    void leftLock_whateverItHolds_doesNotBlockTheStart_data()
    {
        QTest::addColumn<QByteArray>("lock");
        QTest::newRow("empty (a crash before anything was written)") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\xff garbage\n\n");
        QTest::newRow("a live process of another program")
            << QByteArray::number(::getpid()) + "\nvellaro\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n";
    }

    void leftLock_whateverItHolds_doesNotBlockTheStart()
    {
        QFETCH(QByteArray, lock);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kList));
        QVERIFY(writeFile(s.runtimeDir() + QStringLiteral("/vellaro.lock"), lock));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(app, kMainTitle, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->state(), QProcess::Running);
    }

    // Two starts in the same instant: one runs with its window, the other ends at once. Several
    // rounds, since which one wins is up to the scheduler.
    void twoStartsAtOnce_exactlyOneKeepsRunning()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), kListSaved));
        for (int round = 0; round < 5; ++round) {
            QProcess *first = s.startApp();
            QProcess *second = s.startApp();
            QVERIFY2(first && second, qPrintable(s.error()));
            QVERIFY2(waitUntil(
                         [&] {
                             return first->state() == QProcess::NotRunning ||
                                    second->state() == QProcess::NotRunning;
                         },
                         kTimeoutMs),
                     "both starts kept running");
            QProcess *ended = first->state() == QProcess::NotRunning ? first : second;
            QProcess *running = ended == first ? second : first;
            QCOMPARE(ended->exitCode(), 0);
            QVERIFY2(s.waitForWindowOf(running, kMainTitle, kTimeoutMs),
                     qPrintable(describe(running)));
            QCOMPARE(s.findWindows(kMainTitle).size(), 1);
            QVERIFY(Session::sendSignal(running, SIGTERM));
            QVERIFY2(Session::waitForExit(running, kTimeoutMs), qPrintable(describe(running)));
            QCOMPARE(running->exitCode(), 0);
        }
    }

    // The end of the session while a window waits for the user: the window closes, the list is
    // saved and the program ends normally.
    void endOfSessionWhileAWindowWaits_listSavedCleanExit_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("window");
        for (const int signalNumber : {SIGTERM, SIGHUP}) {
            const char *name = signalNumber == SIGTERM ? "SIGTERM" : "SIGHUP";
            for (const char *window :
                 {"Добавяне на нов запис", "Прозрачност на прозорците", "Напомняне ..."}) {
                QTest::addRow("%s, %s", name, window) << signalNumber << QString::fromUtf8(window);
            }
        }
    }

    void endOfSessionWhileAWindowWaits_listSavedCleanExit()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, window);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        // No sound server: the alarm window opens without waiting for a sound.
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        QByteArray file = kList;
        QByteArray saved = kListSaved;
        const bool alarm = window == QStringLiteral("Напомняне ...");
        if (alarm) {
            const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
            const QDateTime due = QDateTime::currentDateTime().addSecs(3);
            const QByteArray entry = ("Среща\n\t" + bg.dateText(due.date()) + "\n\t" +
                                      bg.timeText(due.time()) + "\n\tв офиса\n")
                                         .toUtf8();
            file += entry;
            saved += QByteArray(entry).replace("\n", "\r\n");
        }
        QVERIFY(writeFile(list, file));

        QProcess *app = nullptr;
        startToMainWindow(s, app);
        if (QTest::currentTestFailed())
            return;
        if (!alarm) {
            // The menu bar's first entry, clicked at its left edge, then the keyboard: the first
            // entry of "Файл" is "Добавяне ...", "Настройки" is one step to the right.
            const XWindow main = s.findWindows(kMainTitle, app->processId()).value(0);
            QVERIFY(s.focusWindow(main));
            QVERIFY(s.run(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--window"),
                           QString::number(main), QStringLiteral("12"), QStringLiteral("12"),
                           QStringLiteral("click"), QStringLiteral("1")})
                        .ok());
            QTest::qWait(300);
            QVERIFY(s.pressKeys({window == QStringLiteral("Прозрачност на прозорците")
                                     ? QStringLiteral("Right")
                                     : QStringLiteral("Down")}));
            QTest::qWait(150);
            QVERIFY(s.pressKeys({QStringLiteral("Return")}));
        }
        const XWindow waiting = s.waitForWindowOf(app, window, kTimeoutMs);
        QVERIFY2(waiting, qPrintable(describe(app)));

        QVERIFY(Session::sendSignal(app, signalNumber));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(list), saved);
    }
};

QTEST_GUILESS_MAIN(TestE2eFaults)
#include "tst_e2e_faults.moc"
