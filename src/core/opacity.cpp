#include "core/opacity.h"

#include "core/error.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vellaro {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

Error notAFloat(const QString &text)
{
    return Error(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

} // namespace

double parseFloatText(const QString &text, QChar decimalSeparator)
{
    // Rebuilt in the C form for std::from_chars, which ignores the process locale.
    std::string ascii;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipSpaces = [&] {
        while (i < n && text[i] == u' ')
            ++i;
    };
    auto digits = [&] {
        const qsizetype start = i;
        while (i < n && isDigit(text[i]))
            ascii += char(text[i++].unicode());
        return i - start;
    };

    skipSpaces();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii += '-';
        ++i;
    }
    qsizetype mantissaDigits = digits();
    if (i < n && text[i] == decimalSeparator) {
        ++i;
        ascii += '.';
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        throw notAFloat(text);
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        ascii += 'e';
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ascii += char(text[i++].unicode());
        if (digits() == 0)
            throw notAFloat(text);
    }
    skipSpaces();
    if (i != n)
        throw notAFloat(text);

    double value = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large has no value at all.
        const auto e = ascii.find('e');
        if (e != std::string::npos && ascii.find('-', e) != std::string::npos)
            return 0.0;
        throw notAFloat(text);
    }
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value))
        throw notAFloat(text);
    return value;
}

int opacityForPercent(double percent)
{
    // Only t modulo 128 matters to the 8-bit result, and every double of this size is a whole
    // number, so reducing first keeps huge percentages exact and in range.
    const double t = std::fmod(std::trunc(percent), 256.0);
    const int a = (255 - 2 * int(t)) % 256;
    return a < 0 ? a + 256 : a;
}

int opacityFromPercentText(const QString &text, QChar decimalSeparator)
{
    return opacityForPercent(parseFloatText(text, decimalSeparator));
}

} // namespace vellaro
