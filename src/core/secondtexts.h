#pragma once

#include "core/localeformats.h"

#include <QDateTime>
#include <QTimeZone>

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

// Walks the seconds from `from` to `to` (both included) in order and gives `visit` the date and
// time texts the clock shows at each, as the check compares them; a local time that daylight
// saving repeats comes twice. Stops at the first second for which `visit` returns true and
// returns it; -1 when none did.
template <typename Visit>
qint64 walkSecondTexts(qint64 from, qint64 to, const QDateTime &now, const LocaleFormats &formats,
                       Visit visit)
{
    QDate date;
    QString dateText;
    const auto at = [&](const QDate &d, const QTime &t) {
        if (d != date) {
            date = d;
            dateText = formats.dateText(d);
        }
        return visit(dateText, formats.timeText(t));
    };
    if (from > to)
        return -1;
    // Converting each second to local time is costly; while the offset from UTC stays the same
    // over the range, local time is plain arithmetic.
    const int offset = localSecond(from, now).offsetFromUtc();
    const bool steadyOffset = localSecond(to, now).offsetFromUtc() == offset;
    for (qint64 s = from; s <= to; ++s) {
        bool found;
        if (steadyOffset) {
            const qint64 local = s + offset;
            const qint64 day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
            const int secondOfDay = static_cast<int>(local - day * 86400);
            found = at(QDate(1970, 1, 1).addDays(day), QTime(0, 0).addSecs(secondOfDay));
        } else {
            const QDateTime t = localSecond(s, now);
            found = at(t.date(), t.time());
        }
        if (found)
            return s;
    }
    return -1;
}

} // namespace vellaro
