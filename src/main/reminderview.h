#pragma once

#include <QTableView>

namespace vellaro {

// The report-view list: grid lines, whole-row single selection, hot tracking with the hand
// cursor, in-place editing of the name. It reports a mouse press after the view has handled it
// (so a right click has already selected the row under the mouse).
class ReminderView final : public QTableView
{
    Q_OBJECT

public:
    explicit ReminderView(QWidget *parent = nullptr);

signals:
    void mouseDown(Qt::MouseButton button, QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

} // namespace vellaro
