#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

#include <optional>

namespace vellaro {

// The text without its last three characters (nothing is left of three or fewer). Stored date
// texts of a pattern that ends in three characters of literal text lose them this way.
QString withoutLastThreeCharacters(const QString &text);

// A year of one or two digits placed in the hundred years that begin 50 years before the
// reference year; longer years are taken as they are.
int expandTwoDigitYear(int year, int digits, int referenceYear);

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

    // The inverse of dateText: the stored text is read by the short date pattern, literal text
    // included. A year of one or two digits falls in the hundred years that begin fifty years
    // before referenceYear. Texts whose last three characters are not the pattern's own literal
    // text are also read the older way: without those three characters, as day, month and year
    // numbers in the pattern's order between the date separators. Throws
    // Error("'<text>' is not a valid date").
    QDate parseDateText(const QString &text, int referenceYear) const;
    // The inverse of timeText; seconds may be left out. Throws Error("'<text>' is not a valid
    // time").
    QTime parseTimeText(const QString &text) const;

    // Whether dateText, or timeText, gives exactly this text for some date or time of day: texts
    // stored under other regional settings (or typed by hand) may not be, and the check, which
    // compares texts, never finds them.
    bool producesDateText(const QString &text) const;
    bool producesTimeText(const QString &text) const;

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
    std::optional<QDate> parseByPattern(QStringView text, int referenceYear) const;
    std::optional<QDate> parseByNumbers(QStringView text, int referenceYear) const;

    QLocale m_locale;
    QString m_dateSeparator = QStringLiteral("/");
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
