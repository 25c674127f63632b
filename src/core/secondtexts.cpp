#include "core/secondtexts.h"

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

} // namespace vellaro
