#include "core/localeformats.h"

#include "core/error.h"

#include <QString>

namespace vellaro {

namespace {

// The literal text between two fields of a Qt time pattern, with its quoting removed.
QString unquotedLiteral(QStringView pattern)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
                out += u'\'';
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (!quoted && c == u' ' && out.isEmpty())
            continue;
        out += c;
    }
    return out;
}

struct PatternToken
{
    QChar field;     // 'd', 'M', 'y', or null for literal text
    int width = 0;   // repeat count of the field letter
    QString literal; // for literal text
};

QList<PatternToken> tokenize(QStringView pattern)
{
    QList<PatternToken> tokens;
    auto literal = [&tokens]() -> QString & {
        if (tokens.isEmpty() || !tokens.last().field.isNull())
            tokens.append(PatternToken{});
        return tokens.last().literal;
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
                literal() += u'\'';
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < pattern.size() && pattern[j] != u'\'')
                ++j;
            literal() += pattern.sliced(i + 1, j - i - 1);
            i = j + 1;
            continue;
        }
        if (c == u'd' || c == u'M' || c == u'y') {
            qsizetype j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            tokens.append(PatternToken{c, int(j - i), {}});
            i = j;
            continue;
        }
        literal() += c;
        ++i;
    }
    return tokens;
}

// Reads up to maxDigits ASCII digits; returns the number of digits read.
int readNumber(QStringView text, qsizetype &pos, int maxDigits, int &value)
{
    int digits = 0;
    value = 0;
    while (pos < text.size() && digits < maxDigits && text[pos] >= u'0' && text[pos] <= u'9') {
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
        ++digits;
    }
    return digits;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Where the first of two characters stands. (A regular expression would do, but it would load
// the expression engine into every start for two letters.)
qsizetype indexOfEither(const QString &text, QChar a, QChar b)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == a || text[i] == b)
            return i;
    }
    return -1;
}

} // namespace

QString withoutLastThreeCharacters(const QString &text)
{
    return text.size() > 3 ? text.left(text.size() - 3) : QString();
}

int expandTwoDigitYear(int year, int digits, int referenceYear)
{
    if (digits > 2)
        return year;
    const int first = referenceYear - 50;
    int full = first - first % 100 + year;
    if (full < first)
        full += 100;
    return full;
}

LocaleFormats LocaleFormats::fromLocale(const QLocale &locale)
{
    LocaleFormats f;
    f.m_locale = locale;
    f.m_datePattern = locale.dateFormat(QLocale::ShortFormat);
    f.m_am = locale.amText();
    f.m_pm = locale.pmText();
    f.m_decimal = locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint().front();

    const QList<PatternToken> dateTokens = tokenize(f.m_datePattern);
    for (qsizetype i = 1; i + 1 < dateTokens.size(); ++i) {
        if (dateTokens[i].field.isNull() && !dateTokens[i - 1].field.isNull()) {
            const QString sep = dateTokens[i].literal.trimmed();
            if (!sep.isEmpty()) {
                f.m_dateSeparator = sep;
                break;
            }
        }
    }

    const QString pattern = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hourAt = indexOfEither(pattern, u'h', u'H');
    if (hourAt >= 0) {
        qsizetype hourEnd = hourAt;
        while (hourEnd < pattern.size() && pattern[hourEnd] == pattern[hourAt])
            ++hourEnd;
        f.m_hourLeadingZero = hourEnd - hourAt >= 2;
        const qsizetype minuteAt = pattern.indexOf(u'm', hourEnd);
        if (minuteAt > hourEnd) {
            const QString sep =
                unquotedLiteral(QStringView(pattern).sliced(hourEnd, minuteAt - hourEnd));
            if (!sep.isEmpty())
                f.m_timeSeparator = sep;
        }
        const qsizetype markerAt = indexOfEither(pattern, u'a', u'A');
        f.m_twelveHour = pattern[hourAt] == u'h' && markerAt >= 0;
        f.m_markerFirst = f.m_twelveHour && markerAt < hourAt;
    }
    return f;
}

QString LocaleFormats::dateText(QDate date) const
{
    return m_locale.toString(date, m_datePattern);
}

QString LocaleFormats::timeText(QTime time) const
{
    int hour = time.hour();
    QString marker;
    if (m_twelveHour) {
        marker = hour < 12 ? m_am : m_pm;
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    QString text = m_hourLeadingZero ? QStringLiteral("%1").arg(hour, 2, 10, QChar(u'0'))
                                     : QString::number(hour);
    text += m_timeSeparator;
    text += QStringLiteral("%1").arg(time.minute(), 2, 10, QChar(u'0'));
    text += m_timeSeparator;
    text += QStringLiteral("%1").arg(time.second(), 2, 10, QChar(u'0'));
    if (m_twelveHour && !marker.isEmpty())
        text = m_markerFirst ? marker + u' ' + text : text + u' ' + marker;
    return text;
}

std::optional<QDate> LocaleFormats::parseByPattern(QStringView text, int referenceYear) const
{
    int day = -1, month = -1, year = -1;
    qsizetype pos = 0;
    for (const PatternToken &t : tokenize(m_datePattern)) {
        if (t.field.isNull()) {
            if (!text.sliced(pos).startsWith(t.literal))
                return std::nullopt;
            pos += t.literal.size();
            continue;
        }
        if (t.width > 2 && t.field != u'y') {
            // Day and month names: accept the locale's long and short forms.
            bool matched = false;
            for (int n = 1; n <= (t.field == u'M' ? 12 : 7) && !matched; ++n) {
                for (auto form : {QLocale::LongFormat, QLocale::ShortFormat}) {
                    const QString name =
                        t.field == u'M' ? m_locale.monthName(n, form) : m_locale.dayName(n, form);
                    if (!name.isEmpty() && text.sliced(pos).startsWith(name)) {
                        pos += name.size();
                        if (t.field == u'M')
                            month = n;
                        matched = true;
                        break;
                    }
                }
            }
            if (!matched)
                return std::nullopt;
            continue;
        }
        int value = 0;
        const int digits = readNumber(text, pos, t.field == u'y' ? 4 : 2, value);
        if (digits == 0)
            return std::nullopt;
        if (t.field == u'd')
            day = value;
        else if (t.field == u'M')
            month = value;
        else
            year = expandTwoDigitYear(value, digits, referenceYear);
    }
    if (pos != text.size() || day < 0 || month < 0 || year < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::optional<QDate> LocaleFormats::parseByNumbers(QStringView text, int referenceYear) const
{
    QList<QChar> order;
    for (const PatternToken &t : tokenize(m_datePattern)) {
        if (!t.field.isNull() && !order.contains(t.field))
            order.append(t.field);
    }
    if (order.size() != 3)
        return std::nullopt;

    const QList<QStringView> parts = text.trimmed().split(m_dateSeparator);
    if (parts.size() != 3)
        return std::nullopt;
    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        const QStringView part = parts[i].trimmed();
        if (part.isEmpty() || part.size() > 4 ||
            !std::all_of(part.begin(), part.end(), isAsciiDigit))
            return std::nullopt;
        const int value = part.toInt();
        if (order[i] == u'd')
            day = value;
        else if (order[i] == u'M')
            month = value;
        else
            year = expandTwoDigitYear(value, int(part.size()), referenceYear);
    }
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

QDate LocaleFormats::parseDateText(const QString &text, int referenceYear) const
{
    if (const auto date = parseByPattern(text, referenceYear))
        return *date;
    const QString shortened = withoutLastThreeCharacters(text);
    if (const auto date = parseByNumbers(shortened, referenceYear))
        return *date;
    throw Error(QStringLiteral("'%1' is not a valid date").arg(shortened));
}

QTime LocaleFormats::parseTimeText(const QString &text) const
{
    const auto invalid = [&text] {
        return Error(QStringLiteral("'%1' is not a valid time").arg(text));
    };
    QStringView rest = QStringView(text).trimmed();

    // The morning or afternoon marker, before or after the digits, in the locale's words or
    // the English ones.
    int half = -1; // 0 morning, 1 afternoon
    const QString markers[] = {m_am, m_pm, QStringLiteral("AM"), QStringLiteral("PM")};
    for (int i = 0; i < 4 && half < 0; ++i) {
        const QString &m = markers[i];
        if (m.isEmpty())
            continue;
        if (rest.startsWith(m, Qt::CaseInsensitive)) {
            rest = rest.sliced(m.size()).trimmed();
            half = i % 2;
        } else if (rest.endsWith(m, Qt::CaseInsensitive)) {
            rest = rest.chopped(m.size()).trimmed();
            half = i % 2;
        }
    }

    int values[3] = {0, 0, 0};
    int fields = 0;
    qsizetype pos = 0;
    while (fields < 3) {
        if (readNumber(rest, pos, 2, values[fields]) == 0)
            throw invalid();
        ++fields;
        if (pos == rest.size())
            break;
        if (!rest.sliced(pos).startsWith(m_timeSeparator))
            throw invalid();
        pos += m_timeSeparator.size();
    }
    if (pos != rest.size() || fields < 2)
        throw invalid();

    int hour = values[0];
    if (half >= 0) {
        if (hour < 1 || hour > 12)
            throw invalid();
        hour = hour % 12 + (half == 1 ? 12 : 0);
    }
    const QTime time(hour, values[1], values[2]);
    if (!time.isValid())
        throw invalid();
    return time;
}

bool LocaleFormats::producesDateText(const QString &text) const
{
    // Any year does: a two-digit year comes back as the same two digits.
    const std::optional<QDate> date = parseByPattern(text, 2000);
    return date && dateText(*date) == text;
}

bool LocaleFormats::producesTimeText(const QString &text) const
{
    try {
        return timeText(parseTimeText(text)) == text;
    } catch (const Error &) {
        return false;
    }
}

} // namespace vellaro
