#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace vellaro {

// Rows of a list found by a 64-bit key of theirs (the list uses the hashes of a row's date and
// time texts), so that the rows due at a second are found without a walk through the list.
// Rows with the same key form a chain; a table holds each chain's first row under 32 bits of
// the key, and a look-up confirms a candidate chain with the full key of its first row, which
// the caller's keyOf(row) gives. Rows are known by their place in the list; the index follows
// them when rows are inserted, removed or reordered. Small: 8 bytes a different key in the table
// and 4 a row, without an allocation for each key.
class RowKeyIndex
{
public:
    // Empty, with room for so many different keys.
    void reset(qsizetype rows);

    template <typename KeyOf> void add(int row, quint64 key, KeyOf &&keyOf)
    {
        if (5 * (m_count + 1) > 4 * m_slots.size())
            rehash(std::max<size_t>(1024, 2 * m_slots.size()));
        const Place p = placeOf(key, keyOf);
        quint64 &slot = m_slots[p.at];
        if (p.found) {
            m_next[size_t(row)] = quint32(slot);
            slot = (slot & ~kLinkBits) | quint32(row + 1);
        } else {
            m_next[size_t(row)] = 0;
            slot = quint64(shortKey(key)) << 32 | quint32(row + 1);
            ++m_count;
        }
    }

    template <typename KeyOf> void remove(int row, quint64 key, KeyOf &&keyOf)
    {
        const Place p = placeOf(key, keyOf);
        if (!p.found)
            return;
        quint64 &slot = m_slots[p.at];
        quint32 first = quint32(slot);
        if (first == quint32(row + 1)) {
            first = m_next[size_t(row)];
            slot = (slot & ~kLinkBits) | first;
        } else {
            quint32 *link = &m_next[first - 1];
            while (*link != 0 && *link != quint32(row + 1))
                link = &m_next[*link - 1];
            if (*link != 0)
                *link = m_next[size_t(row)];
        }
        m_next[size_t(row)] = 0;
        if (first == 0)
            erase(p.at);
    }

    // Calls f(row) for each row with the key, in no particular order.
    template <typename KeyOf, typename F> void forEach(quint64 key, KeyOf &&keyOf, F &&f) const
    {
        const Place p = placeOf(key, keyOf);
        if (!p.found)
            return;
        for (quint32 link = quint32(m_slots[p.at]); link != 0; link = m_next[link - 1])
            f(int(link - 1));
    }

    // A row was inserted at `row` (in no chain yet): the rows from there on moved one down.
    void rowInserted(int row);
    // The row at `row`, taken out of its chain before, was removed: the rows after it moved up.
    void rowRemoved(int row);
    // The rows were reordered: the row that stood at r stands at newRowOf[r].
    void reorder(const std::vector<int> &newRowOf);

private:
    static constexpr quint64 kLinkBits = 0xFFFFFFFFu;
    struct Place
    {
        size_t at;
        bool found;
    };

    static quint32 shortKey(quint64 key) { return quint32((key * 0x9E3779B97F4A7C15ull) >> 32); }
    size_t home(quint64 slot) const { return size_t(slot >> 32) & m_mask; }

    // The slot of the key's chain, or the empty slot where it would go.
    template <typename KeyOf> Place placeOf(quint64 key, KeyOf &&keyOf) const
    {
        if (m_slots.empty())
            return {0, false};
        const quint32 shortened = shortKey(key);
        for (size_t at = shortened & m_mask;; at = (at + 1) & m_mask) {
            const quint64 slot = m_slots[at];
            if (slot == 0)
                return {at, false};
            if (quint32(slot >> 32) == shortened && keyOf(int(quint32(slot) - 1)) == key)
                return {at, true};
        }
    }

    void rehash(size_t slots);
    void erase(size_t at);
    // Applies f to every link to a row: the chains' first rows and each row's next.
    template <typename F> void forEachLink(F &&f)
    {
        for (quint64 &slot : m_slots) {
            if (slot != 0)
                slot = (slot & ~kLinkBits) | f(quint32(slot));
        }
        for (quint32 &link : m_next) {
            if (link != 0)
                link = f(link);
        }
    }

    // Each slot: the short key in the high half, 1 + the chain's first row in the low half; 0
    // is an empty slot.
    std::vector<quint64> m_slots;
    // 1 + the next row in each row's chain; 0 ends a chain.
    std::vector<quint32> m_next;
    size_t m_mask = 0;
    size_t m_count = 0;
};

} // namespace vellaro
