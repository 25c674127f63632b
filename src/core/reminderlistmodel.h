#pragma once

#include "reminderrows.h"
#include "rowkeyindex.h"

#include <QAbstractTableModel>

namespace vellaro {

// The main window's list: the only store of reminders for the whole run. Rows stand in the
// order of the current sort column (ascending, ordinal); the list file is written in this order.
class ReminderListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 4;

    explicit ReminderListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const ReminderRows &rows() const { return m_rows; }
    ReminderEntry entry(int row) const { return m_rows.entry(row); }
    ReminderEntries entries() const { return m_rows.toEntries(); }

    int sortColumn() const { return m_sortColumn; }
    void setSortColumn(int column) { m_sortColumn = column; }
    // Re-sorts by the current sort column; selections and other persistent indexes follow rows.
    void resort();

    // Replaces every row and sorts once.
    void setRows(ReminderRows rows);
    void setEntries(const ReminderEntries &entries);
    void clear() { setRows({}); }
    // Inserts at the row's sorted place and returns its row.
    int addEntry(ReminderEntry entry);
    // Sets a row's name; a different name re-sorts the list. Returns the row's new position.
    int setName(int row, const QString &name);
    // Setting a detail does not re-sort. Missing details before it are added empty.
    void setDetail(int row, int detail, const QString &text);
    void removeEntry(int row);

    // How many rows carry exactly this date text and time text, and which rows they are, in
    // display order. Kept up to date by every change, so the once-a-second check costs the same
    // for ten rows or a hundred thousand, whether something is due or not.
    int countWithTexts(const QString &dateText, const QString &timeText) const;
    QList<int> rowsWithTexts(const QString &dateText, const QString &timeText) const;

signals:
    // Sent before a row is added, removed or given another detail, and before the whole list is
    // replaced, while the rows are still as they were: the check looks at the seconds that have
    // passed first, so that a change never reaches back into them.
    void aboutToChange();

public:
    // The picture every row shows (the window layer provides it; the model needs no GUI).
    void setRowDecoration(const QVariant &decoration) { m_decoration = decoration; }

private:
    bool hasTexts(int row) const { return m_rows.detailCount(row) >= 2; }
    static quint64 keyOf(QStringView dateText, QStringView timeText);
    quint64 keyOf(int row) const
    {
        return keyOf(m_rows.textHash(m_rows.textId(row, 1)),
                     m_rows.textHash(m_rows.textId(row, 2)));
    }
    static quint64 keyOf(quint32 dateHash, quint32 timeHash)
    {
        return quint64(dateHash) << 32 | timeHash;
    }
    // Calls f(row) for each row that carries exactly these texts, in no particular order: the
    // rows chained under their hash, each checked for the texts themselves.
    template <typename F>
    void forEachRowWithTexts(const QString &dateText, const QString &timeText, F &&f) const;
    void indexAdd(int row);
    void indexRemove(int row);

    // The rows by the hashes of their date and time texts, as far as they have both.
    RowKeyIndex m_index;
    ReminderRows m_rows;
    int m_sortColumn = 0;
    QVariant m_decoration;
};

} // namespace vellaro
