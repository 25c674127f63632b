#include "dialogs/wrappinglabel.h"

#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vellaro {

WrappingLabel::WrappingLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingLabel::layOut(QTextLayout &layout, int width) const
{
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setFont(font());
    layout.beginLayout();
    qreal y = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(width, 1));
        line.setPosition(QPointF(0, y));
        y += std::max<qreal>(line.height(), fontMetrics().height());
    }
    layout.endLayout();
    return std::max(int(std::ceil(y)), fontMetrics().height());
}

int WrappingLabel::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    QTextLayout layout(text());
    return layOut(layout, width - m.left() - m.right()) + m.top() + m.bottom();
}

QSize WrappingLabel::sizeHint() const
{
    const QMargins m = contentsMargins();
    // The text on one line (a little more, so rounding never wraps it).
    const int oneLine = fontMetrics().horizontalAdvance(text()) + 2;
    const int width =
        std::max(oneLine, fontMetrics().averageCharWidth() * 4) + m.left() + m.right();
    return {width, heightForWidth(width)};
}

QSize WrappingLabel::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    return {fontMetrics().averageCharWidth() * 4 + m.left() + m.right(),
            fontMetrics().height() + m.top() + m.bottom()};
}

void WrappingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    QTextLayout layout(text());
    layOut(layout, area.width());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    layout.draw(&painter, area.topLeft());
}

} // namespace vellaro
