#include "reminderview.h"

#include <QHeaderView>
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
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), 16) + 3);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ReminderView::mousePressEvent(QMouseEvent *event)
{
    QTableView::mousePressEvent(event);
    emit mouseDown(event->button(), event->globalPosition().toPoint());
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
