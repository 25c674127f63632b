#pragma once

#include <QLabel>

class QTextLayout;

namespace vellaro {

// A plain-text label that wraps its text at word boundaries and, where a word is longer than a
// line, anywhere in it, so no text is ever cut at its right edge. Its preferred width is the
// text's on one line; its height follows the width it is given (height for width).
class WrappingLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit WrappingLabel(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Lays the text out in lines no wider than `width`; returns the height of the lines.
    int layOut(QTextLayout &layout, int width) const;
};

} // namespace vellaro
