#include "reminderlistmodel.h"

#include <algorithm>

namespace vellaro {

namespace {

// Whether the rows stand in the column's order already, as a list saved in that order is read.
bool inOrder(const ReminderRows &rows, int column)
{
    ReminderRows::TextId before = rows.isEmpty() ? 0 : rows.textId(0, column);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const ReminderRows::TextId id = rows.textId(i, column);
        if (id != before && rows.textOf(before).compare(rows.textOf(id)) > 0)
            return false;
        before = id;
    }
    return true;
}

// One different text of the column while the texts are sorted.
struct TextKey
{
    // Four UTF-16 units of the text from where the sort has come to, the first in the highest
    // bits, zeros past the end.
    quint64 chunk;
    ReminderRows::TextId id;
    // How many of those units the text has, 5 when it goes on past them.
    quint8 units;
    // Whether the text is equal to the one before it in the order.
    bool same;
};

constexpr qsizetype kChunkUnits = 4;

void readChunk(TextKey &key, const QString &text, qsizetype from)
{
    key.chunk = 0;
    for (qsizetype k = from; k < from + kChunkUnits; ++k)
        key.chunk = key.chunk << 16 | (k < text.size() ? text.at(k).unicode() : 0);
    key.units = quint8(std::min(text.size() - from, kChunkUnits + 1));
}

// Sorts the different texts into ordinal order and marks those equal to the one before them.
// The texts are sorted by their first four units, then each group that agrees in them by the
// next four, and so on: a text is read a few units at a time where it has to be, never compared
// whole again and again with others that share its beginning (a long list's names do:
// "Рожден ден на ...").
void sortTexts(std::vector<TextKey> &keys, const ReminderRows &rows)
{
    struct Group
    {
        size_t begin;
        size_t end;
        qsizetype from;
    };
    std::vector<Group> todo{{0, keys.size(), 0}};
    const auto before = [](const TextKey &a, const TextKey &b) {
        return a.chunk != b.chunk ? a.chunk < b.chunk : a.units < b.units;
    };
    while (!todo.empty()) {
        const Group g = todo.back();
        todo.pop_back();
        std::sort(keys.begin() + qsizetype(g.begin), keys.begin() + qsizetype(g.end), before);
        for (size_t i = g.begin; i < g.end;) {
            size_t j = i + 1;
            while (j < g.end && keys[j].chunk == keys[i].chunk && keys[j].units == keys[i].units)
                ++j;
            if (j - i > 1) {
                if (keys[i].units <= kChunkUnits) {
                    // They all end here, alike: equal texts.
                    for (size_t k = i + 1; k < j; ++k)
                        keys[k].same = true;
                } else {
                    const qsizetype from = g.from + kChunkUnits;
                    for (size_t k = i; k < j; ++k)
                        readChunk(keys[k], rows.textOf(keys[k].id), from);
                    todo.push_back({i, j, from});
                }
            }
            i = j;
        }
    }
}

// Writes the rows' positions in the column's order into `order` (already sized): ordinal order
// of the texts, rows with equal texts in the order they stood.
//
// A long list has far fewer different texts than rows, and rows with the same text mostly hold
// the same number. So each different text is sorted once: the texts are sorted and ranked
// (equal texts under different numbers get the same rank), and the rows are then counted into
// their places by rank, which keeps rows of equal texts in the order they stood.
void sortInto(const ReminderRows &rows, int column, std::vector<int> &order)
{
    constexpr quint32 kUnseen = ~quint32(0);
    std::vector<quint32> rankOf(size_t(rows.textCount()), kUnseen);
    std::vector<TextKey> texts;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ReminderRows::TextId id = rows.textId(i, column);
        if (rankOf[id] != kUnseen)
            continue;
        rankOf[id] = 0;
        TextKey key{0, id, 0, false};
        readChunk(key, rows.textOf(id), 0);
        texts.push_back(key);
    }
    sortTexts(texts, rows);
    // starts[r] is where the rows of rank r begin.
    std::vector<int> starts;
    starts.reserve(texts.size() + 1);
    for (const TextKey &key : texts) {
        if (!key.same)
            starts.push_back(0);
        rankOf[key.id] = quint32(starts.size() - 1);
    }
    starts.push_back(0);
    for (qsizetype i = 0; i < rows.size(); ++i)
        ++starts[rankOf[rows.textId(i, column)] + 1];
    for (size_t r = 1; r < starts.size(); ++r)
        starts[r] += starts[r - 1];
    for (qsizetype i = 0; i < rows.size(); ++i)
        order[size_t(starts[rankOf[rows.textId(i, column)]]++)] = int(i);
}

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
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rows.text(index.row(), column);
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
    std::vector<int> order(size_t(m_rows.size()));
    sortInto(m_rows, m_sortColumn, order);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[size_t(order[i])] = int(i);
    m_rows.reorder(order);
    m_index.reorder(newRowOf);

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
    if (hasTexts(row))
        m_index.add(row, keyOf(row), [this](int r) { return keyOf(r); });
}

void ReminderListModel::indexRemove(int row)
{
    if (hasTexts(row))
        m_index.remove(row, keyOf(row), [this](int r) { return keyOf(r); });
}

quint64 ReminderListModel::keyOf(QStringView dateText, QStringView timeText)
{
    return keyOf(ReminderRows::hashOf(dateText), ReminderRows::hashOf(timeText));
}

template <typename F>
void ReminderListModel::forEachRowWithTexts(const QString &dateText, const QString &timeText,
                                            F &&f) const
{
    // The rows under the texts' key are checked for the texts themselves: two pairs of texts
    // may have the same hashes.
    m_index.forEach(
        keyOf(dateText, timeText), [this](int r) { return keyOf(r); },
        [&](int row) {
            if (m_rows.detail(row, 0) == dateText && m_rows.detail(row, 1) == timeText)
                f(row);
        });
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

void ReminderListModel::setRows(ReminderRows rows)
{
    emit aboutToChange();
    beginResetModel();
    m_rows = std::move(rows);
    const int count = int(m_rows.size());

    // A list read in the order it is shown in (saved so) needs no sort. The index is built
    // once the rows stand in their places.
    if (!inOrder(m_rows, m_sortColumn)) {
        std::vector<int> order(static_cast<size_t>(count));
        sortInto(m_rows, m_sortColumn, order);
        m_rows.reorder(order);
    }
    m_index.reset(count);
    for (int row = 0; row < count; ++row)
        indexAdd(row);
    endResetModel();
}

void ReminderListModel::setEntries(const ReminderEntries &entries)
{
    setRows(ReminderRows(entries));
}

int ReminderListModel::addEntry(ReminderEntry entry)
{
    entry.name = sanitizedName(entry.name);
    for (QString &d : entry.details)
        d = sanitizedDetail(d);
    emit aboutToChange();
    // An edit of a date, time or note leaves its row where it was, so the list may be out of
    // order: then the add sorts the whole list again, or the new row could land anywhere.
    const int column = m_sortColumn;
    const bool sorted = inOrder(m_rows, column);
    int row = int(m_rows.size());
    if (sorted) {
        const QString &text = sortText(entry, column);
        int low = 0;
        while (low < row) {
            const int middle = low + (row - low) / 2;
            if (m_rows.text(middle, column).compare(text) <= 0)
                low = middle + 1;
            else
                row = middle;
        }
    }
    beginInsertRows({}, row, row);
    m_rows.insert(row, entry);
    m_index.rowInserted(row);
    indexAdd(row);
    endInsertRows();
    if (sorted)
        return row;
    QPersistentModelIndex tracker(index(row, 0));
    resort();
    return tracker.row();
}

int ReminderListModel::setName(int row, const QString &name)
{
    const QString safe = sanitizedName(name);
    if (row < 0 || row >= m_rows.size() || m_rows.name(row) == safe)
        return row;
    m_rows.setName(row, safe);
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
    emit aboutToChange();
    indexRemove(row);
    m_rows.setDetail(row, detail, sanitizedDetail(text));
    indexAdd(row);
    const int column = std::min(detail + 1, kColumnCount - 1);
    emit dataChanged(index(row, column), index(row, column));
}

void ReminderListModel::removeEntry(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    emit aboutToChange();
    beginRemoveRows({}, row, row);
    indexRemove(row);
    m_rows.remove(row);
    m_index.rowRemoved(row);
    endRemoveRows();
}

} // namespace vellaro
