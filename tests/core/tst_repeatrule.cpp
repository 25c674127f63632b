// Repeat rules as the list file keeps them (iCalendar RRULE values), read and expanded by
// libical: the next occurrence, the list's short text, the rows moved on after they fell due.
#include "core/localeformats.h"
#include "core/reminderlistmodel.h"
#include "core/repeatrule.h"

#include <QTest>

using namespace vellaro;

namespace {

// A local date and time, as rules take and give them: no zone.
QDateTime at(int y, int mo, int d, int h = 9, int mi = 0)
{
    return {QDate(y, mo, d), QTime(h, mi), Qt::UTC};
}

const LocaleFormats kBg = LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian));

} // namespace

class TestRepeatRule : public QObject
{
    Q_OBJECT

private slots:
    void nextAfter_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("after");
        QTest::addColumn<QDateTime>("next"); // invalid: the series has ended
        QTest::addColumn<QString>("shown");
        const QString weekdays = RepeatRule::build(RepeatRule::Kind::Weekdays);
        QTest::newRow("daily, at its own second")
            << "FREQ=DAILY" << at(2026, 12, 11) << at(2026, 12, 11) << at(2026, 12, 12)
            << "всеки ден";
        QTest::newRow("daily, days missed: the next after now, none replayed")
            << "FREQ=DAILY" << at(2026, 12, 1) << at(2026, 12, 11, 10) << at(2026, 12, 12)
            << "всеки ден";
        QTest::newRow("weekdays: Friday to Monday")
            << weekdays << at(2026, 12, 11) << at(2026, 12, 11) << at(2026, 12, 14)
            << "всеки делничен ден";
        QTest::newRow("weekly on Monday and Wednesday")
            << RepeatRule::build(RepeatRule::Kind::Weekly, {3, 1}) << at(2026, 12, 14)
            << at(2026, 12, 14) << at(2026, 12, 16) << "пн, ср";
        QTest::newRow("monthly on the 31st skips shorter months")
            << RepeatRule::build(RepeatRule::Kind::Monthly) << at(2027, 1, 31) << at(2027, 1, 31)
            << at(2027, 3, 31) << "всеки месец";
        QTest::newRow("yearly on 29 February: leap years only")
            << "FREQ=YEARLY" << at(2028, 2, 29) << at(2028, 2, 29) << at(2032, 2, 29)
            << "всяка година";
        QTest::newRow("until a date, still within it")
            << RepeatRule::build(RepeatRule::Kind::Daily, {}, QDate(2026, 12, 31))
            << at(2026, 12, 30) << at(2026, 12, 30) << at(2026, 12, 31)
            << "всеки ден до 31.12.26 г.";
        QTest::newRow("until a date that has passed: ended")
            << "FREQ=DAILY;UNTIL=20261230T235959" << at(2026, 12, 31) << at(2026, 12, 31)
            << QDateTime() << "всеки ден до 30.12.26 г.";
        QTest::newRow("end date before the first occurrence: ended")
            << "FREQ=DAILY;UNTIL=20260101T235959" << at(2026, 12, 11) << at(2026, 12, 11)
            << QDateTime() << "всеки ден до 1.01.26 г.";
        QTest::newRow("from elsewhere: last Friday, shown as written")
            << "FREQ=MONTHLY;BYDAY=-1FR" << at(2026, 12, 25) << at(2026, 12, 25) << at(2027, 1, 29)
            << "FREQ=MONTHLY;BYDAY=-1FR";
        // Every second since 1970: the walk gives up (bounded), it does not hold the program.
        QTest::newRow("huge: every second for decades")
            << "FREQ=SECONDLY" << at(1970, 1, 1) << at(2026, 12, 11) << QDateTime()
            << "FREQ=SECONDLY";
    }

    void nextAfter()
    {
        QFETCH(QString, rule);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, after);
        QFETCH(QDateTime, next);
        QFETCH(QString, shown);
        const std::optional<RepeatRule> parsed = RepeatRule::parse(rule);
        QVERIFY(parsed);
        QCOMPARE(parsed->nextAfter(start, after), next);
        QCOMPARE(parsed->shortText(kBg), shown);
        if (parsed->kind() != RepeatRule::Kind::Other)
            QCOMPARE(RepeatRule::build(parsed->kind(), parsed->weekdays(), parsed->until()), rule);
    }

    void parse_malformed_refusedWithAReason()
    {
        for (const char *bad : {"FREQ=SOMETIMES", "", "BYDAY=MO", "FREQ=DAILY;INTERVAL=x;"}) {
            QString reason;
            QVERIFY2(!RepeatRule::parse(QString::fromLatin1(bad), &reason), bad);
            QVERIFY(!reason.isEmpty());
        }
    }

    // Rows that fell due move on; a one-off row, an ended rule, an unreadable rule and texts of
    // another locale stay as they are, and every other detail is kept.
    void advanceRepeats_movesOnlyRepeatingRowsThatPassed()
    {
        ReminderListModel list;
        list.setEntries({
            {"daily", {"11.12.26 г.", "9:00:00", "n", "RRULE:FREQ=DAILY", "X-OTHER:kept"}},
            {"future", {"12.12.26 г.", "9:00:00", "n", "RRULE:FREQ=DAILY"}},
            {"one-off", {"11.12.26 г.", "9:00:00", "n"}},
            {"ended", {"11.12.26 г.", "9:00:00", "n", "RRULE:FREQ=DAILY;UNTIL=20261211"}},
            {"bad", {"11.12.26 г.", "9:00:00", "n", "RRULE:FREQ=SOMETIMES"}},
            {"foreign", {"12/11/2026", "9:00:00 AM", "n", "RRULE:FREQ=DAILY"}},
        });
        const ReminderEntries before = list.rows();
        advanceRepeats(list, kBg, at(2026, 12, 11, 9, 0));
        ReminderEntries expected = before;
        for (ReminderEntry &row : expected) {
            if (row.name == "daily")
                row.details[0] = "12.12.26 г.";
        }
        QCOMPARE(list.rows(), expected);
        QCOMPARE(unreadableRepeatRules(list.rows()), QStringList{"bad: " + [] {
                     QString reason;
                     RepeatRule::parse("FREQ=SOMETIMES", &reason);
                     return reason;
                 }()});
    }
};

QTEST_GUILESS_MAIN(TestRepeatRule)
#include "tst_repeatrule.moc"
