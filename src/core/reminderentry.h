#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vellaro {

// One reminder: the list row's caption is the name; its detail texts are, in order, the date
// text, the time text and the notes. A row read from a hand-edited file may carry more or fewer
// details; they stay with it and are written back as they are.
//
// Details after the notes are extra details: iCalendar-style property lines, a name and then its
// value after ':' ("RRULE:FREQ=WEEKLY;BYDAY=MO,WE", "X-VELLARO-SNOOZED:1"). Their order does not
// matter, and one the program does not know is kept and written back as it is.
struct ReminderEntry
{
    QString name;
    QStringList details;
    // Which row this is for the rest of the run, wherever sorting puts it: the list gives it when
    // the row comes in. Never written to the file, and not part of what a row is equal to.
    quint64 id = 0;

    static constexpr int kDateDetail = 0;
    static constexpr int kTimeDetail = 1;
    static constexpr int kNotesDetail = 2;
    static constexpr int kFirstExtraDetail = 3;

    QString dateText() const { return details.value(kDateDetail); }
    QString timeText() const { return details.value(kTimeDetail); }
    QString notes() const { return details.value(kNotesDetail); }
    // The detail a command needs; a row from a hand-edited file without it throws the list's
    // "List index out of bounds (n)".
    const QString &requiredDetail(int index) const;

    // The value of the first extra detail with this property name (iCalendar names are compared
    // without regard to ASCII case); a null string when there is none.
    QString property(QLatin1StringView propertyName) const;
    // Replaces the first extra detail with this name, or adds one (after empty date, time and
    // notes when the row has fewer).
    void setProperty(QLatin1StringView propertyName, const QString &value);
    void removeProperty(QLatin1StringView propertyName);

    // A postponed row is the one snoozing an alarm added (X-VELLARO-SNOOZED:1): a one-off that
    // goes away when its own alarm is closed, and moves when that alarm is snoozed again.
    static constexpr QLatin1StringView kPostponedProperty{"X-VELLARO-SNOOZED"};
    bool isPostponed() const { return property(kPostponedProperty) == QLatin1StringView("1"); }

    friend bool operator==(const ReminderEntry &a, const ReminderEntry &b)
    {
        return a.name == b.name && a.details == b.details;
    }
};

using ReminderEntries = QList<ReminderEntry>;

// The list's column that shows a row's repeats.
inline constexpr int kRepeatColumn = 4;

// Ordinal, case-sensitive comparison of two rows by a list column: 0 compares the names, 1 to 3
// the date, time and notes, the repeat column the rule as written. A row without that detail
// compares as if it were empty, so rows from a short hand-edited file sort first instead of
// failing.
int compareEntries(const ReminderEntry &a, const ReminderEntry &b, int column);
// The text a row is compared by in that column (an empty one when the row has no such detail).
const QString &sortText(const ReminderEntry &e, int column);

// Texts entering the list are made safe so that no row can break the line structure of the list
// file: CR, LF and NUL become spaces, and a name cannot start with TAB (that would read back as a
// detail line).
QString sanitizedName(QString name);
QString sanitizedDetail(QString detail);

} // namespace vellaro

// Its members move in memory as they are, so a growing list moves rows by copying bytes.
Q_DECLARE_TYPEINFO(vellaro::ReminderEntry, Q_RELOCATABLE_TYPE);
