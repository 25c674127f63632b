#include "core/reminderlistmodel.h"

#include "core/error.h"
#include "core/localeformats.h"
#include "core/repeatrule.h"

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
        if (column == kRepeatColumn)
            return repeatText(m_rows.at(index.row()));
        return sortText(m_rows.at(index.row()), column);
    case Qt::DecorationRole:
        if (column != 0)
            return {};
        if (!canFallDue(index.row()))
            return m_cannotFallDueDecoration;
        return m_rows.at(index.row()).isPostponed() ? m_postponedDecoration : m_decoration;
    case Qt::ForegroundRole:
        return hasPassed(index.row()) ? m_passedForeground : QVariant();
    case Qt::ToolTipRole:
        if (canFallDue(index.row()))
            return {};
        return QStringLiteral("Датата или часът не са във формата на текущите регионални "
                              "настройки; този запис няма да прозвучи. Редактирайте го.");
    default:
        return {};
    }
}

QString ReminderListModel::repeatText(const ReminderEntry &row) const
{
    const QString value = row.property(kRepeatRuleProperty);
    if (value.isNull())
        return {};
    const std::optional<RepeatRule> rule = RepeatRule::parse(value);
    if (!rule || !m_formats)
        return value;
    return rule->shortText(*m_formats);
}

void ReminderListModel::markRowsThatCannotFallDue(const LocaleFormats *formats,
                                                  const QVariant &decoration)
{
    m_formats = formats;
    m_cannotFallDueDecoration = decoration;
    formatsChanged();
}

void ReminderListModel::formatsChanged()
{
    m_textsProduced.clear();
    m_moments.clear();
}

void ReminderListModel::setLooked(const QDateTime &lived)
{
    const QDateTime looked(lived.date(), lived.time(), Qt::UTC);
    if (looked == m_looked)
        return;
    m_looked = looked;
    // Only how rows are drawn changes, not what they hold: no dataChanged (which would save the
    // list and plan the check again).
    if (m_passedForeground.isValid())
        emit lookedMoved();
}

bool ReminderListModel::hasPassed(int row) const
{
    if (!m_passedForeground.isValid() || !m_formats || !m_looked.isValid() || row < 0 ||
        row >= m_rows.size())
        return false;
    const ReminderEntry &entry = m_rows.at(row);
    if (!entry.property(kRepeatRuleProperty).isNull())
        return false;
    const std::pair<QString, QString> texts{entry.dateText(), entry.timeText()};
    auto known = m_moments.constFind(texts);
    if (known == m_moments.cend()) {
        QDateTime moment;
        try {
            moment = QDateTime(m_formats->parseDateText(texts.first, m_looked.date().year()),
                               m_formats->parseTimeText(texts.second), Qt::UTC);
        } catch (const Error &) {
            // Texts that name no moment never pass.
        }
        known = m_moments.insert(texts, moment);
    }
    return known->isValid() && *known <= m_looked;
}

bool ReminderListModel::canFallDue(int row) const
{
    if (!m_formats || row < 0 || row >= m_rows.size())
        return true;
    const QStringList &details = m_rows.at(row).details;
    const std::pair<QString, QString> texts{details.value(0), details.value(1)};
    auto known = m_textsProduced.constFind(texts);
    if (known == m_textsProduced.cend())
        known = m_textsProduced.insert(texts, m_formats->producesDateText(texts.first) &&
                                                  m_formats->producesTimeText(texts.second));
    return *known;
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
    case kRepeatColumn:
        return QStringLiteral("Повторение:");
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

// The rows' positions in the column's stable order. Each row's text is sorted beside its
// position, so a comparison reads the two texts and not the rows first.
std::vector<int> ReminderListModel::sortedOrder() const
{
    std::vector<std::pair<QStringView, int>> keys;
    keys.reserve(size_t(m_rows.size()));
    for (int row = 0; row < m_rows.size(); ++row)
        keys.emplace_back(sortText(m_rows.at(row), m_sortColumn), row);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    std::vector<int> order;
    order.reserve(keys.size());
    for (const auto &key : keys)
        order.push_back(key.second);
    return order;
}

// Row i takes the row that stood at order[i]; returns where each row went.
std::vector<int> ReminderListModel::reorder(const std::vector<int> &order)
{
    ReminderEntries sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.append(std::move(m_rows[order[i]]));
        newRowOf[size_t(order[i])] = int(i);
    }
    m_rows = std::move(sorted);
    m_rowsByTextsValid = false;
    return newRowOf;
}

void ReminderListModel::resort()
{
    // A list read in the order it is shown in (saved so) needs no sort.
    if (inOrder())
        return;
    const std::vector<int> order = sortedOrder();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> newRowOf = reorder(order);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to.append(index(newRowOf[size_t(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReminderListModel::indexRow(int row) const
{
    const QStringList &details = m_rows.at(row).details;
    if (details.size() < 2)
        return;
    QList<int> &rows = m_rowsByTexts[{details.at(0), details.at(1)}];
    rows.insert(std::lower_bound(rows.cbegin(), rows.cend(), row), row);
}

void ReminderListModel::unindexRow(int row)
{
    const QStringList &details = m_rows.at(row).details;
    if (details.size() < 2)
        return;
    const auto it = m_rowsByTexts.find({details.at(0), details.at(1)});
    if (it != m_rowsByTexts.end() && it->removeOne(row) && it->isEmpty())
        m_rowsByTexts.erase(it);
}

// Rows were inserted or removed before `from`: the rows from there on moved by `by`. Cheaper
// than building the index again (no texts hashed, nothing allocated).
void ReminderListModel::shiftIndexedRows(int from, int by)
{
    for (QList<int> &rows : m_rowsByTexts) {
        for (int &row : rows) {
            if (row >= from)
                row += by;
        }
    }
}

const QList<int> *ReminderListModel::rowsOf(const QString &dateText, const QString &timeText) const
{
    if (!m_rowsByTextsValid) {
        m_rowsByTexts.clear();
        m_rowsByTexts.reserve(m_rows.size());
        for (int row = 0; row < m_rows.size(); ++row)
            indexRow(row);
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
    emit aboutToChange();
    beginResetModel();
    m_rows = std::move(entries);
    for (ReminderEntry &entry : m_rows)
        giveIdentity(entry);
    m_rowsByTextsValid = false;
    if (!inOrder())
        reorder(sortedOrder());
    endResetModel();
}

int ReminderListModel::addEntry(ReminderEntry entry)
{
    entry.name = sanitizedName(entry.name);
    for (QString &d : entry.details)
        d = sanitizedDetail(d);
    giveIdentity(entry);
    emit aboutToChange();
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
    if (m_rowsByTextsValid) {
        shiftIndexedRows(row, 1);
        indexRow(row);
    }
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
    emit aboutToChange();
    // An edit moves no row, so the index follows it instead of being built again: the check
    // right after an edit of a long list stays as cheap as any other.
    QStringList &details = m_rows[row].details;
    // A row with fewer than two details is not in the index; padding it puts it there.
    const bool reindex = m_rowsByTextsValid && (detail < 2 || details.size() < 2);
    if (reindex)
        unindexRow(row);
    while (details.size() <= detail)
        details.append(QString());
    details[detail] = sanitizedDetail(text);
    if (reindex)
        indexRow(row);
    const int column = std::min(detail + 1, kColumnCount - 1);
    emit dataChanged(index(row, column), index(row, column));
}

int ReminderListModel::updateEntry(int row, ReminderEntry entry)
{
    if (row < 0 || row >= m_rows.size())
        return row;
    entry.name = sanitizedName(entry.name);
    for (QString &d : entry.details)
        d = sanitizedDetail(d);
    entry.id = m_rows.at(row).id;
    if (entry == m_rows.at(row))
        return row;
    emit aboutToChange();
    const bool renamed = entry.name != m_rows.at(row).name;
    if (m_rowsByTextsValid)
        unindexRow(row);
    m_rows[row] = std::move(entry);
    if (m_rowsByTextsValid)
        indexRow(row);
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    if (!renamed)
        return row;
    QPersistentModelIndex tracker(index(row, 0));
    resort();
    return tracker.row();
}

int ReminderListModel::rowOfId(quint64 id) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).id == id)
            return row;
    }
    return -1;
}

void ReminderListModel::removeEntry(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    emit aboutToChange();
    beginRemoveRows({}, row, row);
    if (m_rowsByTextsValid) {
        unindexRow(row);
        shiftIndexedRows(row + 1, -1);
    }
    m_rows.removeAt(row);
    endRemoveRows();
}

} // namespace vellaro
