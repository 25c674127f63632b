#include "remindercheck.h"

#include "reminderlistmodel.h"

namespace vellaro {

namespace {

// Formats the local date and time of successive seconds, reusing the date text within a day.
class SecondTexts
{
public:
    explicit SecondTexts(const LocaleFormats &formats) : m_formats(formats) {}

    void at(const QDate &date, const QTime &time, QString &dateText, QString &timeText)
    {
        if (date != m_date) {
            m_date = date;
            m_dateText = m_formats.dateText(date);
        }
        dateText = m_dateText;
        timeText = m_formats.timeText(time);
    }

private:
    const LocaleFormats &m_formats;
    QDate m_date;
    QString m_dateText;
};

void collectSecond(const QString &dateText, const QString &timeText, const ReminderListModel &list,
                   QList<DueReminder> &due)
{
    if (list.countWithTexts(dateText, timeText) == 0)
        return;
    for (const int row : list.rowsWithTexts(dateText, timeText)) {
        const ReminderEntry &e = list.entry(row);
        due.append({e.name, e.details.at(1), e.details.value(2)});
    }
}

} // namespace

QList<DueReminder> ReminderCheck::collectDue(const QDateTime &now, const ReminderListModel &list,
                                             const LocaleFormats &formats)
{
    const qint64 current = now.toSecsSinceEpoch();
    qint64 from = current;
    if (!m_lastSecond) {
        m_firstSecond = current;
    } else if (current == *m_lastSecond) {
        return {};
    } else if (current > *m_lastSecond) {
        from = std::max({*m_lastSecond + 1, current - kMaxLookBackSeconds, m_firstSecond});
    }
    m_lastSecond = current;

    QList<DueReminder> due;
    SecondTexts texts(formats);
    QString dateText;
    QString timeText;
    if (from == current) {
        texts.at(now.date(), now.time(), dateText, timeText);
        collectSecond(dateText, timeText, list, due);
        return due;
    }

    // Converting each second to local time is costly; while the offset from UTC stays the same
    // over the range, local time is plain arithmetic.
    const QDateTime first = QDateTime::fromSecsSinceEpoch(from);
    const int offset = first.offsetFromUtc();
    const bool steadyOffset = now.offsetFromUtc() == offset;
    for (qint64 s = from; s <= current; ++s) {
        if (steadyOffset) {
            const qint64 local = s + offset;
            const qint64 day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
            const int secondOfDay = static_cast<int>(local - day * 86400);
            texts.at(QDate(1970, 1, 1).addDays(day), QTime(0, 0).addSecs(secondOfDay), dateText,
                     timeText);
        } else {
            const QDateTime t = QDateTime::fromSecsSinceEpoch(s);
            texts.at(t.date(), t.time(), dateText, timeText);
        }
        collectSecond(dateText, timeText, list, due);
    }
    return due;
}

} // namespace vellaro
