// The real program in a Wayland session: a headless sway compositor and the program run as an
// unprivileged account, the tray through a StatusNotifierItem host on a private session bus, and
// sound through a PulseAudio null sink. A Wayland client cannot place its windows or make them
// translucent, so the positions and the opacity in the settings file must survive such a run.
#include "core/profile.h"
#include "e2e/duelist.h"
#include "e2e/e2eharness.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>

using namespace vellaro;
using namespace vellaro::e2e;

namespace {

constexpr int kTimeoutMs = 20000;
constexpr double kSoundSeconds = 0.6;

QString iniValue(const QString &path, const QString &section, const QString &key)
{
    return ProfileFile(path).readString(section, key).value_or(QStringLiteral("<missing>"));
}

} // namespace

class TestE2eWayland : public QObject
{
    Q_OBJECT

private:
    // A Wayland session with a tray host, the program's list written, ready for startApp().
    static void prepare(Session &s, const QByteArray &list)
    {
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.startWayland(), qPrintable(s.error()));
        QVERIFY2(s.startStatusNotifierWatcher(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath("List.ul1"), list));
    }

    static bool shown(Session &s, QProcess *app, const QString &title)
    {
        const QList<WaylandWindow> windows = s.waylandWindows(app->processId());
        return std::any_of(windows.begin(), windows.end(),
                           [&](const WaylandWindow &w) { return w.title == title; });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        for (const char *tool : {"sway", "swaymsg", "dbus-daemon", "pulseaudio", "parec", "sox"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    void trayItemTogglesTheMainWindow_positionAndOpacityStayInTheFile()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        prepare(s, "bravo\r\n\t31 Dec 2099\r\n\t07:00:00\r\n\tПърви\r\n");
        if (QTest::currentTestFailed())
            return;
        // A position off every screen: where the program could place windows, it would move the
        // window back onto the screen and store that.
        const QString ini = s.filePath("Vellaro.ini");
        QVERIFY(writeFile(ini, "[" + kMainWindowTitle.toUtf8() +
                                   "]\r\nTop=4000\r\nLeft=5000\r\nWidth=600\r\nHeight=400\r\n"
                                   "[vellaro]\r\nAlphaBlend=155\r\n"));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const TrayItem item = s.waitForTrayItem(app, kTimeoutMs);
        QVERIFY2(item.isValid(), qPrintable("no tray item registered\n" + describe(app)));
        QTest::qWait(500);
        QVERIFY2(s.waylandWindows(app->processId()).isEmpty(), "a window shows at start");

        QVERIFY(s.callTrayItem(item, "Activate", {0, 0}).ok());
        const std::optional<WaylandWindow> main =
            s.waitForWaylandWindow(app, kMainWindowTitle, kTimeoutMs);
        QVERIFY2(main, qPrintable("Activate did not show the main window\n" + describe(app)));
        // The size comes back; the position is the compositor's, and the opacity is no error.
        QCOMPARE(main->size, QSize(600, 400));
        QVERIFY(!shown(s, app, kErrorBoxCaption));
        QVERIFY(s.callTrayItem(item, "Activate", {0, 0}).ok());
        QVERIFY2(s.waitForWaylandWindowGone(app, kMainWindowTitle, kTimeoutMs),
                 "a second Activate did not hide the main window");
        QVERIFY(s.callTrayItem(item, "Activate", {0, 0}).ok());
        QVERIFY(s.waitForWaylandWindow(app, kMainWindowTitle, kTimeoutMs));

        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(iniValue(ini, kMainWindowTitle, "Left"), QStringLiteral("5000"));
        QCOMPARE(iniValue(ini, kMainWindowTitle, "Top"), QStringLiteral("4000"));
        QCOMPARE(iniValue(ini, kMainWindowTitle, "Width"), QStringLiteral("600"));
        QCOMPARE(iniValue(ini, "vellaro", "AlphaBlend"), QStringLiteral("155"));
        QVERIFY2(!Session::outputOf(app).contains(QLatin1String("opacity")),
                 qPrintable(Session::outputOf(app)));
    }

    void contextMenu_answersAtOnceAndOpensNoWindowOfItsOwn()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        prepare(s, QByteArray());
        if (QTest::currentTestFailed())
            return;
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const TrayItem item = s.waitForTrayItem(app, kTimeoutMs);
        QVERIFY2(item.isValid(), qPrintable("no tray item registered\n" + describe(app)));
        const BusReply reply = s.callTrayItem(item, "ContextMenu", {10, 10}, 5000);
        QVERIFY2(reply.replied, "ContextMenu waits for the life of a menu");
        // A menu without a parent would become a tiled window of its own.
        QTest::qWait(1000);
        const QList<WaylandWindow> windows = s.waylandWindows(app->processId());
        QVERIFY2(windows.isEmpty(), qPrintable(windows.value(0).title));
    }

    void trayMenu_opensTheEditor_exitEndsTheProgramAndSaves()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        prepare(s, "bravo\r\n\t31 Dec 2099\r\n\t07:00:00\r\n\tПърви\r\n");
        if (QTest::currentTestFailed())
            return;
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const TrayItem item = s.waitForTrayItem(app, kTimeoutMs);
        QVERIFY2(item.isValid(), qPrintable("no tray item registered\n" + describe(app)));
        const std::optional<std::vector<MenuEntry>> menu = s.trayMenu(item);
        QVERIFY2(menu, qPrintable(s.error()));
        auto idOf = [&](const QString &label) {
            const auto it = std::find_if(menu->begin(), menu->end(),
                                         [&](const MenuEntry &e) { return e.label == label; });
            return it == menu->end() ? -1 : it->id;
        };

        QVERIFY(s.clickTrayMenuEntry(item, idOf(QStringLiteral("Добавяне на нов запис ..."))));
        QVERIFY2(s.waitForWaylandWindow(app, QStringLiteral("Добавяне на нов запис"), kTimeoutMs),
                 "the editor did not open");
        QVERIFY(s.clickTrayMenuEntry(item, idOf(QStringLiteral("Изход"))));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QVERIFY(readFile(s.filePath("List.ul1")).startsWith("bravo\r\n"));
    }

    void dueReminder_soundsWithTheAlarmWindow()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.startWayland(), qPrintable(s.error()));
        QVERIFY2(s.startStatusNotifierWatcher(), qPrintable(s.error()));
        QProcess *notifications = s.startNotificationServer();
        QVERIFY2(notifications, qPrintable(s.error()));
        const QString wav = s.filePath("alarm.wav");
        QVERIFY(s.run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                              QString::number(kSoundSeconds), "sine", "880", "vol", "0.5"})
                    .ok());
        // The sound server is the account's, like the program: it finds it in its runtime folder.
        QVERIFY2(s.startAudioSink(), qPrintable(s.error()));
        const QString recording = s.filePath("recording.wav");
        QProcess *recorder = s.startRecording(recording);
        QVERIFY(recorder);

        QVERIFY(writeFile(s.filePath("List.ul1"), listDueIn(4)));
        s.appEnvironment().insert("LANG", "bg_BG.UTF-8");
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        QVERIFY2(s.waitForWaylandWindow(app, kAlarmWindowTitle, kTimeoutMs),
                 qPrintable("the alarm window did not open\n" + describe(app)));
        QVERIFY(!shown(s, app, kErrorBoxCaption));
        // The window that a background program cannot bring forward here has its notification;
        // picking it hands the token over and the program carries on.
        const auto calls = [&](const QString &name) {
            QList<QJsonObject> out;
            for (const QJsonObject &call : Session::notificationCalls(notifications)) {
                if (call.value("call").toString() == name)
                    out << call;
            }
            return out;
        };
        QVERIFY2(waitUntil([&] { return calls("Notify").size() == 1; }, kTimeoutMs),
                 qPrintable(Session::outputOf(notifications)));
        QCOMPARE(calls("Notify").first().value("summary").toString(), QString("Среща"));
        QVERIFY(s.invokeNotification(calls("Notify").first().value("id").toInt(), "token"));

        QTest::qWait(1000);
        QVERIFY(Session::sendSignal(recorder, SIGINT));
        QVERIFY(Session::waitForExit(recorder, 5000));
        const double audible = s.audibleSeconds(recording);
        QVERIFY2(audible >= kSoundSeconds - 0.15 && audible <= kSoundSeconds + 0.15,
                 qPrintable(QStringLiteral("audible for %1 s").arg(audible)));

        QVERIFY(shown(s, app, kAlarmWindowTitle));
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(describe(app)));
        QCOMPARE(app->exitCode(), 0);
        QVERIFY(waitUntil([&] { return calls("CloseNotification").size() == 1; }, kTimeoutMs));
    }
};

QTEST_GUILESS_MAIN(TestE2eWayland)
#include "tst_e2e_wayland.moc"
