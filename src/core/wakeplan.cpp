#include "wakeplan.h"

#include "error.h"
#include "reminderlistmodel.h"

#include <QTimeZone>

#include <algorithm>
#include <array>

namespace vellaro {

namespace {

// Local date and time as `now` reckons them: the system's local time, or the zone it carries.
QDateTime localSecond(qint64 second, const QDateTime &now)
{
    return now.timeSpec() == Qt::TimeZone ? QDateTime::fromSecsSinceEpoch(second, now.timeZone())
                                          : QDateTime::fromSecsSinceEpoch(second);
}

qint64 secondOf(QDate date, QTime time, const QDateTime &now)
{
    return (now.timeSpec() == Qt::TimeZone ? QDateTime(date, time, now.timeZone())
                                           : QDateTime(date, time))
        .toSecsSinceEpoch();
}

} // namespace

QDateTime nextWake(const QDateTime &now, const ReminderListModel &list,
                   const LocaleFormats &formats)
{
    const qint64 current = now.toSecsSinceEpoch();
    const qint64 horizon = current + kMaxSleepSeconds;
    qint64 best = horizon;

    const QDate today = localSecond(current, now).date();
    const qint64 midnight = secondOf(today.addDays(1), QTime(0, 0), now);
    if (midnight > current)
        best = std::min(best, midnight);

    // The seconds up to the horizon fall on at most two local dates (three across a zone's odd
    // jumps); only rows carrying one of their texts can fall due before it.
    QList<QDate> dates{today};
    for (const qint64 s : {current + 1, horizon}) {
        const QDate d = localSecond(s, now).date();
        if (!dates.contains(d))
            dates.append(d);
    }
    QStringList dateTexts;
    for (const QDate &d : dates)
        dateTexts.append(formats.dateText(d));

    const ReminderEntries &rows = list.entries();
    for (const ReminderEntry &row : rows) {
        if (row.details.size() < 2)
            continue;
        const qsizetype day = dateTexts.indexOf(row.details.at(0));
        if (day < 0)
            continue;
        const QString &timeText = row.details.at(1);
        QTime time;
        try {
            time = formats.parseTimeText(timeText);
        } catch (const Error &) {
            continue; // no second is written this way
        }
        const qint64 first = secondOf(dates.at(day), time, now);
        // When daylight saving ends, the same local time comes twice, an hour apart (half an hour
        // in a few zones); which of the two a date and time stand for is the library's choice.
        for (const qint64 s :
             std::array<qint64, 5>{first - 3600, first - 1800, first, first + 1800, first + 3600}) {
            if (s <= current || s >= best)
                continue;
            const QDateTime t = localSecond(s, now);
            if (formats.timeText(t.time()) == timeText &&
                formats.dateText(t.date()) == row.details.at(0))
                best = s;
        }
    }
    return localSecond(best, now);
}

} // namespace vellaro
