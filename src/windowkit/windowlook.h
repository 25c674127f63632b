#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace vellaro {

// How the windows look: the desktop font and its derivations, and the palette colours.
//
// The contrast rule of the windows: every text is drawn in a colour whose contrast ratio with
// the background it stands on is at least 4.5:1 (WCAG 2, level AA for normal text). The accent
// colours of the design (maroon captions, navy values, the red heading) are kept where the
// palette's background allows and otherwise made lighter or darker, as little as needed.
inline constexpr double kMinimumTextContrast = 4.5;

// WCAG 2 relative luminance of an sRGB colour, 0 (black) to 1 (white).
double relativeLuminance(const QColor &colour);
// WCAG 2 contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);
// The wanted colour when it reaches `ratio` against the background; otherwise the nearest
// colour on the way from it to black or to white (whichever stands out more) that does.
QColor readableColour(const QColor &wanted, const QColor &background,
                      double ratio = kMinimumTextContrast);

// Draws the widget's text (its foreground role) in the wanted colour, made readable on the
// background the widget stands on (its own background role, or its parent's when it draws none).
void setTextColour(QWidget *widget, const QColor &wanted);
// The colour the widget's background really is: its own when it fills it, else the nearest
// ancestor's that does, else the window's.
QColor backgroundColour(const QWidget *widget);

// The windows' fonts are the desktop's (the application font); what stands out is a bolder or
// larger version of it, never another family. `scale` multiplies the size.
QFont derivedFont(const QFont &base, double scale, bool bold, bool italic = false);

} // namespace vellaro
