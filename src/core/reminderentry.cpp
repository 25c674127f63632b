#include "reminderentry.h"

#include <utility>

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

ReminderDetails::ReminderDetails(const ReminderDetails &other)
    : m_inline(other.m_inline),
      m_more(other.m_more ? std::make_unique<QStringList>(*other.m_more) : nullptr),
      m_size(other.m_size)
{}

ReminderDetails &ReminderDetails::operator=(const ReminderDetails &other)
{
    if (this != &other)
        *this = ReminderDetails(other);
    return *this;
}

ReminderDetails::ReminderDetails(std::initializer_list<QString> texts)
{
    for (const QString &text : texts)
        append(text);
}

ReminderDetails::ReminderDetails(const QStringList &texts)
{
    for (const QString &text : texts)
        append(text);
}

void ReminderDetails::append(QString text)
{
    if (m_size < kInline)
        m_inline[size_t(m_size)] = std::move(text);
    else if (m_more)
        m_more->append(std::move(text));
    else
        m_more = std::make_unique<QStringList>(QStringList{std::move(text)});
    ++m_size;
}

QStringList ReminderDetails::toList() const
{
    QStringList texts;
    texts.reserve(m_size);
    for (const QString &text : *this)
        texts.append(text);
    return texts;
}

bool operator==(const ReminderDetails &a, const ReminderDetails &b)
{
    // Slots past a row's details are always empty, and only a row with more details than the
    // slots has a list of them, so the whole of both can be compared.
    return a.m_size == b.m_size && a.m_inline == b.m_inline &&
           (!a.m_more || *a.m_more == *b.m_more);
}

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
