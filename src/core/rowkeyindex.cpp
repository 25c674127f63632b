#include "rowkeyindex.h"

#include <bit>

namespace vellaro {

void RowKeyIndex::reset(qsizetype rows)
{
    m_slots.clear();
    m_count = 0;
    m_next.assign(size_t(rows), 0);
    // Room for every row to have a key of its own, at most four fifths full.
    rehash(std::bit_ceil(std::max<size_t>(1024, size_t(rows) * 5 / 4 + 1)));
}

void RowKeyIndex::rehash(size_t slots)
{
    std::vector<quint64> old(slots, 0);
    old.swap(m_slots);
    m_mask = slots - 1;
    for (const quint64 slot : old) {
        if (slot == 0)
            continue;
        size_t at = home(slot);
        while (m_slots[at] != 0)
            at = (at + 1) & m_mask;
        m_slots[at] = slot;
    }
}

void RowKeyIndex::erase(size_t at)
{
    // Linear probing: the slots after the emptied one that would no longer be found from their
    // home slot move back into it.
    --m_count;
    m_slots[at] = 0;
    for (size_t next = (at + 1) & m_mask; m_slots[next] != 0; next = (next + 1) & m_mask) {
        const size_t wanted = home(m_slots[next]);
        // Whether `wanted` lies cyclically in (at, next]: then the slot stays where it is.
        const bool staysPut =
            at <= next ? (at < wanted && wanted <= next) : (at < wanted || wanted <= next);
        if (!staysPut) {
            m_slots[at] = m_slots[next];
            m_slots[next] = 0;
            at = next;
        }
    }
}

void RowKeyIndex::rowInserted(int row)
{
    forEachLink([row](quint32 link) { return link > quint32(row) ? link + 1 : link; });
    m_next.insert(m_next.begin() + row, 0);
}

void RowKeyIndex::rowRemoved(int row)
{
    m_next.erase(m_next.begin() + row);
    forEachLink([row](quint32 link) { return link > quint32(row + 1) ? link - 1 : link; });
}

void RowKeyIndex::reorder(const std::vector<int> &newRowOf)
{
    std::vector<quint32> next(m_next.size(), 0);
    for (size_t row = 0; row < m_next.size(); ++row)
        next[size_t(newRowOf[row])] = m_next[row];
    m_next = std::move(next);
    forEachLink([&newRowOf](quint32 link) { return quint32(newRowOf[link - 1] + 1); });
}

} // namespace vellaro
