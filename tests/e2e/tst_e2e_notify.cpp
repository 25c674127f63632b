// Alarms as desktop notifications, with the tests' own notification server on a private session
// bus: each alarm is posted while its window is open and withdrawn when it closes, picking the
// notification brings the window forward, and the texts arrive as the user typed them.
#include "e2e/duelist.h"
#include "e2e/e2eharness.h"

#include "core/listfile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace vellaro;
using namespace vellaro::e2e;

namespace {

QList<QJsonObject> callsNamed(QProcess *server, const QStringList &names)
{
    QList<QJsonObject> out;
    for (const QJsonObject &call : Session::notificationCalls(server)) {
        if (names.contains(call.value(QStringLiteral("call")).toString()))
            out.append(call);
    }
    return out;
}

// What Notify and CloseNotification calls arrived, in order: "Notify <summary>" and "Close <id>".
QStringList postsAndCloses(QProcess *server)
{
    QStringList out;
    for (const QJsonObject &call :
         callsNamed(server, {QStringLiteral("Notify"), QStringLiteral("CloseNotification")})) {
        out << (call.value(QStringLiteral("call")).toString() == QLatin1String("Notify")
                    ? QStringLiteral("Notify ") + call.value(QStringLiteral("summary")).toString()
                    : QStringLiteral("Close %1").arg(call.value(QStringLiteral("id")).toInt()));
    }
    return out;
}

bool waitForCalls(QProcess *server, const QStringList &expected)
{
    return waitUntil([&] { return postsAndCloses(server) == expected; }, 5000);
}

} // namespace

class TestNotificationsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "dbus-daemon", "xmessage"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    void twoDueInOneSecond_eachPostedWhileItsWindowIsOpen_data()
    {
        QTest::addColumn<QStringList>("serverOptions");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("server reads markup, shows actions")
            << QStringList()
            << QStringList{"default", "Показване", "snooze", "Отложи", "close", "Затвори"};
        QTest::newRow("server reads plain text, shows no actions")
            << QStringList{QStringLiteral("--plain"), QStringLiteral("--no-actions")}
            << QStringList{"default", "Показване"};
    }

    void twoDueInOneSecond_eachPostedWhileItsWindowIsOpen()
    {
        QFETCH(QStringList, serverOptions);
        QFETCH(QStringList, actions);
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QProcess *server = s.startNotificationServer(serverOptions);
        QVERIFY2(server, qPrintable(s.error()));
        // Silent: the alarm goes straight to its window.
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        const QString notes = QStringLiteral("<b>Тя & той</b> \"навън\" &amp;");
        const QDateTime due = QDateTime::currentDateTime().addSecs(3);
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")),
                          listOf({{QStringLiteral("Алфа"), due, notes},
                                  {QStringLiteral("Бета"), due, QStringLiteral("още")}})));
        // The user keeps working in another program while the alarm opens: the alarm window
        // cannot take the focus and asks for attention.
        QProcess *other = s.startHelper(QStringLiteral("xmessage"),
                                        {QStringLiteral("-title"), QStringLiteral("elsewhere"),
                                         QStringLiteral("another program")});
        QVERIFY(other);
        const XWindow elsewhere = s.waitForWindow(QStringLiteral("elsewhere"), 0, 5000);
        QVERIFY(elsewhere);
        const auto keepFocusElsewhere = [&](const std::function<bool()> &until, int timeoutMs) {
            return waitUntil([&] { return s.focusWindow(elsewhere) && until(); }, timeoutMs);
        };
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        XWindow alarm = 0;
        QVERIFY2(
            keepFocusElsewhere(
                [&] { return (alarm = s.findWindows(kAlarmWindowTitle).value(0)) != 0; }, 8000),
            qPrintable(describe(app)));
        QElapsedTimer sinceOpen;
        sinceOpen.start();
        QVERIFY2(keepFocusElsewhere([&] { return s.isUrgent(alarm); }, 3000),
                 "the alarm window without the focus did not ask for attention");
        QVERIFY(sinceOpen.elapsed() >= 800); // the window had its moment to take the focus
        QVERIFY2(waitForCalls(server, {QStringLiteral("Notify Алфа")}),
                 qPrintable(Session::outputOf(server)));
        const QJsonObject posted = callsNamed(server, {QStringLiteral("Notify")}).first();
        const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
        QCOMPARE(posted.value(QStringLiteral("text")).toString(),
                 QStringLiteral("Дата: %1   Час: %2\n%3")
                     .arg(bg.dateText(due.date()), bg.timeText(due.time()), notes));
        QCOMPARE(posted.value(QStringLiteral("app")).toString(), QStringLiteral("Vellaro"));
        QCOMPARE(posted.value(QStringLiteral("icon")).toString(),
                 QStringLiteral("example.vellaro.Vellaro"));
        QCOMPARE(posted.value(QStringLiteral("timeout")).toInt(-1), 0);
        QCOMPARE(posted.value(QStringLiteral("actions")).toArray().toVariantList(),
                 QVariant(actions).toList());
        const QJsonObject hints = posted.value(QStringLiteral("hints")).toObject();
        QCOMPARE(hints.value(QStringLiteral("urgency")).toString(), QStringLiteral("byte 2"));
        QCOMPARE(hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("string example.vellaro.Vellaro"));
        QCOMPARE(hints.value(QStringLiteral("suppress-sound")).toString(),
                 QStringLiteral("boolean true"));

        // Picking the notification brings the alarm window forward, and it stops asking.
        QVERIFY(s.invokeNotification(posted.value(QStringLiteral("id")).toInt(),
                                     QStringLiteral("token-1")));
        QVERIFY2(waitUntil([&] { return s.focusedWindow() == alarm; }, 5000),
                 "picking the notification did not bring the alarm window forward");
        QVERIFY(waitUntil([&] { return !s.isUrgent(alarm); }, 3000));

        // Closing the window withdraws its notification; the second alarm, due in the same
        // second, is posted only when its own window opens.
        QVERIFY(s.closeWindowPolitely(alarm));
        const int firstId = posted.value(QStringLiteral("id")).toInt();
        QVERIFY2(waitForCalls(server, {QStringLiteral("Notify Алфа"),
                                       QStringLiteral("Close %1").arg(firstId),
                                       QStringLiteral("Notify Бета")}),
                 qPrintable(Session::outputOf(server)));
        QVERIFY(s.waitForWindowOf(app, kAlarmWindowTitle, 5000));

        // The session ends while the second window is open: that closes it too.
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 5000));
        QCOMPARE(app->exitCode(), 0);
        QVERIFY2(waitForCalls(server, {QStringLiteral("Notify Алфа"),
                                       QStringLiteral("Close %1").arg(firstId),
                                       QStringLiteral("Notify Бета"),
                                       QStringLiteral("Close %1").arg(firstId + 1)}),
                 qPrintable(Session::outputOf(server)));
    }

    // Snoozed for the five minutes used last (kept in Vellaro.ini), once from the window by the
    // keyboard and once from the notification's "Отложи": each adds a postponed row, saved at
    // once, which is there after a restart and sounds at its moment; closing that alarm (the
    // window's close box, the notification's "Затвори") removes the row again.
    void snoozed_fromWindowAndNotification_soundsAfterRestart()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QProcess *server = s.startNotificationServer();
        QVERIFY2(server, qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        QVERIFY(writeFile(s.filePath(QStringLiteral("Vellaro.ini")),
                          QStringLiteral("[Напомняне ...]\r\nSnooze=5\r\n").toUtf8()));
        const QString listPath = s.filePath(QStringLiteral("List.ul1"));
        const QByteArray list =
            listOf({{QStringLiteral("Алфа"), QDateTime::currentDateTime().addSecs(3), "a"},
                    {QStringLiteral("Бета"), QDateTime::currentDateTime().addSecs(3), "b"}});
        QVERIFY(writeFile(listPath, list));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const XWindow alarm = s.waitForWindowOf(app, kAlarmWindowTitle, 8000);
        const QDateTime snoozed = QDateTime::currentDateTime();
        QVERIFY2(alarm && s.focusWindow(alarm), qPrintable(describe(app)));
        QVERIFY(
            s.pressKeys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
        QVERIFY(waitForCalls(server, {"Notify Алфа", "Close 1", "Notify Бета"}));
        QVERIFY(s.invokeNotification(2, QString(), QStringLiteral("snooze")));
        QVERIFY(waitForCalls(server, {"Notify Алфа", "Close 1", "Notify Бета", "Close 2"}));
        QVERIFY(waitUntil([&] { return listfile::parse(readFile(listPath)).size() == 4; }, 5000));

        // The snoozes outlive the program; the next run sounds them at their moment.
        QVERIFY(Session::sendSignal(app, SIGTERM) && Session::waitForExit(app, 5000));
        app = s.startApp();
        const XWindow again = s.waitForWindowOf(app, kAlarmWindowTitle, 310 * 1000);
        QVERIFY2(again && snoozed.secsTo(QDateTime::currentDateTime()) >= 300,
                 qPrintable(describe(app)));
        QVERIFY(s.closeWindowPolitely(again));
        QVERIFY(waitForCalls(server, {"Notify Алфа", "Close 1", "Notify Бета", "Close 2",
                                      "Notify Алфа", "Close 3", "Notify Бета"}));
        QVERIFY(s.invokeNotification(4, QString(), QStringLiteral("close")));
        waitUntil([&] { return listfile::parse(readFile(listPath)) == listfile::parse(list); },
                  10000);
        QCOMPARE(QString::fromUtf8(readFile(listPath)), QString::fromUtf8(list));
    }

    // A reminder that fell due while the program was stopped is told at the next start in a plain
    // notice (normal urgency, no sound, the default action alone), and no alarm window opens.
    void missedWhileStopped_toldAtTheNextStart()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QProcess *server = s.startNotificationServer();
        QVERIFY2(server, qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        const QString listPath = s.filePath(QStringLiteral("List.ul1"));
        QVERIFY(writeFile(listPath, listDueIn(3600)));
        QProcess *app = s.startApp();
        QVERIFY(app && s.waitForWindowOf(app, QString(), 8000));
        QVERIFY(Session::sendSignal(app, SIGTERM) && Session::waitForExit(app, 5000));
        const QDateTime missed = QDateTime::currentDateTime().addSecs(1);
        QVERIFY(writeFile(listPath, listOf({{QStringLiteral("Пропусната"), missed, "n"}})));
        QTest::qWait(2500);
        app = s.startApp();
        QVERIFY2(waitForCalls(server, {QStringLiteral("Notify Пропуснати напомняния")}),
                 qPrintable(describe(app)));
        QVERIFY(!s.waitForWindowOf(app, kAlarmWindowTitle, 3000));
        const QJsonObject posted = callsNamed(server, {QStringLiteral("Notify")}).first();
        const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
        QCOMPARE(posted.value("text").toString(),
                 QStringLiteral("Пропусната — %1 %2")
                     .arg(bg.dateText(missed.date()), bg.timeText(missed.time())));
        QCOMPARE(posted.value("actions").toArray().toVariantList(),
                 QVariantList({"default", "Показване"}));
        const QJsonObject hints = posted.value("hints").toObject();
        QCOMPARE(hints.value("urgency").toString() + ", " +
                     hints.value("suppress-sound").toString(),
                 QString("byte 1, boolean true"));
    }

    // The window is closed before the server said which notification it shows: its late answer
    // is followed by the withdrawal, so no alarm is left on the desktop.
    void slowServer_windowClosedBeforeItAnswers_stillWithdrawn()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        QProcess *server = s.startNotificationServer({QStringLiteral("--late")});
        QVERIFY2(server, qPrintable(s.error()));
        s.appEnvironment().insert(QStringLiteral("PULSE_SERVER"),
                                  QStringLiteral("unix:") + s.filePath(QStringLiteral("none")));
        s.appEnvironment().insert(QStringLiteral("LANG"), QStringLiteral("bg_BG.UTF-8"));
        QVERIFY(writeFile(s.filePath(QStringLiteral("List.ul1")), listDueIn(2)));
        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        const XWindow alarm = s.waitForWindowOf(app, kAlarmWindowTitle, 6000);
        QVERIFY2(alarm, qPrintable(describe(app)));
        QVERIFY(waitForCalls(server, {QStringLiteral("Notify Среща")}));
        QVERIFY(s.closeWindowPolitely(alarm));
        QVERIFY(s.waitForWindowGone(alarm, 2000));
        QVERIFY2(waitForCalls(server, {QStringLiteral("Notify Среща"), QStringLiteral("Close 1")}),
                 qPrintable(Session::outputOf(server)));
        QVERIFY(Session::sendSignal(app, SIGTERM));
        QVERIFY(Session::waitForExit(app, 5000));
        QCOMPARE(app->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNotificationsEndToEnd)
#include "tst_e2e_notify.moc"
