#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace vellaro {

// A snapshot of the user's date and time conventions. Dates and times are stored and compared
// as the texts made here, so the snapshot is taken at start and again when the user changes the
// regional settings; texts stored earlier keep their old form.
class LocaleFormats final
{
public:
    static LocaleFormats fromLocale(const QLocale &locale);

    // The locale's short date pattern, literal text copied unchanged.
    QString dateText(QDate date) const;
    // Hour (leading zero only if the locale asks), separator, two-digit minutes and seconds, and
    // for a 12-hour locale the morning or afternoon marker before or after as the locale puts it.
    QString timeText(QTime time) const;

    const QLocale &locale() const { return m_locale; }
    const QString &shortDatePattern() const { return m_datePattern; }
    const QString &timeSeparator() const { return m_timeSeparator; }
    bool hourLeadingZero() const { return m_hourLeadingZero; }
    bool twelveHour() const { return m_twelveHour; }
    bool markerFirst() const { return m_markerFirst; }
    const QString &amText() const { return m_am; }
    const QString &pmText() const { return m_pm; }
    QChar decimalSeparator() const { return m_decimal; }

private:
    QLocale m_locale;
    QString m_datePattern;
    QString m_timeSeparator = QStringLiteral(":");
    bool m_hourLeadingZero = false;
    bool m_twelveHour = false;
    bool m_markerFirst = false;
    QString m_am;
    QString m_pm;
    QChar m_decimal = u'.';
};

} // namespace vellaro
