#include "core/wakeplan.h"

#include "core/reminderlistmodel.h"
#include "core/secondtexts.h"

#include <algorithm>

namespace vellaro {

QDateTime nextWake(const QDateTime &looked, const ReminderListModel &list,
                   const LocaleFormats &formats)
{
    const qint64 last = looked.toSecsSinceEpoch();
    qint64 limit = last + kMaxSleepSeconds;

    const QDate today = localSecond(last, looked).date();
    const qint64 midnight = localMoment(today.addDays(1), QTime(0, 0), looked).toSecsSinceEpoch();
    if (midnight > last)
        limit = std::min(limit, midnight);
    // Where daylight saving changes the offset from UTC before the limit, the program looks
    // then too: each look is read in one offset, which holds until the next change, so a
    // change of the zone between two looks (its report comes as it happens) leaves the seconds
    // before it read in the offset they were lived in.
    const int offset = localSecond(last, looked).offsetFromUtc();
    if (localSecond(limit, looked).offsetFromUtc() != offset) {
        qint64 same = last;
        while (limit - same > 1) {
            const qint64 middle = same + (limit - same) / 2;
            (localSecond(middle, looked).offsetFromUtc() == offset ? same : limit) = middle;
        }
    }

    // The seconds before the limit are walked as the check walks them, their texts looked up in
    // the list's index: the first one that carries a row is the next due second. The cost is
    // bounded by the hour, whatever the list's length.
    const qint64 due = walkSecondTexts(last + 1, limit - 1, looked, formats,
                                       [&list](const QString &date, const QString &time) {
                                           return list.countWithTexts(date, time) > 0;
                                       });
    return localSecond(due >= 0 ? due : limit, looked);
}

} // namespace vellaro
