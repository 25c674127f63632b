#include "windowkit/windowlook.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vellaro {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor mix(const QColor &from, const QColor &to, double t)
{
    const auto channel = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

double relativeLuminance(const QColor &colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableColour(const QColor &wanted, const QColor &background, double ratio)
{
    const QColor start = wanted.toRgb();
    if (contrastRatio(start, background) >= ratio)
        return start;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor end =
        contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
    // The contrast grows along the way; the least step that reaches the ratio is searched.
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < 20; ++i) {
        const double middle = (low + high) / 2;
        if (contrastRatio(mix(start, end, middle), background) >= ratio)
            high = middle;
        else
            low = middle;
    }
    const QColor found = mix(start, end, high);
    return contrastRatio(found, background) >= ratio ? found : end;
}

QColor backgroundColour(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(w->backgroundRole());
    }
    return widget->palette().color(QPalette::Window);
}

void setTextColour(QWidget *widget, const QColor &wanted)
{
    const QColor background = backgroundColour(widget);
    QPalette palette = widget->palette();
    const QColor colour = readableColour(wanted, background);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, widget->foregroundRole(), colour);
    widget->setPalette(palette);
}

QFont derivedFont(const QFont &base, double scale, bool bold, bool italic)
{
    QFont font = base;
    if (scale != 1.0) {
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * scale);
        else if (font.pixelSize() > 0)
            font.setPixelSize(int(std::lround(font.pixelSize() * scale)));
    }
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace vellaro
