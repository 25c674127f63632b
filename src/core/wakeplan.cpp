#include "wakeplan.h"

#include "reminderlistmodel.h"
#include "secondtexts.h"

#include <algorithm>

namespace vellaro {

QDateTime nextWake(const QDateTime &now, const ReminderListModel &list,
                   const LocaleFormats &formats)
{
    const qint64 current = now.toSecsSinceEpoch();
    qint64 limit = current + kMaxSleepSeconds;

    const QDate today = localSecond(current, now).date();
    const QDateTime midnight = now.timeSpec() == Qt::TimeZone
                                   ? QDateTime(today.addDays(1), QTime(0, 0), now.timeZone())
                                   : QDateTime(today.addDays(1), QTime(0, 0));
    if (midnight.toSecsSinceEpoch() > current)
        limit = std::min(limit, midnight.toSecsSinceEpoch());

    // The seconds before the limit are walked as the check walks them, their texts looked up in
    // the list's index: the first one that carries a row is the next due second. The cost is
    // bounded by the hour, whatever the list's length.
    const qint64 due = walkSecondTexts(current + 1, limit - 1, now, formats,
                                       [&list](const QString &date, const QString &time) {
                                           return list.countWithTexts(date, time) > 0;
                                       });
    return localSecond(due >= 0 ? due : limit, now);
}

} // namespace vellaro
