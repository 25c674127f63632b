#include "core/reminderlistmodel.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace vellaro;

namespace {

QStringList column(const ReminderListModel &m, int c)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, c).data().toString();
    return out;
}

ReminderEntries sample()
{
    return {{"b", {"9.12.26 г.", "9:00:00", "x"}},
            {"a", {"10.1.27 г.", "10:00:00", "y"}},
            {"C", {"1.1.27 г.", "8:00:00", "z"}}};
}

// The rows in the order a full stable sort by the column gives.
ReminderEntries stableSorted(ReminderEntries list, int column)
{
    std::stable_sort(list.begin(), list.end(), [column](const auto &a, const auto &b) {
        return compareEntries(a, b, column) < 0;
    });
    return list;
}

// The first date and time whose rows, as the index gives them, differ from those a walk
// through the list finds; empty when the index agrees on every pair.
QString indexDisagreesWithAWalk(const ReminderListModel &m, const QStringList &dates,
                                const QStringList &times)
{
    for (const QString &date : dates) {
        for (const QString &time : times) {
            QList<int> walked;
            for (int r = 0; r < m.rowCount(); ++r) {
                const QStringList d = m.entry(r).details;
                if (d.size() >= 2 && d[0] == date && d[1] == time)
                    walked.append(r);
            }
            if (m.rowsWithTexts(date, time) != walked ||
                m.countWithTexts(date, time) != walked.size())
                return date + u' ' + time;
        }
    }
    return {};
}

} // namespace

class TestReminderList : public QObject
{
    Q_OBJECT

private slots:
    void compare_isOrdinalCaseSensitive()
    {
        ReminderEntry upper{"Z", {}}, lower{"a", {}}, cyr{"а", {}};
        QVERIFY(compareEntries(upper, lower, 0) < 0); // 'Z' < 'a' by code
        QVERIFY(compareEntries(lower, cyr, 0) < 0);   // Latin before Cyrillic
        QCOMPARE(compareEntries(lower, lower, 0), 0);
    }

    void compare_rowWithoutDetail_doesNotFailAndSortsFirst()
    {
        ReminderEntry none{"n", {}}, some{"s", {"1.1.26", "9:00:00"}};
        QVERIFY(compareEntries(none, some, 2) < 0);
        QVERIFY(compareEntries(some, none, 3) == 0); // neither has notes
        QCOMPARE(compareEntries(none, none, 7), 0);
    }

    void load_sortsByNameOnce()
    {
        ReminderListModel m;
        m.setEntries(sample());
        QCOMPARE(column(m, 0), QStringList({"C", "a", "b"}));
        QCOMPARE(m.headerData(3, Qt::Horizontal).toString(), QString("Осведомяване за:"));
    }

    void sortByDate_isTextOrder()
    {
        ReminderListModel m;
        m.setEntries(sample());
        m.setSortColumn(1);
        m.resort();
        // "10..." comes before "9..." because dates sort as text.
        QCOMPARE(column(m, 1), QStringList({"1.1.27 г.", "10.1.27 г.", "9.12.26 г."}));
        m.resort();
        QCOMPARE(column(m, 1), QStringList({"1.1.27 г.", "10.1.27 г.", "9.12.26 г."}));
    }

    void sort_longListWithTies_isStableAndSelectionFollowsItsRow()
    {
        // Few different texts, so most rows tie in every column; some rows have no notes.
        ReminderEntries rows;
        quint32 seed = 99;
        auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        for (int i = 0; i < 3000; ++i) {
            const QString name = QStringList{"b", "a", "B", "Я", ""}.at(int(next() % 5));
            ReminderEntry row{name, {QString::number(next() % 7), QString::number(next() % 3)}};
            if (next() % 4)
                row.details.append(next() % 2 ? "x" : "y");
            rows.append(row);
        }
        const auto expected = stableSorted;

        ReminderListModel m;
        m.setEntries(rows);
        QVERIFY(m.entries() == expected(rows, 0));
        // Equal rows look alike; the row itself is known by its own first detail, a string
        // made for it alone.
        const QPersistentModelIndex selected = m.index(1234, 0);
        const void *selectedRow = m.entry(1234).details.at(0).constData();
        for (int column : {2, 1, 3, 0, 3}) {
            const ReminderEntries before = m.entries();
            m.setSortColumn(column);
            m.resort();
            QVERIFY2(m.entries() == expected(before, column), qPrintable(QString::number(column)));
            QCOMPARE(m.entry(selected.row()).details.at(0).constData(), selectedRow);
        }
    }

    void load_longList_sortedStablyInEveryColumnAndIndexed()
    {
        // A list as long as a busy user's: many rows share the very same text storage, as rows
        // read from a file do, others have equal texts of their own; names share long beginnings
        // and differ far in; some rows lack details. Every column's order is the stable one and the
        // index finds exactly the rows of each date and time.
        const QStringList names{"Рожден ден на Мария",
                                "Рожден ден на Мария (2)",
                                "Рожден ден на Марин",
                                "Рожден ден",
                                "Р",
                                ""};
        const QStringList dates{"9.12.26 г.", "10.12.26 г.", "1.1.27 г."};
        const QStringList times{"9:00:00", "9:00:01", "10:00:00"};
        quint32 seed = 2026;
        auto next = [&seed] { return int((seed = seed * 1103515245u + 12345u) >> 16); };
        ReminderEntries rows;
        for (int i = 0; i < 30000; ++i) {
            QString name = names[next() % names.size()];
            if (next() % 3 == 0)
                name = QString(name.constData(), name.size()); // equal text, storage of its own
            ReminderEntry row{name, {}};
            if (next() % 10)
                row.details = {dates[next() % 3], times[next() % 3], QString::number(i % 7)};
            rows.append(row);
        }

        for (int column : {0, 1, 2, 3}) {
            ReminderEntries expected = rows;
            std::stable_sort(expected.begin(), expected.end(),
                             [column](const auto &a, const auto &b) {
                                 return compareEntries(a, b, column) < 0;
                             });
            ReminderListModel m;
            m.setSortColumn(column);
            m.setEntries(rows);
            // Rows that tie keep their file order (their notes are the row numbers mod 7).
            QVERIFY2(m.entries() == expected, qPrintable(QString::number(column)));
            const QString wrong = indexDisagreesWithAWalk(m, dates, times);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            QCOMPARE(m.countWithTexts("9.12.26 г.", "9:00:02"), 0);
        }
    }

    void textIndex_afterAnyChanges_findsExactlyTheRowsWithTheirTexts()
    {
        // Random additions, removals, edits, renames, sorts and reloads over a few dates and
        // times; after each, the rows found for every date and time are those a walk finds.
        const QStringList dates{"1.1.27 г.", "2.1.27 г.", "3.1.27 г."};
        const QStringList times{"9:00:00", "9:00:01", "10:00:00"};
        quint32 seed = 7;
        auto next = [&seed] { return int((seed = seed * 1103515245u + 12345u) >> 16); };
        auto randomRow = [&] {
            ReminderEntry row{QString::number(next() % 50), {}};
            if (next() % 8) // some hand-edited rows have no date and time
                row.details = {dates[next() % 3], times[next() % 3], "n"};
            return row;
        };
        ReminderListModel m;
        for (int step = 0; step < 3000; ++step) {
            const int rows = m.rowCount();
            switch (next() % 7) {
            case 0:
                m.addEntry(randomRow());
                break;
            case 1:
                m.removeEntry(rows ? next() % rows : 0);
                break;
            case 2:
                if (rows)
                    m.setDetail(next() % rows, next() % 3,
                                next() % 2 ? dates[next() % 3] : times[next() % 3]);
                break;
            case 3:
                if (rows)
                    m.setName(next() % rows, QString::number(next() % 50));
                break;
            case 4:
                m.setSortColumn(next() % 4);
                m.resort();
                break;
            case 5:
                if (rows)
                    m.updateEntry(next() % rows, randomRow());
                break;
            default:
                if (next() % 20 == 0) {
                    ReminderEntries list;
                    for (int i = next() % 30; i > 0; --i)
                        list.append(randomRow());
                    m.setEntries(list);
                }
            }
            const QString wrong = indexDisagreesWithAWalk(m, dates, times);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    }

    void addEntry_goesToItsSortedPlace()
    {
        ReminderListModel m;
        m.setEntries(sample());
        QCOMPARE(m.addEntry({"B", {"2.2.27 г.", "7:00:00", ""}}), 0);
        QCOMPARE(column(m, 0), QStringList({"B", "C", "a", "b"}));

        // An edit left the list out of order by time: the add sorts all of it again.
        m.setSortColumn(2);
        m.resort();
        m.setDetail(0, 1, "9:30:00"); // "a" keeps its place at the top
        QCOMPARE(m.addEntry({"d", {"3.3.27 г.", "8:30:00", ""}}), 2);
        QCOMPARE(column(m, 2),
                 QStringList({"7:00:00", "8:00:00", "8:30:00", "9:00:00", "9:30:00"}));
        QCOMPARE(indexDisagreesWithAWalk(m, column(m, 1), column(m, 2)), QString());

        // A row that ties with others in the sort column goes after them, where a full stable
        // sort of the list with the row appended puts it (a fourth detail tells it apart).
        for (int c = 0; c < ReminderListModel::kColumnCount; ++c) {
            ReminderListModel tied;
            tied.setSortColumn(c);
            tied.setEntries(sample() + sample());
            for (int r = 0; r < tied.rowCount(); r += 2) {
                ReminderEntry added = tied.entry(r);
                added.details.append(QString::number(r));
                const ReminderEntries expected =
                    stableSorted(tied.entries() + ReminderEntries{added}, c);
                QCOMPARE(tied.addEntry(added), expected.indexOf(added));
                QVERIFY2(tied.entries() == expected, qPrintable(QString::number(c)));
            }
        }
    }

    void rename_resortsAndPersistentIndexFollowsRow()
    {
        ReminderListModel m;
        m.setEntries(sample());
        QPersistentModelIndex tracked(m.index(0, 2)); // "C", time column
        const int newRow = m.setName(0, "zz");
        QCOMPARE(newRow, 2);
        QCOMPARE(tracked.row(), 2);
        QCOMPARE(tracked.data().toString(), QString("8:00:00"));
        QCOMPARE(column(m, 0), QStringList({"a", "b", "zz"}));
    }

    void rename_unsafeText_isMadeSafe()
    {
        ReminderListModel m;
        m.setEntries({{"x", {}}});
        QVERIFY(m.setData(m.index(0, 0), QString("\tnew\r\nname")));
        QCOMPARE(m.entry(0).name, QString(" new  name"));
        QVERIFY(!m.setData(m.index(0, 1), QString("date")));
        QVERIFY(m.flags(m.index(0, 0)).testFlag(Qt::ItemIsEditable));
        QVERIFY(!m.flags(m.index(0, 1)).testFlag(Qt::ItemIsEditable));
    }

    void setDetail_doesNotResort_andFillsMissingDetails()
    {
        ReminderListModel m;
        m.setEntries(sample());
        m.setSortColumn(2);
        m.resort();
        QCOMPARE(column(m, 0), QStringList({"a", "C", "b"})); // "10:00:00" < "8:00:00" < "9:00:00"
        m.setDetail(0, 1, "99:00:00");
        QCOMPARE(column(m, 0), QStringList({"a", "C", "b"}));
        m.setEntries({{"short", {}}});
        m.setDetail(0, 2, "note");
        QCOMPARE(m.entry(0).details.toList(), QStringList({"", "", "note"}));
    }

    // An edit from the editor is one change of the list: one look before it, one dataChanged,
    // the row keeps its identity and its extra details, and the index follows it (also a row
    // padded by the edit: a notes edit of a row without a time used to leave the index stale).
    void updateEntry_oneChange_keepsIdentityAndExtras_indexFollows()
    {
        ReminderListModel m;
        m.setEntries(
            {{"b", {"1.1.27 г."}}, {"a", {"1.1.27 г.", "9:00:00", "n", "RRULE:FREQ=DAILY"}}});
        m.rowsWithTexts({}, {}); // the index is built
        QSignalSpy before(&m, &ReminderListModel::aboutToChange);
        QSignalSpy changed(&m, &ReminderListModel::dataChanged);
        ReminderEntry edited = m.entry(0);
        const quint64 id = edited.id;
        QCOMPARE(edited.property(QLatin1StringView("rrule")), QString("FREQ=DAILY"));
        edited.name = "c";
        edited.details[1] = "10:00:00";
        QCOMPARE(m.updateEntry(0, edited), 1); // re-sorted after "b"
        QCOMPARE(before.size(), 1);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(m.rowOfId(id), 1);
        QCOMPARE(m.entry(1).details.last(), QString("RRULE:FREQ=DAILY"));
        QCOMPARE(m.rowsWithTexts("1.1.27 г.", "10:00:00"), QList<int>{1});
        m.setDetail(0, 2, "notes"); // "b" padded to a date, an empty time and notes
        QCOMPARE(m.rowsWithTexts("1.1.27 г.", ""), QList<int>{0});
        ReminderEntry plain{"x", {}};
        plain.setProperty(QLatin1StringView("X-VELLARO-SNOOZED"), "1");
        QCOMPARE(plain.details, QStringList({"", "", "", "X-VELLARO-SNOOZED:1"}));
        plain.removeProperty(QLatin1StringView("x-vellaro-snoozed"));
        QCOMPARE(plain.details.size(), 3);
    }

    void fiveDetails_onlyThreeShown_allKept()
    {
        ReminderListModel m;
        m.setEntries({{"n", {"1", "2", "3", "4", "5"}}});
        QCOMPARE(m.columnCount(), 5);
        QCOMPARE(column(m, 3), QStringList({"3"}));
        QCOMPARE(column(m, kRepeatColumn), QStringList({""})); // no rule among them
        QCOMPARE(m.entry(0).details.size(), 5);
    }
};

QTEST_GUILESS_MAIN(TestReminderList)
#include "tst_reminderlist.moc"
