#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellaro {

class LocaleFormats;
class ReminderListModel;
struct ReminderEntry;

// The extra detail that holds a row's repeat rule.
inline constexpr QLatin1StringView kRepeatRuleProperty("RRULE");

// A row's repeat rule: the value of its "RRULE" extra detail, as iCalendar writes it
// ("FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20261231"), read and expanded by libical. Occurrences are local
// wall-clock moments (the row's date and time texts name one in the machine's zone): a rule that
// repeats at 9:00 repeats at 9:00 whatever daylight saving does.
class RepeatRule final
{
public:
    // What the editor offers; Other is a rule from elsewhere that the editor cannot show (kept as
    // it is, and shown as text).
    enum class Kind
    {
        Daily,
        Weekdays,
        Weekly,
        Monthly,
        Yearly,
        Other
    };

    // The rule of an "RRULE" value; nothing, with the reason, when libical refuses it.
    static std::optional<RepeatRule> parse(const QString &value, QString *error = nullptr);
    // The value the editor writes for its choice: `weekdays` (1 Monday .. 7 Sunday) for Weekly,
    // an `until` date when the repeats end.
    static QString build(Kind kind, const QList<int> &weekdays = {}, const QDate &until = {});

    const QString &text() const { return m_text; }
    Kind kind() const { return m_kind; }
    QList<int> weekdays() const { return m_weekdays; }
    // The last day an occurrence may fall on; invalid when the rule does not end by a date.
    QDate until() const { return m_until; }

    // The first occurrence after `after` of the series that begins at `start` (both local date and
    // time, their zone ignored; the result carries no zone of its own); invalid when the series
    // has ended by then.
    QDateTime nextAfter(const QDateTime &start, const QDateTime &after) const;

    // What the list shows: "всеки ден", "пн, ср", "всеки месец", "всяка година", with
    // " до 31.12.26 г." when it ends; a rule the editor cannot show, as it is written.
    QString shortText(const LocaleFormats &formats) const;

private:
    QString m_text;
    Kind m_kind = Kind::Other;
    QList<int> m_weekdays;
    QDate m_until;
};

// The row's repeat rule; nothing for a one-off row, or one whose rule cannot be read.
std::optional<RepeatRule> repeatRuleOf(const ReminderEntry &row);

// Moves repeating rows whose occurrence is at or before `lived` (the last second the check has
// looked at, local time) on to their next occurrence after it: their date and time texts change,
// nothing else. `ids` limits it to those rows (ReminderEntry::id); empty, every row. A rule that
// has ended leaves its row where it stands: a one-off row at its last occurrence. Missed
// occurrences are skipped, never replayed.
void advanceRepeats(ReminderListModel &list, const LocaleFormats &formats, const QDateTime &lived,
                    const QList<quint64> &ids = {});

// Each row whose repeat rule libical refuses, as "name: reason"; such a row stays a one-off row
// with its texts untouched.
QStringList unreadableRepeatRules(const QList<ReminderEntry> &rows);

} // namespace vellaro
