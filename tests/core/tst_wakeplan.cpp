#include "core/reminderlistmodel.h"
#include "core/wakeplan.h"

#include <QTest>
#include <QTimeZone>

using namespace vellaro;

namespace {

const QTimeZone kSofia("Europe/Sofia");

QDateTime sofia(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), kSofia);
}

} // namespace

class TestWakePlan : public QObject
{
    Q_OBJECT

    LocaleFormats m_bg = LocaleFormats::fromLocale(QLocale("bg_BG"));

    ReminderEntry row(const QString &date, const QString &time) { return {"r", {date, time, "n"}}; }

private slots:
    // Each case: the rows, the moment the plan is made, and when the program must wake next.
    void nextWake_data()
    {
        QTest::addColumn<ReminderEntries>("rows");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("wake");
        const QDateTime nine = sofia(2026, 12, 9, 9, 0, 0);
        QTest::newRow("nothing due: an hour at most")
            << ReminderEntries{} << nine << nine.addSecs(3600);
        QTest::newRow("the row's second")
            << ReminderEntries{row("9.12.26 г.", "9:20:05"), row("9.12.26 г.", "9:40:00")}
            << nine.addMSecs(300) << sofia(2026, 12, 9, 9, 20, 5);
        QTest::newRow("due this very second: already checked, so the next one")
            << ReminderEntries{row("9.12.26 г.", "9:00:00"), row("9.12.26 г.", "9:00:01")} << nine
            << nine.addSecs(1);
        QTest::newRow("past rows and rows beyond the hour do not count")
            << ReminderEntries{row("9.12.26 г.", "8:59:59"), row("10.12.26 г.", "9:10:00"),
                               row("9.12.26 г.", "10:00:01")}
            << nine << nine.addSecs(3600);
        QTest::newRow("midnight, for the status bar's date")
            << ReminderEntries{} << sofia(2026, 12, 9, 23, 30, 0) << sofia(2026, 12, 10, 0, 0, 0);
        QTest::newRow("just after midnight, a row of the new day")
            << ReminderEntries{row("10.12.26 г.", "0:10:00")} << sofia(2026, 12, 9, 23, 55, 0)
            << sofia(2026, 12, 10, 0, 0, 0);
        QTest::newRow("after midnight's wake, the row of the new day")
            << ReminderEntries{row("10.12.26 г.", "0:10:00")} << sofia(2026, 12, 10, 0, 0, 0)
            << sofia(2026, 12, 10, 0, 10, 0);
        // Rows that no second is written as: never a wake for them.
        QTest::newRow("never due: not the locale's form, no such time, a broken time")
            << ReminderEntries{row("2026-12-09", "9:10:00"),
                               row("9.12.26 г.", "09:10:00"),
                               row("9.12.26 г.", "9:10"),
                               row("9.12.26 г.", "soon"),
                               {"missing time", {"9.12.26 г."}}}
            << nine << nine.addSecs(3600);
        // Daylight saving ends at 4:00 on 25 October 2026: 3:00 to 3:59:59 comes twice, first
        // at 0:00 UTC, then at 1:00 UTC.
        const auto utc = [](int h, int mi, int s) {
            return QDateTime(QDate(2026, 10, 25), QTime(h, mi, s), QTimeZone::utc())
                .toTimeZone(kSofia);
        };
        QTest::newRow("repeated hour, first time")
            << ReminderEntries{row("25.10.26 г.", "3:30:00")} << utc(0, 0, 0) << utc(0, 30, 0);
        // The program also wakes where the offset changes, so that each look reads its
        // seconds in one offset.
        QTest::newRow("repeated hour: the change of offset first")
            << ReminderEntries{row("25.10.26 г.", "3:30:00")} << utc(0, 30, 1) << utc(1, 0, 0);
        // The time came once already: the second time it is not due again.
        QTest::newRow("repeated hour, second time: not again")
            << ReminderEntries{row("25.10.26 г.", "3:30:00")} << utc(1, 0, 0) << utc(2, 0, 0);
        // It begins at 3:00 on 29 March 2026: 3:30 is never a local time that day, and is due
        // at the first second after the gap, where the change of offset wakes the program.
        QTest::newRow("skipped hour: due where the gap ends")
            << ReminderEntries{row("29.03.26 г.", "3:30:00")} << sofia(2026, 3, 29, 2, 50, 0)
            << sofia(2026, 3, 29, 4, 0, 0);
        QTest::newRow("skipped hour: counted at the gap's end, not after it")
            << ReminderEntries{row("29.03.26 г.", "3:30:00")} << sofia(2026, 3, 29, 4, 0, 0)
            << sofia(2026, 3, 29, 5, 0, 0);
    }

    void nextWake()
    {
        QFETCH(ReminderEntries, rows);
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, wake);
        ReminderListModel list;
        list.setEntries(rows);
        QCOMPARE(vellaro::nextWake(now, list, m_bg).toSecsSinceEpoch(), wake.toSecsSinceEpoch());
    }

    // Local time is what counts: the same rows, planned again in another zone (or after the
    // clock was set), wake at the moment that zone's clock shows their texts.
    void nextWake_followsTheZoneAndTheClock()
    {
        ReminderListModel list;
        list.setEntries({row("9.12.26 г.", "9:30:00")});
        const QDateTime atNine = sofia(2026, 12, 9, 9, 0, 0);
        QCOMPARE(vellaro::nextWake(atNine, list, m_bg), sofia(2026, 12, 9, 9, 30, 0));
        const QTimeZone london("Europe/London");
        const QDateTime inLondon = atNine.toTimeZone(london); // 7:00 there
        QCOMPARE(vellaro::nextWake(inLondon, list, m_bg).toSecsSinceEpoch(),
                 inLondon.addSecs(3600).toSecsSinceEpoch());
        QCOMPARE(vellaro::nextWake(inLondon.addSecs(2 * 3600 + 10 * 60), list, m_bg),
                 QDateTime(QDate(2026, 12, 9), QTime(9, 30), london));
        // Clock set forward past the row, or back before it.
        QCOMPARE(vellaro::nextWake(atNine.addSecs(1800), list, m_bg), atNine.addSecs(1800 + 3600));
        QCOMPARE(vellaro::nextWake(atNine.addSecs(-7200), list, m_bg), atNine.addSecs(-3600));
        QCOMPARE(vellaro::nextWake(atNine.addSecs(1200), list, m_bg), sofia(2026, 12, 9, 9, 30, 0));
    }
};

QTEST_GUILESS_MAIN(TestWakePlan)
#include "tst_wakeplan.moc"
