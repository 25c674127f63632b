#include "core/secondtexts.h"

#include <limits>

namespace vellaro {

namespace {

// A day holds at most one change of the offset in every zone there is; longer stretches are
// looked at a day at a time, so two changes that cancel out are not missed.
constexpr qint64 kStretch = 86400;

void findChanges(qint64 from, qint64 to, int offsetFrom, int offsetTo, const QDateTime &now,
                 std::vector<OffsetChange> &changes)
{
    // Invariant: the offset at `from` is offsetFrom, at `to` offsetTo, and they differ.
    while (to - from > 1) {
        const qint64 middle = from + (to - from) / 2;
        const int offset = localSecond(middle, now).offsetFromUtc();
        if (offset == offsetFrom) {
            from = middle;
        } else if (offset == offsetTo) {
            to = middle;
        } else {
            findChanges(from, middle, offsetFrom, offset, now, changes);
            from = middle;
            offsetFrom = offset;
        }
    }
    changes.push_back({to, offsetFrom, offsetTo});
}

} // namespace

std::vector<OffsetChange> offsetChanges(qint64 from, qint64 to, const QDateTime &now)
{
    std::vector<OffsetChange> changes;
    // A fixed offset never changes.
    if (now.timeSpec() == Qt::OffsetFromUTC || now.timeSpec() == Qt::UTC || from >= to)
        return changes;
    int offset = localSecond(from, now).offsetFromUtc();
    for (qint64 start = from; start < to;) {
        const qint64 end = std::min(to, start + kStretch);
        const int endOffset = localSecond(end, now).offsetFromUtc();
        if (endOffset != offset)
            findChanges(start, end, offset, endOffset, now, changes);
        start = end;
        offset = endOffset;
    }
    return changes;
}

qint64 firstSecondShowing(const QDate &date, const QTime &time, const QDateTime &now)
{
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // Every offset in use lies within fourteen hours of UTC, so the seconds that show this local
    // time lie in this stretch, and so does any change of the offset that skips it.
    constexpr qint64 kReach = 15 * 3600;
    qint64 first = std::numeric_limits<qint64>::max();
    int previous = localSecond(wall - kReach, now).offsetFromUtc();
    const auto tryOffset = [&](int offset) {
        const qint64 second = wall - offset;
        if (localSecond(second, now).offsetFromUtc() == offset)
            first = std::min(first, second);
    };
    tryOffset(previous);
    for (const OffsetChange &change : offsetChanges(wall - kReach, wall + kReach, now)) {
        tryOffset(change.after);
        // Skipped by this change: the first second after the gap.
        if (change.after > change.before && wall >= change.at + change.before &&
            wall < change.at + change.after)
            first = std::min(first, change.at);
        previous = change.after;
    }
    return first;
}

} // namespace vellaro
