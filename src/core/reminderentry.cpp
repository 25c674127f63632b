#include "core/reminderentry.h"

#include "core/error.h"

namespace vellaro {

namespace {

// The property name an extra detail line starts with: up to its first ':' or ';' (a parameter).
bool hasPropertyName(const QString &line, QLatin1StringView propertyName)
{
    qsizetype end = 0;
    while (end < line.size() && line.at(end) != u':' && line.at(end) != u';')
        ++end;
    return end < line.size() && end == propertyName.size() &&
           QStringView(line).left(end).compare(propertyName, Qt::CaseInsensitive) == 0;
}

} // namespace

namespace {

void replaceLineBreaks(QString &text)
{
    for (QChar &c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            c = u' ';
    }
}

} // namespace

const QString &sortText(const ReminderEntry &e, int column)
{
    static const QString empty;
    if (column <= 0)
        return e.name;
    // The repeat column sorts by the rule as written, so rows that repeat alike stand together.
    if (column == kRepeatColumn) {
        for (qsizetype i = ReminderEntry::kFirstExtraDetail; i < e.details.size(); ++i) {
            if (hasPropertyName(e.details.at(i), QLatin1StringView("RRULE")))
                return e.details.at(i);
        }
        return empty;
    }
    return column - 1 < e.details.size() ? e.details.at(column - 1) : empty;
}

int compareEntries(const ReminderEntry &a, const ReminderEntry &b, int column)
{
    return QString::compare(sortText(a, column), sortText(b, column), Qt::CaseSensitive);
}

QString sanitizedName(QString name)
{
    replaceLineBreaks(name);
    if (name.startsWith(u'\t'))
        name[0] = u' ';
    return name;
}

QString sanitizedDetail(QString detail)
{
    replaceLineBreaks(detail);
    return detail;
}

const QString &ReminderEntry::requiredDetail(int index) const
{
    if (index < 0 || index >= details.size())
        throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
    return details.at(index);
}

QString ReminderEntry::property(QLatin1StringView propertyName) const
{
    for (qsizetype i = kFirstExtraDetail; i < details.size(); ++i) {
        const QString &line = details.at(i);
        if (hasPropertyName(line, propertyName))
            return line.mid(line.indexOf(u':') + 1);
    }
    return {};
}

void ReminderEntry::setProperty(QLatin1StringView propertyName, const QString &value)
{
    const QString line = propertyName + u':' + value;
    for (qsizetype i = kFirstExtraDetail; i < details.size(); ++i) {
        if (hasPropertyName(details.at(i), propertyName)) {
            details[i] = line;
            return;
        }
    }
    while (details.size() < kFirstExtraDetail)
        details.append(QString());
    details.append(line);
}

void ReminderEntry::removeProperty(QLatin1StringView propertyName)
{
    for (qsizetype i = kFirstExtraDetail; i < details.size(); ++i) {
        if (hasPropertyName(details.at(i), propertyName)) {
            details.removeAt(i);
            return;
        }
    }
}

} // namespace vellaro
