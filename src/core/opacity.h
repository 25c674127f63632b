#pragma once

#include <QChar>
#include <QString>

namespace vellaro {

// The transparency dialog's text before the user picks anything.
inline constexpr char16_t kOpacityPromptText[] = u"Избери стойност";

// Reads a floating-point number written with the given decimal separator: optional spaces, a
// sign, digits with an optional fraction, an optional exponent, optional spaces. Throws
// Error("'<text>' is not a valid floating point value") for anything else, and for numbers too
// large for a double.
double parseFloatText(const QString &text, QChar decimalSeparator);

// The window opacity for a transparency percentage: the percentage cut toward zero to a whole t,
// then (255 - 2t) kept to 8 bits. 0 gives 255 (opaque), 50 gives 155, 100 gives 55; values
// outside 0..127 wrap around (128 gives 255, -10 gives 19).
int opacityForPercent(double percent);

// Both together, for the text of the transparency dialog.
int opacityFromPercentText(const QString &text, QChar decimalSeparator);

} // namespace vellaro
