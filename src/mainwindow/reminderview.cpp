#include "mainwindow/reminderview.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vellaro {

ReminderView::ReminderView(QWidget *parent) : QTableView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setMouseTracking(true);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAccessibleName(QStringLiteral("Списък с напомняния"));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), 16) + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(fontMetrics().averageCharWidth() * 4);
}

QPoint ReminderView::keyboardMenuPosition() const
{
    // The menu acts on the selected row; without one, on the current.
    QModelIndex current = currentIndex();
    if (selectionModel() && !selectionModel()->selectedRows().isEmpty())
        current = selectionModel()->selectedRows().first();
    if (!current.isValid())
        return {0, 0};
    const QRect row = visualRect(current.siblingAtColumn(0));
    const QRect shown = viewport()->rect();
    return {std::clamp(row.left() + row.height() / 2, shown.left(), shown.right()),
            std::clamp(row.bottom(), shown.top(), shown.bottom())};
}

QModelIndex ReminderView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // A table's own Home and End go to the first and last column of the row; in a list of
    // reminders, selected whole rows, they go down and up the list.
    if ((cursorAction == MoveHome || cursorAction == MoveEnd) && model() &&
        model()->rowCount(rootIndex()) > 0) {
        const int row = cursorAction == MoveHome ? 0 : model()->rowCount(rootIndex()) - 1;
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        return model()->index(row, column, rootIndex());
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

bool ReminderView::event(QEvent *event)
{
    // The platform's keyboard context menu event (the Menu key) comes to the view itself with a
    // position of its own choosing: the menu opens at the current row instead.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard &&
        contextMenuPolicy() == Qt::CustomContextMenu) {
        event->accept();
        emit customContextMenuRequested(keyboardMenuPosition());
        return true;
    }
    return QTableView::event(event);
}

void ReminderView::keyPressEvent(QKeyEvent *event)
{
    // Shift+F10 is the other keyboard way to a context menu; no platform turns it into a context
    // menu event here.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier &&
        contextMenuPolicy() == Qt::CustomContextMenu) {
        event->accept();
        emit customContextMenuRequested(keyboardMenuPosition());
        return;
    }
    QTableView::keyPressEvent(event);
}

void ReminderView::mouseMoveEvent(QMouseEvent *event)
{
    QTableView::mouseMoveEvent(event);
    const bool overRow = indexAt(event->position().toPoint()).isValid();
    viewport()->setCursor(overRow ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void ReminderView::leaveEvent(QEvent *event)
{
    QTableView::leaveEvent(event);
    viewport()->unsetCursor();
}

} // namespace vellaro
