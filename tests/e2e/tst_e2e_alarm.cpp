// A reminder falls due in the real program: the alarm window and the notification come as the
// sound (alarm.wav, or the desktop's alarm sound when there is none) starts, and the sound reaches
// the audio server to its end, whatever the desktop's notification server does; without any audio
// server the window still opens.
#include "e2e/duelist.h"
#include "e2e/e2eharness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace vellaro::e2e;

namespace {

const QString kAlarmTitle = QStringLiteral("Напомняне ...");
constexpr double kSoundSeconds = 0.6;

} // namespace

class TestAlarmEndToEnd : public QObject
{
    Q_OBJECT

    void startApp(Session &s, QProcess *&app)
    {
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
    }

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "xdotool", "pulseaudio", "parec", "sox"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    void dueEntry_windowAsSoundStarts_wholeSoundPlays_data()
    {
        QTest::addColumn<QString>("bits"); // of alarm.wav; empty: there is none
        QTest::addColumn<double>("expectedSeconds");
        // No session bus; a bus without a notification server; or a server that does not help.
        QTest::addColumn<QStringList>("notificationServer");
        const QStringList noBus{QStringLiteral("no bus")};
        QTest::newRow("16-bit PCM") << QStringLiteral("16") << kSoundSeconds << noBus;
        QTest::newRow("32-bit PCM")
            << QStringLiteral("32") << kSoundSeconds << noBus; // not for libcanberra
        // The sound theme's alarm, from its first sound to its last.
        // A long sound: the window and the notification do not wait for its end.
        QTest::newRow("no alarm.wav: the theme's alarm, notified")
            << QString() << 5.51 << QStringList{QStringLiteral("--plain")};
        QTest::newRow("no notification server")
            << QStringLiteral("16") << kSoundSeconds << QStringList();
        QTest::newRow("notification server never answers")
            << QStringLiteral("16") << kSoundSeconds << QStringList{QStringLiteral("--mute")};
        QTest::newRow("notification server refuses")
            << QStringLiteral("16") << kSoundSeconds << QStringList{QStringLiteral("--refuse")};
    }

    void dueEntry_windowAsSoundStarts_wholeSoundPlays()
    {
        QFETCH(QString, bits);
        QFETCH(double, expectedSeconds);
        QFETCH(QStringList, notificationServer);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QProcess *server = nullptr;
        if (notificationServer.isEmpty()) {
            QVERIFY2(s.startSessionBus(), qPrintable(s.error()));
        } else if (notificationServer.first().startsWith(u'-')) {
            server = s.startNotificationServer(notificationServer);
            QVERIFY2(server, qPrintable(s.error()));
        }
        const QString wav = s.filePath(QStringLiteral("alarm.wav"));
        QVERIFY(
            bits.isEmpty() ||
            s.run(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                   QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"), bits, wav,
                   QStringLiteral("synth"), QString::number(kSoundSeconds), QStringLiteral("sine"),
                   QStringLiteral("880"), QStringLiteral("vol"), QStringLiteral("0.5")})
                .ok());

        QVERIFY2(s.startAudioSink(), qPrintable(s.error()));
        const QString recording = s.filePath(QStringLiteral("recording.wav"));
        QProcess *recorder = s.startRecording(recording);
        QVERIFY(recorder);

        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), listDueIn(3)));
        QElapsedTimer clock;
        clock.start();
        QProcess *app = nullptr;
        startApp(s, app);
        QVERIFY(app);
        // Due three seconds after the start, seen within a second of it however long the sound.
        const int windowLimitMs = 4400;
        const XWindow alarm = s.waitForWindowOf(app, kAlarmTitle, windowLimitMs);
        QVERIFY2(alarm, "the alarm window did not open in time");
        QVERIFY2(clock.elapsed() <= windowLimitMs, qPrintable(QString::number(clock.elapsed())));
        if (server)
            QVERIFY2(waitUntil([&] { return !Session::notificationCalls(server).isEmpty(); },
                               windowLimitMs - int(clock.elapsed()) + 200),
                     "the notification waited for the sound");

        // The sound plays on under the open window; give the recorder time to write it all.
        QTest::qWait(int(expectedSeconds * 1000) + 700);
        QVERIFY(Session::sendSignal(recorder, SIGINT));
        QVERIFY(Session::waitForExit(recorder, 3000));
        const double audible = s.audibleSeconds(recording);
        QVERIFY2(qAbs(audible - expectedSeconds) <= 0.15,
                 qPrintable(QStringLiteral("audible for %1 s").arg(audible)));
        QVERIFY(s.findWindows(kErrorBoxCaption, app->processId()).isEmpty());
        if (server) // the program did ask it
            QVERIFY2(!Session::notificationCalls(server).isEmpty(),
                     qPrintable(Session::outputOf(server)));

        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 5000));
        QCOMPARE(app->exitCode(), 0);
    }

    void withoutSoundFileOrServer_windowStillOpens_data()
    {
        QTest::addColumn<bool>("soundFile");
        QTest::newRow("noSoundFile") << false;
        QTest::newRow("noAudioServer") << true;
    }

    void withoutSoundFileOrServer_windowStillOpens()
    {
        QFETCH(bool, soundFile);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        if (soundFile) {
            QVERIFY(s.run(QStringLiteral("sox"),
                          {QStringLiteral("-n"), QStringLiteral("-b"), QStringLiteral("16"),
                           s.filePath(QStringLiteral("alarm.wav")), QStringLiteral("synth"),
                           QStringLiteral("0.5"), QStringLiteral("sine"), QStringLiteral("440")})
                        .ok());
        }
        // No server anywhere, and none may be started on demand.
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), listDueIn(2)));
        QProcess *app = nullptr;
        startApp(s, app);
        QVERIFY(app);
        QVERIFY2(s.waitForWindowOf(app, kAlarmTitle, 5000), "the alarm window did not open");
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 5000));
        QCOMPARE(app->exitCode(), 0);
    }

    // The program sleeps until the reminder's second on the wall clock. Stopped over that second
    // and continued, it catches the second up at once. The reminder repeats daily: once it has
    // sounded, the list saved at exit holds its next day.
    void stoppedOverTheDueSecond_alarmComesRightAfterContinue()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        const QDateTime due = QDateTime::currentDateTime().addSecs(6);
        const QByteArray daily = listOf({{QStringLiteral("Хапче"), due, QStringLiteral("n")}});
        QVERIFY(
            writeFile(s.filePath(QStringLiteral("List.ul1")), daily + "\tRRULE:FREQ=DAILY\r\n"));
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess *app = nullptr;
        startApp(s, app);
        QVERIFY(app);
        QVERIFY(s.waitForWindowOf(app, kAlarmTitle, 2000) == 0); // settle, nothing due yet
        QVERIFY(Session::sendSignal(app, SIGSTOP));
        QVERIFY(sinceStart.elapsed() < 5000);
        QTest::qWait(int(8000 - sinceStart.elapsed())); // the due second passes meanwhile
        QVERIFY(s.findWindows(kAlarmTitle, app->processId()).isEmpty());
        QElapsedTimer sinceContinue;
        sinceContinue.start();
        QVERIFY(Session::sendSignal(app, SIGCONT));
        QVERIFY2(s.waitForWindowOf(app, kAlarmTitle, 5000), "the alarm window did not open");
        QVERIFY2(sinceContinue.elapsed() < 3000,
                 qPrintable(QString::number(sinceContinue.elapsed())));
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 5000));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(readFile(s.filePath(QStringLiteral("List.ul1"))),
                 listOf({{QStringLiteral("Хапче"), due.addDays(1), QStringLiteral("n")}}) +
                     "\tRRULE:FREQ=DAILY\r\n");
    }
};

QTEST_GUILESS_MAIN(TestAlarmEndToEnd)
#include "tst_e2e_alarm.moc"
