// The real wall-clock timer (a timerfd) with the real watch and the system clock: a handler that
// holds the event loop across the due second and changes the list must not cost the alarm.

#include "core/clock.h"
#include "core/reminderlistmodel.h"
#include "core/reminderwatch.h"
#include "platform/timerfdwallclocktimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace vellaro;

namespace {

// Holds the event loop as a slow handler does.
void busyUntil(const QDateTime &moment)
{
    while (QDateTime::currentDateTime() < moment)
        QThread::usleep(500);
}

} // namespace

class TestWallClockTimer : public QObject
{
    Q_OBJECT

private slots:
    void expiryDuringAHandlerThatReplans_stillWakes()
    {
        TimerFdWallClockTimer timer;
        QSignalSpy woke(&timer, &WallClockTimer::woke);
        timer.wakeAt(QDateTime::currentDateTime().addMSecs(30));
        busyUntil(QDateTime::currentDateTime().addMSecs(80));
        // Setting the timer again clears its expiry; it must still be reported.
        timer.wakeAt(QDateTime::currentDateTime().addSecs(3600));
        QVERIFY(woke.wait(1000));
        QCOMPARE(woke.size(), 1);
    }

    void dueRowAndAnEditAcrossItsSecond_alarmWithinASecond()
    {
        const SystemClock clock;
        const LocaleFormats formats = LocaleFormats::fromLocale(QLocale("bg_BG"));
        TimerFdWallClockTimer timer;
        ReminderListModel list;
        ReminderWatch watch(clock, &timer, list, formats);
        QSignalSpy due(&watch, &ReminderWatch::due);

        QDateTime second = QDateTime::currentDateTime().addSecs(2);
        second.setTime(QTime(second.time().hour(), second.time().minute(), second.time().second()));
        list.addEntry(
            {"due", {formats.dateText(second.date()), formats.timeText(second.time()), "n"}});
        list.addEntry({"other", {formats.dateText(second.date()), "23:59:59", "n"}});
        watch.start();
        // From 20 ms before the due second to 20 ms after it, a handler renames another row:
        // the list plans again, setting the timer whose expiry has not been read yet.
        QTimer::singleShot(QDateTime::currentDateTime().msecsTo(second) - 20, Qt::PreciseTimer,
                           &list, [&] {
                               busyUntil(second.addMSecs(20));
                               list.setName(1, "renamed");
                               // The plan runs before the timer's notifier is served, as it may in
                               // the program.
                               QCoreApplication::sendPostedEvents();
                           });
        QVERIFY(due.wait(5000));
        QVERIFY(QDateTime::currentDateTime() < second.addSecs(1));
        QCOMPARE(due.first().first().value<QList<DueReminder>>().first().name, QString("due"));
    }
};

QTEST_GUILESS_MAIN(TestWallClockTimer)
#include "tst_wallclocktimer.moc"
