// The program installed under a prefix the user may not write to, started by an ordinary user as
// a desktop menu or the session would start it: from another folder, without alarm.wav.
#include "core/localeformats.h"
#include "e2e/e2eharness.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

using namespace vellaro;
using namespace vellaro::e2e;

namespace {

const QString kUser = QStringLiteral("vellarotest");
// The program's own alarm sound: four double beeps, from the first to the end of the last.
constexpr double kOwnSoundSeconds = 2.08;

QByteArray entry(const QString &name, const QDateTime &when, const LocaleFormats &formats)
{
    return (name + "\r\n\t" + formats.dateText(when.date()) + "\r\n\t" +
            formats.timeText(when.time()) + "\r\n\t\r\n")
        .toUtf8();
}

} // namespace

class TestE2eInstall : public QObject
{
    Q_OBJECT

    uid_t m_uid = 0;
    gid_t m_gid = 0;

    QStringList asUser(const QStringList &command) const
    {
        return QStringList{QStringLiteral("--reuid=%1").arg(m_uid),
                           QStringLiteral("--regid=%1").arg(m_gid), QStringLiteral("--init-groups"),
                           QStringLiteral("--")} +
               command;
    }

    // Installs the built program under the prefix; its path. The work folder (the current folder,
    // without alarm.wav) and the prefix stay root's, readable by the user.
    static QString installInto(Session &s, const QString &prefix)
    {
        const ToolResult install =
            s.run(QStringLiteral(CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(VELLARO_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix},
                  60000);
        const QString program = prefix + QStringLiteral("/bin/vellaro");
        [&] {
            QVERIFY2(install.ok(), install.err.constData());
            QVERIFY(QFileInfo(program).isExecutable());
            QVERIFY(QFile::setPermissions(s.workDir(), QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ExeOwner | QFile::ReadOther |
                                                           QFile::ExeOther | QFile::ReadGroup |
                                                           QFile::ExeGroup));
        }();
        return program;
    }

    // The session's home, configuration, cache and runtime folders become the user's.
    static void handFoldersToUser(Session &s)
    {
        for (const char *folder : {"home", "config", "cache", "run"}) {
            QVERIFY(QDir().mkpath(s.filePath(QString::fromLatin1(folder))));
            const ToolResult chown =
                s.run(QStringLiteral("chown"), {QStringLiteral("-R"), kUser + QLatin1Char(':'),
                                                s.filePath(QString::fromLatin1(folder))});
            QVERIFY2(chown.ok(), chown.err.constData());
        }
    }

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "pulseaudio", "parec", "sox", "setpriv", "useradd"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        if (::geteuid() != 0)
            QSKIP("only root can install for the test and start the program as another user");
        // Another test suite shares this user; it is made once and left in place.
        if (!::getpwnam(qPrintable(kUser))) {
            QProcess useradd;
            useradd.start(QStringLiteral("useradd"), {QStringLiteral("--create-home"), kUser});
            QVERIFY(useradd.waitForFinished(30000));
            QVERIFY2(::getpwnam(qPrintable(kUser)), useradd.readAllStandardError().constData());
        }
        const passwd *user = ::getpwnam(qPrintable(kUser));
        m_uid = user->pw_uid;
        m_gid = user->pw_gid;
    }

    void installedForAUser_filesInXdgFolders_defaultSoundHeard()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        const QString prefix = s.filePath(QStringLiteral("prefix"));
        const QString program = installInto(s, prefix);
        if (QTest::currentTestFailed())
            return;
        const QString home = s.filePath(QStringLiteral("home"));
        const QString dataDir = home + QStringLiteral("/.local/share/vellaro");
        QVERIFY(QDir().mkpath(dataDir));
        const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(writeFile(dataDir + QStringLiteral("/List.ul1"),
                          entry(QStringLiteral("Среща"), now.addSecs(4), bg) +
                              entry(QStringLiteral("Аптека"), now.addYears(1), bg)));
        handFoldersToUser(s);
        if (QTest::currentTestFailed())
            return;

        // The user's own sound server, playing into a null sink the test records.
        const QString run = s.runtimeDir();
        QVERIFY(s.startHelper(
            QStringLiteral("setpriv"),
            asUser({QStringLiteral("env"), QStringLiteral("XDG_RUNTIME_DIR=") + run,
                    QStringLiteral("HOME=") + home, QStringLiteral("pulseaudio"),
                    QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                    QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--system=false"),
                    QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1"),
                    QStringLiteral("--load=module-null-sink sink_name=nullsink"),
                    QStringLiteral("--load=module-always-sink")})));
        const QString server = QStringLiteral("unix:") + run + QStringLiteral("/pulse/native");
        QVERIFY2(
            waitUntil([&] { return QFile::exists(run + QStringLiteral("/pulse/native")); }, 10000),
            "no audio server");
        const QString recording = s.filePath(QStringLiteral("recording.wav"));
        QProcess *recorder = s.startHelper(
            QStringLiteral("env"),
            {QStringLiteral("PULSE_SERVER=") + server, QStringLiteral("parec"),
             QStringLiteral("-d"), QStringLiteral("nullsink.monitor"),
             QStringLiteral("--latency-msec=20"), QStringLiteral("--file-format=wav"), recording});
        QVERIFY(recorder);

        // Without the sound theme the program's own sound stands in.
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"), server);
        s.appEnvironment().insert(QStringLiteral("XDG_DATA_DIRS"),
                                  s.filePath(QStringLiteral("no-sound-theme")));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        QProcess *app = s.startProgram(QStringLiteral("setpriv"), asUser({program}));
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWindowOf(app, kMainWindowTitle, 15000), qPrintable(describe(app)));
        QVERIFY2(s.findWindows(kErrorBoxCaption, app->processId()).isEmpty(),
                 "an error box at the start");
        QVERIFY2(s.waitForWindowOf(app, kAlarmWindowTitle, 15000), qPrintable(describe(app)));

        // The window comes as the sound starts; the sound plays on under it.
        QTest::qWait(int(kOwnSoundSeconds * 1000) + 1000);
        QVERIFY(Session::sendSignal(recorder, SIGINT));
        QVERIFY(Session::waitForExit(recorder, 3000));
        const double audible = s.audibleSeconds(recording);
        QVERIFY2(qAbs(audible - kOwnSoundSeconds) <= 0.15,
                 qPrintable(QStringLiteral("audible for %1 s").arg(audible)));

        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 10000));
        QCOMPARE(app->exitCode(), 0);

        // Saved where the user's files live, sorted by name; nothing beside the executable.
        const QByteArray saved = readFile(dataDir + QStringLiteral("/List.ul1"));
        QVERIFY2(saved.startsWith(QStringLiteral("Аптека\r\n").toUtf8()), saved.constData());
        QVERIFY(saved.contains(QStringLiteral("Среща\r\n").toUtf8()));
        const QByteArray settings =
            readFile(s.filePath(QStringLiteral("config/vellaro/Vellaro.ini")));
        QVERIFY2(settings.contains(kMainWindowTitle.toUtf8()), settings.constData());
        QStringList strays;
        for (QDirIterator it(prefix, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString name = QFileInfo(it.next()).fileName();
            if (name.contains(QStringLiteral("List.ul1")) ||
                name.contains(QStringLiteral("Vellaro.ini")))
                strays << it.filePath();
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(u' ')));
        QCOMPARE(QDir(prefix + QStringLiteral("/bin")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("vellaro")});
    }

    // "Стартиране с ОС", clicked in the tray menu of the installed program, writes an entry that
    // starts the installed program.
    void installedForAUser_startWithSessionEntryStartsTheInstalledProgram()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        const QString program = installInto(s, s.filePath(QStringLiteral("prefix")));
        if (QTest::currentTestFailed())
            return;
        handFoldersToUser(s);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(s.startStatusNotifierWatcher(), qPrintable(s.error()));
        QProcess *app = s.startProgram(QStringLiteral("setpriv"), asUser({program}));
        QVERIFY2(app, qPrintable(s.error()));
        const TrayItem item = s.waitForTrayItem(app, 20000);
        QVERIFY2(item.isValid(), qPrintable("no tray item registered\n" + describe(app)));
        const std::optional<std::vector<MenuEntry>> menu = s.trayMenu(item);
        QVERIFY2(menu, qPrintable(s.error()));
        const auto entry = std::find_if(menu->begin(), menu->end(), [](const MenuEntry &e) {
            return e.label == QStringLiteral("Стартиране с ОС");
        });
        QVERIFY(entry != menu->end());
        QVERIFY(s.clickTrayMenuEntry(item, entry->id));

        const QString desktopEntry = s.filePath(QStringLiteral("config/autostart/Vellaro.desktop"));
        QVERIFY2(waitUntil([&] { return QFile::exists(desktopEntry); }, 10000),
                 qPrintable(describe(app)));
        const QByteArray written = readFile(desktopEntry);
        QVERIFY2(written.contains("\nExec=" + program.toUtf8() + "\n") ||
                     written.contains("\nExec=\"" + program.toUtf8() + "\"\n"),
                 written.constData());
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 10000));
        QCOMPARE(app->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestE2eInstall)
#include "tst_e2e_install.moc"
