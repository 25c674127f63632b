#include "localeformats.h"

#include <QRegularExpression>

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

} // namespace

LocaleFormats LocaleFormats::fromLocale(const QLocale &locale)
{
    LocaleFormats f;
    f.m_locale = locale;
    f.m_datePattern = locale.dateFormat(QLocale::ShortFormat);
    f.m_am = locale.amText();
    f.m_pm = locale.pmText();
    f.m_decimal = locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint().front();

    const QString pattern = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hourAt = pattern.indexOf(QRegularExpression(QStringLiteral("[hH]")));
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
        const qsizetype markerAt = pattern.indexOf(QRegularExpression(QStringLiteral("[aA]")));
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

} // namespace vellaro
