#include "reminderlistmodel.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <system_error>
#include <thread>
#include <tuple>

namespace vellaro {

namespace {

// A row's sort text and where the row stands. The sort moves these small records and reads the
// texts straight through them, not through the rows.
struct SortKey
{
    // The first four UTF-16 units, the first in the highest bits, zeros past the end: where two
    // texts differ in them, this alone orders them, without a look into either text.
    quint64 prefix;
    const QChar *text;
    int size;
    int row;
};

std::vector<SortKey> sortKeysOf(const ReminderEntries &rows, int column)
{
    std::vector<SortKey> keys;
    keys.reserve(size_t(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const QString &text = sortText(rows[i], column);
        quint64 prefix = 0;
        for (qsizetype k = 0; k < 4; ++k)
            prefix = prefix << 16 | (k < text.size() ? text.at(k).unicode() : 0);
        keys.push_back({prefix, text.constData(), int(text.size()), i});
    }
    return keys;
}

// Whether the rows stand in the column's order already, as a list saved in that order is read.
bool inOrder(const ReminderEntries &rows, int column)
{
    for (qsizetype i = 1; i < rows.size(); ++i) {
        if (compareEntries(rows[i - 1], rows[i], column) > 0)
            return false;
    }
    return true;
}

// One different text among the keys: its storage, and where its rows stand in the keys.
struct TextRun
{
    quint64 prefix;
    const QChar *text;
    int size;
    int begin;
    int end;
};

// Sorts the keys and writes the rows' positions in their order into `order` (already sized):
// ordinal order of the texts, rows with equal texts in the order they stood. `runs` is room for
// one record a key, reserved by the caller: this allocates nothing, so it may run on a thread
// of its own.
//
// A long list has far fewer different texts than rows, and a list read from a file shares the
// storage of every repeated text. So the keys are first sorted by storage, with integer
// comparisons only, which brings each text's rows together in row order; then each different
// text is compared by its content once, instead of at every comparison of two of its rows.
void sortInto(std::vector<SortKey> &keys, std::vector<TextRun> &runs, std::vector<int> &order)
{
    std::sort(keys.begin(), keys.end(), [](const SortKey &a, const SortKey &b) {
        const auto at = [](const SortKey &k) {
            return std::tuple(k.prefix, quintptr(k.text), k.size, k.row);
        };
        return at(a) < at(b);
    });
    runs.clear();
    for (int i = 0; i < int(keys.size());) {
        int end = i + 1;
        while (end < int(keys.size()) && keys[size_t(end)].text == keys[size_t(i)].text &&
               keys[size_t(end)].size == keys[size_t(i)].size)
            ++end;
        const SortKey &k = keys[size_t(i)];
        runs.push_back({k.prefix, k.text, k.size, i, end});
        i = end;
    }
    const auto content = [](const TextRun &r) { return QStringView(r.text, r.size); };
    std::sort(runs.begin(), runs.end(), [&content](const TextRun &a, const TextRun &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return content(a).compare(content(b)) < 0;
    });
    // Equal texts kept in different storage are one text: their rows merge in row order.
    size_t out = 0;
    for (size_t r = 0; r < runs.size();) {
        size_t same = r + 1;
        while (same < runs.size() && runs[same].prefix == runs[r].prefix &&
               content(runs[same]) == content(runs[r]))
            ++same;
        const size_t from = out;
        for (size_t k = r; k < same; ++k) {
            for (int i = runs[k].begin; i < runs[k].end; ++i)
                order[out++] = keys[size_t(i)].row;
        }
        if (same - r > 1)
            std::sort(order.begin() + qsizetype(from), order.begin() + qsizetype(out));
        r = same;
    }
}

// The rows' positions in the order of the column (ordinal, ascending, stable).
std::vector<int> sortedOrder(const ReminderEntries &rows, int column)
{
    std::vector<SortKey> keys = sortKeysOf(rows, column);
    std::vector<TextRun> runs;
    runs.reserve(keys.size());
    std::vector<int> order(keys.size());
    sortInto(keys, runs, order);
    return order;
}

// Puts the row that stood at order[i] at i, following each cycle of the permutation, so no
// second list is needed. The order is used up. Rows are relocatable (their members hold no
// pointer to themselves), so a row is moved as its bytes, without the member-by-member move that
// would write each one's source back empty.
void applyOrder(ReminderEntries &rows, std::vector<int> &order)
{
    static_assert(QTypeInfo<ReminderEntry>::isRelocatable);
    void *const base = rows.data();
    const auto at = [base](int row) {
        return static_cast<char *>(base) + size_t(row) * sizeof(ReminderEntry);
    };
    alignas(ReminderEntry) char held[sizeof(ReminderEntry)];
    for (int start = 0; start < int(order.size()); ++start) {
        if (order[size_t(start)] < 0 || order[size_t(start)] == start) {
            order[size_t(start)] = -1;
            continue;
        }
        std::memcpy(held, at(start), sizeof held);
        int to = start;
        for (;;) {
            const int from = order[size_t(to)];
            order[size_t(to)] = -1;
            if (from == start) {
                std::memcpy(at(to), held, sizeof held);
                break;
            }
            std::memcpy(at(to), at(from), sizeof held);
            to = from;
        }
    }
}

// Below this, a thread costs more than it saves.
constexpr int kRowsWorthASortThread = 20000;

} // namespace

ReminderListModel::ReminderListModel(QObject *parent) : QAbstractTableModel(parent) {}

int ReminderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ReminderListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ReminderListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ReminderEntry &e = m_rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column == 0)
            return e.name;
        if (column - 1 < e.details.size())
            return e.details.at(column - 1);
        return QString();
    case Qt::DecorationRole:
        return column == 0 ? m_decoration : QVariant();
    default:
        return {};
    }
}

bool ReminderListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0)
        return false;
    setName(index.row(), value.toString());
    return true;
}

Qt::ItemFlags ReminderListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant ReminderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("Име:");
    case 1:
        return QStringLiteral("Дата:");
    case 2:
        return QStringLiteral("Час:");
    case 3:
        return QStringLiteral("Осведомяване за:");
    default:
        return {};
    }
}

void ReminderListModel::resort()
{
    if (inOrder(m_rows, m_sortColumn))
        return;
    std::vector<int> order = sortedOrder(m_rows, m_sortColumn);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    std::vector<quint32> ids(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRowOf[size_t(order[i])] = int(i);
        ids[i] = m_ids[size_t(order[i])];
    }
    applyOrder(m_rows, order);
    m_ids = std::move(ids);
    updateRowsOfIds(0);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to.append(index(newRowOf[static_cast<size_t>(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReminderListModel::indexAdd(int row)
{
    const ReminderEntry &e = m_rows.at(row);
    if (!hasTexts(e))
        return;
    // The newest row with the texts heads their chain.
    const quint32 id = m_ids[size_t(row)];
    quint32 &head = m_textIndex[keyOf(e)];
    m_nextSameTexts[id] = head;
    head = id + 1;
}

void ReminderListModel::indexRemove(int row)
{
    const ReminderEntry &e = m_rows.at(row);
    if (!hasTexts(e))
        return;
    const auto it = m_textIndex.find(keyOf(e));
    if (it == m_textIndex.end())
        return;
    const quint32 id = m_ids[size_t(row)];
    quint32 *link = &it.value();
    while (*link != 0 && *link != id + 1)
        link = &m_nextSameTexts[*link - 1];
    if (*link != 0)
        *link = m_nextSameTexts[id];
    if (it.value() == 0)
        m_textIndex.erase(it);
}

void ReminderListModel::updateRowsOfIds(int from)
{
    for (size_t row = size_t(from); row < m_ids.size(); ++row)
        m_rowOfId[m_ids[row]] = int(row);
}

size_t ReminderListModel::keyOf(QStringView dateText, QStringView timeText)
{
    return qHashMulti(QHashSeed::globalSeed(), dateText, timeText);
}

template <typename F>
void ReminderListModel::forEachRowWithTexts(const QString &dateText, const QString &timeText,
                                            F &&f) const
{
    for (quint32 link = m_textIndex.value(keyOf(dateText, timeText), 0); link != 0;
         link = m_nextSameTexts[link - 1]) {
        const int row = m_rowOfId[link - 1];
        const ReminderEntry &e = m_rows.at(row);
        if (hasTexts(e) && e.details.at(0) == dateText && e.details.at(1) == timeText)
            f(row);
    }
}

int ReminderListModel::countWithTexts(const QString &dateText, const QString &timeText) const
{
    int count = 0;
    forEachRowWithTexts(dateText, timeText, [&count](int) { ++count; });
    return count;
}

QList<int> ReminderListModel::rowsWithTexts(const QString &dateText, const QString &timeText) const
{
    QList<int> rows;
    forEachRowWithTexts(dateText, timeText, [&rows](int row) { rows.append(row); });
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ReminderListModel::setEntries(ReminderEntries entries)
{
    beginResetModel();
    m_rows = std::move(entries);
    const int count = int(m_rows.size());

    // The sort and the index of date and time texts only read the rows; for a long list (the
    // load at start) the sort runs on a second thread while this one builds the index. Each
    // row's identity is where it stood before the sort. A list read in the order it is shown
    // in (saved so) needs no sort.
    const bool sorted = inOrder(m_rows, m_sortColumn);
    std::vector<SortKey> keys;
    std::vector<TextRun> runs;
    if (!sorted) {
        keys = sortKeysOf(m_rows, m_sortColumn);
        runs.reserve(keys.size());
    }
    std::vector<int> order(static_cast<size_t>(count));
    std::thread sorter;
    if (!sorted && count >= kRowsWorthASortThread) {
        try {
            sorter = std::thread(sortInto, std::ref(keys), std::ref(runs), std::ref(order));
        } catch (const std::system_error &) {
            // No thread to be had: sorted below, on this one.
        }
    }
    const bool sortedAside = sorter.joinable();

    m_ids.resize(size_t(count));
    m_rowOfId.resize(size_t(count));
    m_nextSameTexts.assign(size_t(count), 0);
    m_textIndex.clear();
    try {
        m_textIndex.reserve(count);
        for (int row = 0; row < count; ++row) {
            m_ids[size_t(row)] = quint32(row);
            indexAdd(row);
        }
    } catch (...) {
        if (sortedAside)
            sorter.join();
        throw;
    }
    if (sortedAside)
        sorter.join();
    else if (!sorted)
        sortInto(keys, runs, order);
    else
        std::iota(order.begin(), order.end(), 0);

    for (int row = 0; row < count; ++row) {
        m_ids[size_t(row)] = quint32(order[size_t(row)]);
        m_rowOfId[size_t(order[size_t(row)])] = row;
    }
    applyOrder(m_rows, order);
    endResetModel();
}

int ReminderListModel::addEntry(ReminderEntry entry)
{
    entry.name = sanitizedName(entry.name);
    for (QString &d : entry.details)
        d = sanitizedDetail(d);
    const int column = m_sortColumn;
    const auto less = [column](const ReminderEntry &a, const ReminderEntry &b) {
        return compareEntries(a, b, column) < 0;
    };
    // An edit of a date, time or note leaves its row where it was, so the list may be out of
    // order: then the add sorts the whole list again, or the new row could land anywhere.
    const bool inOrder = std::is_sorted(m_rows.begin(), m_rows.end(), less);
    const int row =
        inOrder ? static_cast<int>(std::upper_bound(m_rows.begin(), m_rows.end(), entry, less) -
                                   m_rows.begin())
                : static_cast<int>(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.insert(row, std::move(entry));
    m_ids.insert(m_ids.begin() + row, quint32(m_rowOfId.size()));
    m_rowOfId.push_back(row);
    m_nextSameTexts.push_back(0);
    updateRowsOfIds(row + 1);
    indexAdd(row);
    endInsertRows();
    if (inOrder)
        return row;
    QPersistentModelIndex tracker(index(row, 0));
    resort();
    return tracker.row();
}

int ReminderListModel::setName(int row, const QString &name)
{
    const QString safe = sanitizedName(name);
    if (row < 0 || row >= m_rows.size() || m_rows[row].name == safe)
        return row;
    m_rows[row].name = safe;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed);

    QPersistentModelIndex tracker(changed);
    resort();
    return tracker.row();
}

void ReminderListModel::setDetail(int row, int detail, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || detail < 0)
        return;
    indexRemove(row);
    ReminderDetails &details = m_rows[row].details;
    while (details.size() <= detail)
        details.append(QString());
    details[detail] = sanitizedDetail(text);
    indexAdd(row);
    const int column = std::min(detail + 1, kColumnCount - 1);
    emit dataChanged(index(row, column), index(row, column));
}

void ReminderListModel::removeEntry(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    indexRemove(row);
    m_rowOfId[m_ids[size_t(row)]] = -1;
    m_rows.removeAt(row);
    m_ids.erase(m_ids.begin() + row);
    updateRowsOfIds(row);
    endRemoveRows();
}

} // namespace vellaro
