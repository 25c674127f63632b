#include "reminderrows.h"

#include <QStringEncoder>
#include <QVarLengthArray>

#include <cstring>
#include <type_traits>
#include <utility>

namespace vellaro {

ReminderRows::ReminderRows() : m_texts(1), m_hashes(1, hashOfUtf8({})), m_uses(1, 0) {}

quint32 ReminderRows::hashOfUtf8(QByteArrayView bytes)
{
    return quint32(qHash(bytes, QHashSeed::globalSeed()));
}

quint32 ReminderRows::hashOf(QStringView text)
{
    // Short texts, such as the clock's date and time texts, are encoded without an allocation.
    QVarLengthArray<char, 128> bytes(3 * text.size());
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char *const end = encoder.appendToBuffer(bytes.data(), text);
    return hashOfUtf8(QByteArrayView(bytes.data(), end - bytes.data()));
}

ReminderRows::ReminderRows(const ReminderEntries &entries) : ReminderRows()
{
    reserve(entries.size(), 4 * entries.size());
    for (const ReminderEntry &e : entries)
        insert(size(), e);
}

void ReminderRows::reserve(qsizetype rows, qsizetype texts)
{
    m_rows.reserve(rows);
    m_texts.reserve(texts);
    m_hashes.reserve(texts);
    m_uses.reserve(texts);
}

ReminderEntries ReminderRows::toEntries() const
{
    ReminderEntries entries;
    entries.reserve(size());
    for (qsizetype row = 0; row < size(); ++row)
        entries.append(entry(row));
    return entries;
}

qsizetype ReminderRows::detailCount(qsizetype row) const
{
    const Row &r = m_rows[row];
    qsizetype count = 0;
    while (count < kInlineDetails && r.details[size_t(count)] != kNoText)
        ++count;
    return r.more ? count + m_more[r.more - 1].size() : count;
}

const QString &ReminderRows::detail(qsizetype row, qsizetype k) const
{
    const Row &r = m_rows[row];
    if (k < kInlineDetails) {
        const TextId id = r.details[size_t(k)];
        return m_texts[id == kNoText ? kEmptyText : id];
    }
    if (r.more && k - kInlineDetails < m_more[r.more - 1].size())
        return m_more[r.more - 1].at(k - kInlineDetails);
    return m_texts[kEmptyText];
}

ReminderRows::TextId ReminderRows::textId(qsizetype row, int column) const
{
    const Row &r = m_rows[row];
    if (column <= 0)
        return r.name;
    if (column - 1 < kInlineDetails) {
        const TextId id = r.details[size_t(column - 1)];
        return id == kNoText ? kEmptyText : id;
    }
    // Details past the first three have no number of their own; only the list columns (name and
    // the first three details) are asked for.
    Q_ASSERT(false);
    return kEmptyText;
}

ReminderEntry ReminderRows::entry(qsizetype row) const
{
    ReminderEntry e{name(row), {}};
    const qsizetype count = detailCount(row);
    for (qsizetype k = 0; k < count; ++k)
        e.details.append(detail(row, k));
    return e;
}

ReminderRows::TextId ReminderRows::addText(QString text, quint32 hash)
{
    if (text.isEmpty())
        return kEmptyText;
    if (!m_freeTexts.empty()) {
        const TextId id = m_freeTexts.back();
        m_freeTexts.pop_back();
        m_texts[id] = std::move(text);
        m_hashes[id] = hash;
        return id;
    }
    m_texts.push_back(std::move(text));
    m_hashes.push_back(hash);
    m_uses.push_back(0);
    return TextId(m_texts.size() - 1);
}

void ReminderRows::release(TextId id)
{
    if (id == kNoText || id == kEmptyText || --m_uses[id] != 0)
        return;
    m_texts[id] = QString();
    m_freeTexts.push_back(id);
}

void ReminderRows::releaseRow(const Row &row)
{
    release(row.name);
    for (const TextId id : row.details)
        release(id);
    if (row.more) {
        m_more[row.more - 1] = QStringList();
        m_freeMore.push_back(row.more - 1);
    }
}

ReminderRows::Row ReminderRows::rowOf(const ReminderEntry &entry)
{
    Row r{addText(entry.name), {kNoText, kNoText, kNoText}, 0};
    use(r.name);
    const qsizetype count = entry.details.size();
    for (qsizetype k = 0; k < count && k < kInlineDetails; ++k) {
        r.details[size_t(k)] = addText(entry.details.at(k));
        use(r.details[size_t(k)]);
    }
    if (count > kInlineDetails) {
        QStringList more;
        more.reserve(count - kInlineDetails);
        for (qsizetype k = kInlineDetails; k < count; ++k)
            more.append(entry.details.at(k));
        if (!m_freeMore.empty()) {
            r.more = m_freeMore.back() + 1;
            m_freeMore.pop_back();
            m_more[r.more - 1] = std::move(more);
        } else {
            m_more.push_back(std::move(more));
            r.more = quint32(m_more.size());
        }
    }
    return r;
}

void ReminderRows::insert(qsizetype row, const ReminderEntry &entry)
{
    const Row r = rowOf(entry);
    m_rows.insert(m_rows.begin() + row, r);
}

void ReminderRows::remove(qsizetype row)
{
    releaseRow(m_rows[row]);
    m_rows.erase(m_rows.begin() + row);
}

void ReminderRows::setName(qsizetype row, const QString &name)
{
    Row &r = m_rows[row];
    const TextId id = addText(name);
    use(id);
    release(r.name);
    r.name = id;
}

void ReminderRows::setDetail(qsizetype row, qsizetype k, const QString &text)
{
    if (k >= kInlineDetails || m_rows[row].more) {
        // A row with details past the first three is rare (a hand-edited file): made anew.
        ReminderEntry e = entry(row);
        while (e.details.size() <= k)
            e.details.append(QString());
        e.details[k] = text;
        const Row r = rowOf(e);
        releaseRow(m_rows[row]);
        m_rows[row] = r;
        return;
    }
    Row &r = m_rows[row];
    for (qsizetype before = 0; before < k; ++before) {
        if (r.details[size_t(before)] == kNoText)
            r.details[size_t(before)] = kEmptyText;
    }
    const TextId id = addText(text);
    use(id);
    release(r.details[size_t(k)]);
    r.details[size_t(k)] = id;
}

void ReminderRows::reorder(std::vector<int> &order)
{
    // Each cycle of the permutation is followed in place, so no second list of rows is needed.
    static_assert(std::is_trivially_copyable_v<Row>);
    for (int start = 0; start < int(order.size()); ++start) {
        if (order[size_t(start)] < 0 || order[size_t(start)] == start) {
            order[size_t(start)] = -1;
            continue;
        }
        const Row held = m_rows[start];
        int to = start;
        for (;;) {
            const int from = order[size_t(to)];
            order[size_t(to)] = -1;
            if (from == start) {
                m_rows[to] = held;
                break;
            }
            m_rows[to] = m_rows[from];
            to = from;
        }
    }
}

void ReminderRows::appendRow(TextId name)
{
    use(name);
    m_rows.push_back({name, {kNoText, kNoText, kNoText}, 0});
}

bool ReminderRows::hasRoomForSharedDetail() const
{
    return m_rows.back().details.back() == kNoText;
}

void ReminderRows::appendDetail(TextId text)
{
    Row &r = m_rows.back();
    for (TextId &slot : r.details) {
        if (slot == kNoText) {
            use(text);
            slot = text;
            return;
        }
    }
    Q_ASSERT(false);
}

void ReminderRows::appendDetail(QString text)
{
    if (hasRoomForSharedDetail()) {
        appendDetail(addText(std::move(text)));
        return;
    }
    Row &r = m_rows.back();
    if (!r.more) {
        m_more.emplace_back();
        r.more = quint32(m_more.size());
    }
    m_more[r.more - 1].append(std::move(text));
}

} // namespace vellaro
