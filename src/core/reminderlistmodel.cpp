#include "reminderlistmodel.h"

#include <algorithm>
#include <numeric>

namespace vellaro {

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
        return sortText(m_rows.at(index.row()), column);
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

bool ReminderListModel::inOrder() const
{
    const int column = m_sortColumn;
    return std::is_sorted(m_rows.cbegin(), m_rows.cend(), [column](const auto &a, const auto &b) {
        return compareEntries(a, b, column) < 0;
    });
}

void ReminderListModel::resort()
{
    // A list read in the order it is shown in (saved so) needs no sort.
    if (inOrder())
        return;
    const int column = m_sortColumn;
    std::vector<int> order(size_t(m_rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this, column](int a, int b) {
        return compareEntries(m_rows.at(a), m_rows.at(b), column) < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    ReminderEntries sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.append(std::move(m_rows[order[i]]));
        newRowOf[size_t(order[i])] = int(i);
    }
    m_rows = std::move(sorted);
    m_rowsByTextsValid = false;

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to.append(index(newRowOf[size_t(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const QList<int> *ReminderListModel::rowsOf(const QString &dateText, const QString &timeText) const
{
    if (!m_rowsByTextsValid) {
        m_rowsByTexts.clear();
        for (int row = 0; row < m_rows.size(); ++row) {
            const QStringList &details = m_rows.at(row).details;
            if (details.size() >= 2)
                m_rowsByTexts[{details.at(0), details.at(1)}].append(row);
        }
        m_rowsByTextsValid = true;
    }
    const auto it = m_rowsByTexts.constFind({dateText, timeText});
    return it == m_rowsByTexts.cend() ? nullptr : &*it;
}

int ReminderListModel::countWithTexts(const QString &dateText, const QString &timeText) const
{
    const QList<int> *rows = rowsOf(dateText, timeText);
    return rows ? int(rows->size()) : 0;
}

QList<int> ReminderListModel::rowsWithTexts(const QString &dateText, const QString &timeText) const
{
    const QList<int> *rows = rowsOf(dateText, timeText);
    return rows ? *rows : QList<int>();
}

void ReminderListModel::setEntries(ReminderEntries entries)
{
    beginResetModel();
    m_rows = std::move(entries);
    m_rowsByTextsValid = false;
    if (!inOrder()) {
        const int column = m_sortColumn;
        std::stable_sort(m_rows.begin(), m_rows.end(), [column](const auto &a, const auto &b) {
            return compareEntries(a, b, column) < 0;
        });
    }
    endResetModel();
}

int ReminderListModel::addEntry(ReminderEntry entry)
{
    entry.name = sanitizedName(entry.name);
    for (QString &d : entry.details)
        d = sanitizedDetail(d);
    // An edit of a date, time or note leaves its row where it was, so the list may be out of
    // order: then the add sorts the whole list again, or the new row could land anywhere.
    const int column = m_sortColumn;
    const bool sorted = inOrder();
    int row = int(m_rows.size());
    if (sorted) {
        const auto at = std::upper_bound(
            m_rows.cbegin(), m_rows.cend(), entry,
            [column](const auto &a, const auto &b) { return compareEntries(a, b, column) < 0; });
        row = int(at - m_rows.cbegin());
    }
    beginInsertRows({}, row, row);
    m_rows.insert(row, std::move(entry));
    m_rowsByTextsValid = false;
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
    if (row < 0 || row >= m_rows.size() || m_rows.at(row).name == safe)
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
    QStringList &details = m_rows[row].details;
    while (details.size() <= detail)
        details.append(QString());
    details[detail] = sanitizedDetail(text);
    m_rowsByTextsValid = false;
    const int column = std::min(detail + 1, kColumnCount - 1);
    emit dataChanged(index(row, column), index(row, column));
}

void ReminderListModel::removeEntry(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    m_rowsByTextsValid = false;
    endRemoveRows();
}

} // namespace vellaro
