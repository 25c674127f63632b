#pragma once

#include <QTableView>

namespace vellaro {

// The report-view list: grid lines, whole-row single selection, hot tracking with the hand
// cursor, in-place editing of the name. The date and time columns are as wide as their texts;
// the name and the notes share the rest of the width.
//
// Its context menu is asked for with customContextMenuRequested, in the viewport's coordinates:
// by the mouse (where it was pressed; the press has already selected the row under it), by the
// Menu key (the platform's keyboard context menu event) or by Shift+F10, both of which place
// it at the selected row.
class ReminderView final : public QTableView
{
    Q_OBJECT

public:
    explicit ReminderView(QWidget *parent = nullptr);

    // Where a menu asked for from the keyboard opens, in the viewport's coordinates: under the
    // start of the current row, or at the viewport's top left when there is none.
    QPoint keyboardMenuPosition() const;
    // The width the column's texts need (QTableView hides it).
    using QTableView::sizeHintForColumn;

protected:
    // Home and End go to the first and the last reminder, in the column the cursor is in.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

} // namespace vellaro
