#pragma once

#include "core/reminderentry.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>

#include <utility>
#include <vector>

namespace vellaro {

class LocaleFormats;

// The main window's list: the only store of reminders for the whole run. Rows stand in the
// order of the current sort column (ascending, ordinal, stable); the list file is written in
// this order.
class ReminderListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 5;

    explicit ReminderListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const ReminderEntries &rows() const { return m_rows; }
    ReminderEntry entry(int row) const { return m_rows.at(row); }
    ReminderEntries entries() const { return m_rows; }

    int sortColumn() const { return m_sortColumn; }
    void setSortColumn(int column) { m_sortColumn = column; }
    // Re-sorts by the current sort column; selections and other persistent indexes follow rows.
    void resort();

    // Replaces every row and sorts once.
    void setEntries(ReminderEntries entries);
    void clear() { setEntries({}); }
    // Inserts where a stable sort of the list with the row appended puts it (after the rows
    // that tie with it) and returns its row.
    int addEntry(ReminderEntry entry);
    // Sets a row's name; a different name re-sorts the list. Returns the row's new position.
    int setName(int row, const QString &name);
    // Setting a detail does not re-sort. Missing details before it are added empty.
    void setDetail(int row, int detail, const QString &text);
    // Replaces a row's name and details in one change (the row keeps its identity); a new name
    // re-sorts the list. Returns the row's new position.
    int updateEntry(int row, ReminderEntry entry);
    void removeEntry(int row);
    // The row that carries this identity; -1 when it is gone.
    int rowOfId(quint64 id) const;

    // How many rows carry exactly this date text and time text, and which rows they are, in
    // display order. The check asks this for every second it looks at, so the answer comes from
    // an index, not a walk through the list.
    int countWithTexts(const QString &dateText, const QString &timeText) const;
    QList<int> rowsWithTexts(const QString &dateText, const QString &timeText) const;

signals:
    // Sent before a row is added, removed or given another detail, and before the whole list is
    // replaced, while the rows are still as they were: the check looks at the seconds that have
    // passed first, so that a change never reaches back into them.
    void aboutToChange();
    // The second that tells passed rows from the others moved on: draw the rows again.
    void lookedMoved();

public:
    // The picture every row shows, and the one a postponed row shows instead (the window layer
    // provides them; the model needs no GUI).
    void setRowDecoration(const QVariant &decoration) { m_decoration = decoration; }
    void setPostponedDecoration(const QVariant &decoration) { m_postponedDecoration = decoration; }

    // Rows whose date or time text the regional settings in `formats` never produce can never
    // fall due: they show `decoration` instead of the row's picture and a tooltip that says why.
    // Worked out for the rows shown, when shown, once per pair of texts. Without formats no row
    // is marked. Call formatsChanged() when the settings behind `formats` change (no row's data
    // changes with them, so no signal goes out: the view draws itself again).
    void markRowsThatCannotFallDue(const LocaleFormats *formats, const QVariant &decoration);
    void formatsChanged();
    bool canFallDue(int row) const;

    // One-off rows whose moment is at or before the last second the check has looked at are
    // drawn with `foreground` (the window layer gives the palette's disabled text colour).
    // setLooked() moves that second on.
    void drawPassedRowsWith(const QVariant &foreground) { m_passedForeground = foreground; }
    void setLooked(const QDateTime &lived);

private:
    // What the repeat column shows: the rule in short words, or as written.
    QString repeatText(const ReminderEntry &row) const;
    bool inOrder() const;
    std::vector<int> sortedOrder() const;
    std::vector<int> reorder(const std::vector<int> &order);
    void indexRow(int row) const;
    void unindexRow(int row);
    void shiftIndexedRows(int from, int by);
    const QList<int> *rowsOf(const QString &dateText, const QString &timeText) const;

    void giveIdentity(ReminderEntry &entry) { entry.id = ++m_lastId; }

    ReminderEntries m_rows;
    quint64 m_lastId = 0;
    int m_sortColumn = 0;
    QVariant m_decoration;
    const LocaleFormats *m_formats = nullptr;
    QVariant m_cannotFallDueDecoration;
    // (date text, time text) → whether the regional settings produce both.
    mutable QHash<std::pair<QString, QString>, bool> m_textsProduced;
    QVariant m_postponedDecoration;
    QVariant m_passedForeground;
    QDateTime m_looked; // local date and time, no zone
    // (date text, time text) → the moment they name; invalid when they name none.
    mutable QHash<std::pair<QString, QString>, QDateTime> m_moments;
    bool hasPassed(int row) const;
    // (date text, time text) → the rows that carry them, in display order. Adds, deletes and
    // edits keep it up to date; a sort or a new list drops it, and it is built again, in one
    // pass, when next asked.
    mutable QHash<std::pair<QString, QString>, QList<int>> m_rowsByTexts;
    mutable bool m_rowsByTextsValid = false;
};

} // namespace vellaro
