#pragma once

#include "core/localeformats.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <vector>

namespace vellaro {

// Local date and time of a second as `now` reckons them: the system's local time, the zone `now`
// carries, or its fixed offset from UTC.
inline QDateTime localSecond(qint64 second, const QDateTime &now)
{
    switch (now.timeSpec()) {
    case Qt::TimeZone:
        return QDateTime::fromSecsSinceEpoch(second, now.timeZone());
    case Qt::OffsetFromUTC:
    case Qt::UTC:
        return QDateTime::fromSecsSinceEpoch(second, Qt::OffsetFromUTC, now.offsetFromUtc());
    case Qt::LocalTime:
        break;
    }
    return QDateTime::fromSecsSinceEpoch(second);
}

// A local date and time as `now` reckons them.
inline QDateTime localMoment(const QDate &date, const QTime &time, const QDateTime &now)
{
    switch (now.timeSpec()) {
    case Qt::TimeZone:
        return QDateTime(date, time, now.timeZone());
    case Qt::OffsetFromUTC:
    case Qt::UTC:
        return QDateTime(date, time, Qt::OffsetFromUTC, now.offsetFromUtc());
    case Qt::LocalTime:
        break;
    }
    return QDateTime(date, time);
}

// A change of the offset from UTC: `at` is the first second with the new offset.
struct OffsetChange
{
    qint64 at;
    int before;
    int after;
};

// The changes of the offset in (from, to], as `now` reckons local time, in order.
std::vector<OffsetChange> offsetChanges(qint64 from, qint64 to, const QDateTime &now);

// The first second at which the clock shows this local date and time, as `now` reckons local
// time; for a time that daylight saving skips, the first second after the gap (where the walk
// below visits it).
qint64 firstSecondShowing(const QDate &date, const QTime &time, const QDateTime &now);

// The longest a change of the offset moves local time (Antarctica's Troll station: two hours).
inline constexpr qint64 kLongestOffsetChange = 3 * 3600;

// Walks the seconds from `from` to `to` (both included) in order and gives `visit` the date and
// time texts the clock shows at each, as the check compares them. Daylight saving's changes are
// read the way a user means a time of day: the local times a change skips count as the first
// second after the gap (visited there, before that second's own texts), and a local time that
// its end shows twice counts the first time only. Stops at the first second for which `visit`
// returns true and returns it; -1 when none did.
template <typename Visit>
qint64 walkSecondTexts(qint64 from, qint64 to, const QDateTime &now, const LocaleFormats &formats,
                       Visit visit)
{
    if (from > to)
        return -1;
    QDate date;
    QString dateText;
    // Local time as seconds since the epoch's local midnight: plain arithmetic, no conversion.
    const auto atLocal = [&](qint64 local) {
        const qint64 day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
        const QDate d = QDate(1970, 1, 1).addDays(day);
        if (d != date) {
            date = d;
            dateText = formats.dateText(d);
        }
        return visit(dateText,
                     formats.timeText(QTime(0, 0).addSecs(static_cast<int>(local - day * 86400))));
    };
    const std::vector<OffsetChange> changes = offsetChanges(from - kLongestOffsetChange, to, now);
    int offset = localSecond(from, now).offsetFromUtc();
    // Where the walk begins inside the hour daylight saving's end repeats, that hour has counted.
    qint64 repeatedUntil = from;
    size_t next = 0;
    while (next < changes.size() && changes[next].at < from) {
        const OffsetChange &c = changes[next++];
        if (c.after < c.before)
            repeatedUntil = std::max(repeatedUntil, c.at + (c.before - c.after));
    }
    for (qint64 s = from; s <= to; ++s) {
        if (next < changes.size() && changes[next].at == s) {
            const OffsetChange &c = changes[next++];
            offset = c.after;
            if (c.after > c.before) {
                for (qint64 local = s + c.before; local < s + c.after; ++local) {
                    if (atLocal(local))
                        return s;
                }
            } else {
                repeatedUntil = s + (c.before - c.after);
            }
        }
        if (s < repeatedUntil)
            continue;
        if (atLocal(s + offset))
            return s;
    }
    return -1;
}

} // namespace vellaro
