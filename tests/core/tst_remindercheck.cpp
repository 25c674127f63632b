#include "core/atomicfile.h"
#include "core/listfile.h"
#include "core/missedreminders.h"
#include "core/remindercheck.h"
#include "core/reminderlistmodel.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace vellaro;

namespace {

const QDateTime kStart(QDate(2026, 12, 9), QTime(9, 0, 0));

template <typename Row> QStringList names(const QList<Row> &due)
{
    QStringList out;
    for (const Row &d : due)
        out << d.name;
    return out;
}

} // namespace

class TestReminderCheck : public QObject
{
    Q_OBJECT

    LocaleFormats m_bg = LocaleFormats::fromLocale(QLocale("bg_BG"));

    ReminderEntry at(const QString &name, const QDateTime &when, const QString &notes = "n")
    {
        return {name, {m_bg.dateText(when.date()), m_bg.timeText(when.time()), notes}};
    }

private slots:
    void dueNow_soundsOnce_pastNever()
    {
        ReminderListModel list;
        list.setEntries({at("now", kStart.addSecs(2)), at("past", kStart.addSecs(-5))});
        ReminderCheck check;
        QVERIFY(check.collectDue(kStart, list, m_bg).isEmpty());
        QVERIFY(check.collectDue(kStart.addSecs(1), list, m_bg).isEmpty());
        const QList<DueReminder> due = check.collectDue(kStart.addSecs(2), list, m_bg);
        QCOMPARE(due, (QList<DueReminder>{{"now", "9:00:02", "n"}}));
        // A second check within the same second does not sound it again.
        QVERIFY(check.collectDue(kStart.addSecs(2).addMSecs(600), list, m_bg).isEmpty());
        QVERIFY(check.collectDue(kStart.addSecs(3), list, m_bg).isEmpty());
    }

    void alreadyPastAtStart_neverSounds()
    {
        ReminderListModel list;
        list.setEntries({at("a minute ago", kStart.addSecs(-60))});
        ReminderCheck check;
        QVERIFY(check.collectDue(kStart, list, m_bg).isEmpty());
        QVERIFY(check.collectDue(kStart.addSecs(3600), list, m_bg).isEmpty());
    }

    void sameTexts_bothSound_inDisplayOrder()
    {
        ReminderListModel list;
        list.setEntries({at("b", kStart.addSecs(1)), at("a", kStart.addSecs(1))});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(names(check.collectDue(kStart.addSecs(1), list, m_bg)), QStringList({"a", "b"}));
    }

    void stall_caughtUpInOrderOfSeconds()
    {
        ReminderListModel list;
        list.setEntries({at("z first", kStart.addSecs(10)), at("a later", kStart.addSecs(20)),
                         at("b later", kStart.addSecs(20)), at("after", kStart.addSecs(31))});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        // Nothing ran for thirty seconds (a busy loop, an open alarm window, a suspend).
        QCOMPARE(names(check.collectDue(kStart.addSecs(30), list, m_bg)),
                 QStringList({"z first", "a later", "b later"}));
        QCOMPARE(names(check.collectDue(kStart.addSecs(31), list, m_bg)), QStringList({"after"}));
    }

    void clockSteppedForward_acrossMidnight_caughtUp()
    {
        const QDateTime evening(QDate(2026, 12, 9), QTime(23, 59, 58));
        ReminderListModel list;
        list.setEntries({at("midnight", QDateTime(QDate(2026, 12, 10), QTime(0, 0, 0))),
                         at("too late", evening.addSecs(3700))});
        ReminderCheck check;
        check.collectDue(evening, list, m_bg);
        QCOMPARE(names(check.collectDue(evening.addSecs(3600), list, m_bg)),
                 QStringList({"midnight"}));
    }

    void lookBack_boundedToOneWeek()
    {
        ReminderListModel list;
        const QDateTime now = kStart.addDays(9);
        list.setEntries({at("8 days", kStart.addDays(1)), at("6 days", kStart.addDays(3)),
                         at("a week and a second", now.addSecs(-7 * 86400 - 1)),
                         at("a week", now.addSecs(-7 * 86400))});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(names(check.collectDue(now, list, m_bg)), QStringList({"a week", "6 days"}));
        // What the bound left behind is told, once.
        QCOMPARE(names(check.takePassedOver()), QStringList({"8 days", "a week and a second"}));
        QVERIFY(check.takePassedOver().isEmpty());
    }

    // Missed while off: the rows after the recorded second and before the start's, a week back
    // at most; nothing without a usable record. The report lists ten, then how many more.
    void missedWhileOff_toldFromTheRecordToTheStart_data()
    {
        QTest::addColumn<QByteArray>("record"); // null: no file
        QTest::addColumn<QStringList>("told");
        const auto ago = [](qint64 s) { return QByteArray::number(kStart.toSecsSinceEpoch() - s); };
        QTest::newRow("no record") << QByteArray() << QStringList();
        QTest::newRow("garbage") << QByteArray("12 o'clock") << QStringList();
        QTest::newRow("an hour ago") << ago(3600) << QStringList({"after it", "just before"});
        QTest::newRow("ten days ago")
            << ago(864000) << QStringList({"a week", "an hour", "after it", "just before"});
    }

    void missedWhileOff_toldFromTheRecordToTheStart()
    {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, told);
        ReminderListModel list;
        list.setEntries({at("a week and a second", kStart.addSecs(-7 * 86400 - 1)),
                         at("a week", kStart.addSecs(-7 * 86400)),
                         at("an hour", kStart.addSecs(-3600)),
                         at("after it", kStart.addSecs(-3599)),
                         at("just before", kStart.addSecs(-1)), at("at the start", kStart)});
        QTemporaryDir dir;
        const QString path = lastLookedPath(dir.filePath("List.ul1"));
        QVERIFY(record.isNull() || writeFileAtomically(path, record) == 0);
        QCOMPARE(names(missedWhileOff(readLastLooked(path), kStart.addMSecs(300), list, m_bg)),
                 told);
        QCOMPARE(writeLastLooked(path, 1765263599), 0);
        QCOMPARE(readLastLooked(path), std::optional<qint64>(1765263599));
        const QList<MissedReminder> many(12, {"r", "9.12.26 г.", "9:00:00"});
        QCOMPARE(missedReportText(many).split('\n').mid(9),
                 QStringList({"r — 9.12.26 г. 9:00:00", "и още 2"}));
        QCOMPARE(missedReportText(many.first(10)).count('\n'), 9);
    }

    void clockSteppedBack_checksOnlyTheCurrentSecond()
    {
        ReminderListModel list;
        list.setEntries({at("between", kStart.addSecs(-30)), at("now", kStart.addSecs(-60))});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(names(check.collectDue(kStart.addSecs(-60), list, m_bg)), QStringList({"now"}));
        QVERIFY(check.collectDue(kStart.addSecs(-59), list, m_bg).isEmpty());
    }

    void rowsMissingDetails_neverDue_missingNotesShownEmpty()
    {
        const ReminderEntry full = at("full", kStart.addSecs(1));
        ReminderListModel list;
        list.setEntries({{"no time", {full.details[0]}},
                         {"no notes", {full.details[0], full.details[1]}},
                         {"nothing", {}}});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(check.collectDue(kStart.addSecs(1), list, m_bg),
                 (QList<DueReminder>{{"no notes", "9:00:01", ""}}));
    }

    void index_followsEditsAddsAndDeletes()
    {
        ReminderListModel list;
        list.setEntries({at("moved", kStart.addSecs(5)), at("deleted", kStart.addSecs(6))});
        QCOMPARE(list.entry(1).name, QString("moved")); // rows stand in name order
        list.setDetail(1, 1, m_bg.timeText(kStart.addSecs(7).time()));
        list.removeEntry(0);
        list.addEntry(at("added", kStart.addSecs(8)));
        QCOMPARE(list.countWithTexts(m_bg.dateText(kStart.date()), "9:00:05"), 0);
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(names(check.collectDue(kStart.addSecs(10), list, m_bg)),
                 QStringList({"moved", "added"}));
    }

    void loadedList_dueRowsFound_whateverTheFileEncodingAndAfterEdits_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::newRow("UTF-8") << QByteArray();
        QTest::newRow("windows-1251") << QByteArray("windows-1251");
    }

    void loadedList_dueRowsFound_whateverTheFileEncodingAndAfterEdits()
    {
        // A list read from a file (Cyrillic date texts, shared among its rows) is found by the
        // clock's texts as a list typed in is, also after rows were edited, added and deleted.
        QFETCH(QByteArray, codePage);
        ReminderEntries rows{at("първо", kStart.addSecs(1)), at("второ", kStart.addSecs(1)),
                             at("трето", kStart.addSecs(2)), at("без час", kStart.addSecs(3))};
        rows[3].details = {rows[3].details.at(0)};
        QByteArray bytes = listfile::serialize(rows);
        if (!codePage.isEmpty())
            bytes = QStringEncoder(codePage.constData()).encode(QString::fromUtf8(bytes));
        ReminderListModel list;
        list.setEntries(listfile::parse(bytes, "windows-1251"));
        const auto rowOf = [&list](const QString &name) {
            for (int row = 0; row < list.rowCount(); ++row) {
                if (list.rows()[row].name == name)
                    return row;
            }
            return -1;
        };
        QCOMPARE(list.rows().size(), 4);
        list.setDetail(rowOf("трето"), 1, m_bg.timeText(kStart.addSecs(3).time()));
        list.removeEntry(rowOf("второ"));
        list.addEntry(at("ново", kStart.addSecs(3)));

        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QCOMPARE(names(check.collectDue(kStart.addSecs(1), list, m_bg)), QStringList{"първо"});
        QVERIFY(check.collectDue(kStart.addSecs(2), list, m_bg).isEmpty());
        QCOMPARE(names(check.collectDue(kStart.addSecs(3), list, m_bg)),
                 QStringList({"ново", "трето"}));
    }

    // A change of the zone: the seconds lived before it are read in the offset they were lived
    // in, the later ones in the new zone, also when the change comes within a second already
    // looked at.
    void zoneChanged_secondsReadInTheOffsetTheyWereLivedIn()
    {
        const QTimeZone sofia("Europe/Sofia");
        const QTimeZone london("Europe/London");
        const QDateTime noon(QDate(2026, 12, 9), QTime(12, 0, 0), sofia);
        const auto row = [this](const QString &name, const QDateTime &when) {
            return ReminderEntry{name, {m_bg.dateText(when.date()), m_bg.timeText(when.time())}};
        };
        ReminderListModel list;
        list.setEntries({row("sofia 12:00:05", noon.addSecs(5)),
                         row("london 10:00:05", noon.addSecs(5).toTimeZone(london)),
                         row("sofia 12:30:00", noon.addSecs(1800)),
                         row("london 10:30:00", noon.addSecs(1800).toTimeZone(london))});
        ReminderCheck check;
        check.collectDue(noon, list, m_bg);
        QCOMPARE(names(check.collectDue(noon.addSecs(10).toTimeZone(london), list, m_bg)),
                 QStringList{"sofia 12:00:05"});
        // Back to Sofia within that second.
        QVERIFY(check.collectDue(noon.addSecs(10).toTimeZone(sofia), list, m_bg).isEmpty());
        QCOMPARE(names(check.collectDue(noon.addSecs(1800), list, m_bg)),
                 QStringList{"sofia 12:30:00"});
    }

    // Daylight saving, as a user means a time of day: a time the change skips is due where the
    // gap ends, once; one its end shows twice, the first time only. And a change slept through,
    // then a zone reported at resume before the timer's expiry: the seconds lived after the
    // change are read in the offset they were lived in (3:10, a skipped time, sounds where the
    // gap ends; 4:10 sounds, at its own second).
    void daylightSaving_skippedTimeAtTheGapsEnd_repeatedTimeOnce_sleptThroughChange()
    {
        const QTimeZone sofia("Europe/Sofia");
        const QTimeZone kolkata("Asia/Kolkata");
        const auto at = [&sofia](int mo, int d, int h, int mi) {
            return QDateTime(QDate(2026, mo, d), QTime(h, mi), sofia);
        };
        const QString march = m_bg.dateText(QDate(2026, 3, 29));
        ReminderListModel list;
        list.setEntries({{"skipped 3:30", {march, "3:30:00"}},
                         {"twice 3:30", {m_bg.dateText(QDate(2026, 10, 25)), "3:30:00"}},
                         {"3:10", {march, "3:10:00"}},
                         {"4:10", {march, "4:10:00"}}});
        ReminderCheck spring;
        spring.collectDue(at(3, 29, 2, 59), list, m_bg);
        QCOMPARE(names(spring.collectDue(at(3, 29, 4, 0), list, m_bg)),
                 QStringList({"3:10", "skipped 3:30"}));
        QVERIFY(spring.collectDue(at(3, 29, 4, 5), list, m_bg).isEmpty());

        ReminderCheck autumn;
        const QDateTime firstPass = QDateTime(QDate(2026, 10, 25), QTime(0, 0), QTimeZone::utc());
        autumn.collectDue(firstPass.toTimeZone(sofia), list, m_bg);
        QCOMPARE(names(autumn.collectDue(firstPass.addSecs(3600).toTimeZone(sofia), list, m_bg)),
                 QStringList{"twice 3:30"});
        QVERIFY(autumn.collectDue(firstPass.addSecs(7200).toTimeZone(sofia), list, m_bg).isEmpty());

        ReminderCheck slept;
        slept.collectDue(at(3, 29, 2, 59), list, m_bg);
        QCOMPARE(names(slept.collectDue(at(3, 29, 4, 20).toTimeZone(kolkata), list, m_bg)),
                 QStringList({"3:10", "skipped 3:30", "4:10"}));
    }

    void otherLocaleTexts_neverMatch()
    {
        const LocaleFormats us = LocaleFormats::fromLocale(QLocale("en_US"));
        ReminderListModel list;
        list.setEntries(
            {{"us", {us.dateText(kStart.date()), us.timeText(kStart.addSecs(1).time())}}});
        ReminderCheck check;
        check.collectDue(kStart, list, m_bg);
        QVERIFY(check.collectDue(kStart.addSecs(1), list, m_bg).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReminderCheck)
#include "tst_remindercheck.moc"
