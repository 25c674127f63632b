#include "reminderentry.h"

namespace vellaro {

namespace {

const QString &detailOrEmpty(const ReminderEntry &e, qsizetype i)
{
    static const QString empty;
    return i < e.details.size() ? e.details.at(i) : empty;
}

void replaceLineBreaks(QString &text)
{
    for (QChar &c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            c = u' ';
    }
}

} // namespace

int compareEntries(const ReminderEntry &a, const ReminderEntry &b, int column)
{
    if (column <= 0)
        return QString::compare(a.name, b.name, Qt::CaseSensitive);
    return QString::compare(detailOrEmpty(a, column - 1), detailOrEmpty(b, column - 1),
                            Qt::CaseSensitive);
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
