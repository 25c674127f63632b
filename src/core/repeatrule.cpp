#include "core/repeatrule.h"

#include "core/error.h"
#include "core/localeformats.h"
#include "core/reminderlistmodel.h"
#include "core/secondtexts.h"

#include <libical/ical.h>

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vellaro {

namespace {

// The most occurrences walked to find the next one: a rule that repeats every second from years
// back must not hold the program. Past this the rule counts as ended.
constexpr int kMaxSteps = 200000;

const char *const kDayCodes[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
const char16_t *const kDayShortNames[] = {u"пн", u"вт", u"ср", u"чт", u"пт", u"сб", u"нд"};

icaltimetype toIcal(const QDateTime &local)
{
    icaltimetype t = icaltime_null_time();
    t.year = local.date().year();
    t.month = local.date().month();
    t.day = local.date().day();
    t.hour = local.time().hour();
    t.minute = local.time().minute();
    t.second = local.time().second();
    t.is_date = 0;
    return t;
}

// Monday 1 .. Sunday 7, from libical's Sunday 1 .. Saturday 7.
int isoWeekday(icalrecurrencetype_weekday day)
{
    return day == ICAL_SUNDAY_WEEKDAY ? 7 : int(day) - 1;
}

struct IteratorFree
{
    void operator()(icalrecur_iterator *it) const { icalrecur_iterator_free(it); }
};

} // namespace

std::optional<RepeatRule> RepeatRule::parse(const QString &value, QString *error)
{
    const QByteArray utf8 = value.trimmed().toUtf8();
    icalerror_clear_errno();
    icalrecurrencetype recur = icalrecurrencetype_from_string(utf8.constData());
    if (recur.freq == ICAL_NO_RECURRENCE || icalerrno != ICAL_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(icalerror_strerror(
                icalerrno != ICAL_NO_ERROR ? icalerrno : ICAL_MALFORMEDDATA_ERROR));
        icalerror_clear_errno();
        return std::nullopt;
    }
    RepeatRule rule;
    rule.m_text = value.trimmed();
    if (!icaltime_is_null_time(recur.until))
        rule.m_until = QDate(recur.until.year, recur.until.month, recur.until.day);

    QList<int> days;
    bool plainDays = true;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && recur.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (icalrecurrencetype_day_position(recur.by_day[i]) != 0)
            plainDays = false;
        days << isoWeekday(icalrecurrencetype_day_day_of_week(recur.by_day[i]));
    }
    std::sort(days.begin(), days.end());
    // Only the parts the editor writes; anything more (BYMONTHDAY, BYSETPOS, COUNT, an interval)
    // is a rule from elsewhere.
    const bool simple = recur.interval == 1 && recur.count == 0 && plainDays &&
                        recur.by_second[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_minute[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_hour[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_month_day[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_year_day[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_week_no[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_month[0] == ICAL_RECURRENCE_ARRAY_MAX &&
                        recur.by_set_pos[0] == ICAL_RECURRENCE_ARRAY_MAX;
    if (simple) {
        switch (recur.freq) {
        case ICAL_DAILY_RECURRENCE:
            if (days.isEmpty())
                rule.m_kind = Kind::Daily;
            else if (days == QList<int>{1, 2, 3, 4, 5})
                rule.m_kind = Kind::Weekdays;
            break;
        case ICAL_WEEKLY_RECURRENCE:
            rule.m_kind = Kind::Weekly;
            rule.m_weekdays = days;
            break;
        case ICAL_MONTHLY_RECURRENCE:
            if (days.isEmpty())
                rule.m_kind = Kind::Monthly;
            break;
        case ICAL_YEARLY_RECURRENCE:
            if (days.isEmpty())
                rule.m_kind = Kind::Yearly;
            break;
        default:
            break;
        }
    }
    return rule;
}

QString RepeatRule::build(Kind kind, const QList<int> &weekdays, const QDate &until)
{
    QString text;
    switch (kind) {
    case Kind::Daily:
        text = QStringLiteral("FREQ=DAILY");
        break;
    case Kind::Weekdays:
        text = QStringLiteral("FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR");
        break;
    case Kind::Weekly: {
        QList<int> days = weekdays;
        std::sort(days.begin(), days.end());
        QStringList codes;
        for (int day : days) {
            if (day >= 1 && day <= 7)
                codes << QString::fromLatin1(kDayCodes[day - 1]);
        }
        text = QStringLiteral("FREQ=WEEKLY");
        if (!codes.isEmpty())
            text += QStringLiteral(";BYDAY=") + codes.join(u',');
        break;
    }
    case Kind::Monthly:
        text = QStringLiteral("FREQ=MONTHLY");
        break;
    case Kind::Yearly:
        text = QStringLiteral("FREQ=YEARLY");
        break;
    case Kind::Other:
        return {};
    }
    // The whole last day counts. UNTIL takes the form of the start, a local date and time.
    if (until.isValid())
        text += QStringLiteral(";UNTIL=") + until.toString(QStringLiteral("yyyyMMdd")) +
                QStringLiteral("T235959");
    return text;
}

QDateTime RepeatRule::nextAfter(const QDateTime &start, const QDateTime &after) const
{
    const QByteArray utf8 = m_text.toUtf8();
    icalrecurrencetype recur = icalrecurrencetype_from_string(utf8.constData());
    icalerror_clear_errno();
    if (recur.freq == ICAL_NO_RECURRENCE)
        return {};
    const icaltimetype begin = toIcal(start);
    std::unique_ptr<icalrecur_iterator, IteratorFree> it(icalrecur_iterator_new(recur, begin));
    icalerror_clear_errno();
    if (!it)
        return {};
    const QDateTime limit(after.date(), after.time(), Qt::UTC);
    for (int step = 0; step < kMaxSteps; ++step) {
        const icaltimetype next = icalrecur_iterator_next(it.get());
        if (icaltime_is_null_time(next))
            return {};
        const QDateTime moment(QDate(next.year, next.month, next.day),
                               QTime(next.hour, next.minute, next.second), Qt::UTC);
        if (moment > limit)
            return moment;
    }
    return {};
}

QString RepeatRule::shortText(const LocaleFormats &formats) const
{
    QString text;
    switch (m_kind) {
    case Kind::Daily:
        text = QStringLiteral("всеки ден");
        break;
    case Kind::Weekdays:
        text = QStringLiteral("всеки делничен ден");
        break;
    case Kind::Weekly: {
        QStringList names;
        for (int day : m_weekdays)
            names << QString::fromUtf16(kDayShortNames[day - 1]);
        text = names.isEmpty() ? QStringLiteral("всяка седмица") : names.join(QStringLiteral(", "));
        break;
    }
    case Kind::Monthly:
        text = QStringLiteral("всеки месец");
        break;
    case Kind::Yearly:
        text = QStringLiteral("всяка година");
        break;
    case Kind::Other:
        return m_text;
    }
    if (m_until.isValid())
        text += QStringLiteral(" до ") + formats.dateText(m_until);
    return text;
}

std::optional<RepeatRule> repeatRuleOf(const ReminderEntry &row)
{
    if (row.details.size() <= ReminderEntry::kFirstExtraDetail)
        return std::nullopt;
    const QString value = row.property(kRepeatRuleProperty);
    if (value.isNull())
        return std::nullopt;
    return RepeatRule::parse(value);
}

void advanceRepeats(ReminderListModel &list, const LocaleFormats &formats, const QDateTime &lived,
                    const QList<quint64> &ids)
{
    // Local date and time compared as they read (no zone: a zone's rules cost time to apply).
    const QDateTime livedLocal(lived.date(), lived.time(), Qt::UTC);
    QList<int> rows;
    if (ids.isEmpty()) {
        rows.reserve(list.rowCount());
        for (int row = 0; row < list.rowCount(); ++row)
            rows << row;
    } else {
        for (quint64 id : ids) {
            if (const int row = list.rowOfId(id); row >= 0)
                rows << row;
        }
    }
    // A long list repeats its rules and dates: each different text is read once.
    QHash<QString, std::optional<RepeatRule>> rules;
    QHash<std::pair<QString, QDate>, std::pair<QDate, QDate>> seriesDays;
    // Whether the offset changes within reach of `lived` (rarely: twice a year at most).
    const qint64 livedSecond = lived.toSecsSinceEpoch();
    const bool nearChange = !offsetChanges(livedSecond - 2 * kLongestOffsetChange,
                                           livedSecond + 2 * kLongestOffsetChange, lived)
                                 .empty();
    QHash<QString, QDate> dates;
    QHash<QString, QTime> times;
    const auto readDate = [&](const QString &text) {
        auto it = dates.constFind(text);
        if (it == dates.cend()) {
            QDate date;
            try {
                date = formats.parseDateText(text, lived.date().year());
            } catch (const Error &) {
                // Texts of another locale: nothing to move from.
            }
            it = dates.insert(text, date);
        }
        return *it;
    };
    const auto readTime = [&](const QString &text) {
        auto it = times.constFind(text);
        if (it == times.cend()) {
            QTime time;
            try {
                time = formats.parseTimeText(text);
            } catch (const Error &) {
            }
            it = times.insert(text, time);
        }
        return *it;
    };
    for (int row : rows) {
        const ReminderEntry &entry = list.rows().at(row);
        if (entry.details.size() <= ReminderEntry::kFirstExtraDetail)
            continue;
        const QString value = entry.property(kRepeatRuleProperty);
        if (value.isNull())
            continue;
        const QDateTime moment(readDate(entry.dateText()), readTime(entry.timeText()), Qt::UTC);
        if (!moment.isValid())
            continue;
        // Local times compare as they read, except near a change of the offset, where a time
        // may come twice (it passed the first time) or not at all (it passed at the gap's end).
        const bool passed = nearChange && std::abs(moment.secsTo(livedLocal)) < kLongestOffsetChange
                                ? firstSecondShowing(moment.date(), moment.time(), lived) <=
                                      lived.toSecsSinceEpoch()
                                : moment <= livedLocal;
        if (!passed)
            continue;
        auto rule = rules.constFind(value);
        if (rule == rules.cend())
            rule = rules.insert(value, RepeatRule::parse(value));
        if (!*rule)
            continue;
        const QDateTime after = std::max(moment, livedLocal);
        QDateTime next;
        if ((*rule)->kind() == RepeatRule::Kind::Other) {
            next = (*rule)->nextAfter(moment, after);
        } else {
            // The editor's rules repeat at the row's own time of day on dates that follow from
            // the rule and the first date alone: rows of one rule and date share the dates
            // libical gives (the first two on or after the day `after` falls on).
            const auto key = std::make_pair(value, moment.date());
            auto known = seriesDays.constFind(key);
            if (known == seriesDays.cend()) {
                const QDateTime first(moment.date(), QTime(0, 0), Qt::UTC);
                const QDateTime d1 = (*rule)->nextAfter(
                    first, QDateTime(after.date(), QTime(0, 0), Qt::UTC).addSecs(-1));
                const QDateTime d2 = d1.isValid() ? (*rule)->nextAfter(first, d1) : QDateTime();
                known = seriesDays.insert(key, {d1.date(), d2.date()});
            }
            const QDate day =
                known->first.isValid() && QDateTime(known->first, moment.time(), Qt::UTC) > after
                    ? known->first
                    : known->second;
            if (day.isValid())
                next = QDateTime(day, moment.time(), Qt::UTC);
        }
        if (!next.isValid())
            continue;
        // A new date and time never re-sort the list (only a new name does), so the row stays
        // where it is.
        ReminderEntry moved = entry;
        moved.details[ReminderEntry::kDateDetail] = formats.dateText(next.date());
        moved.details[ReminderEntry::kTimeDetail] = formats.timeText(next.time());
        list.updateEntry(row, moved);
    }
}

QStringList unreadableRepeatRules(const QList<ReminderEntry> &rows)
{
    QStringList found;
    QHash<QString, QString> reasons; // rule → why libical refuses it, empty when it reads it
    for (const ReminderEntry &row : rows) {
        if (row.details.size() <= ReminderEntry::kFirstExtraDetail)
            continue;
        const QString value = row.property(kRepeatRuleProperty);
        if (value.isNull())
            continue;
        auto it = reasons.constFind(value);
        if (it == reasons.cend()) {
            QString reason;
            if (RepeatRule::parse(value, &reason))
                reason.clear();
            it = reasons.insert(value, reason);
        }
        if (!it->isEmpty())
            found << row.name + QStringLiteral(": ") + *it;
    }
    return found;
}

} // namespace vellaro
