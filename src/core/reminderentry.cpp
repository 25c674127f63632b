#include "core/reminderentry.h"

namespace vellaro {

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

} // namespace vellaro
