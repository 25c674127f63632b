#include "remindercheck.h"

#include "reminderlistmodel.h"
#include "secondtexts.h"

namespace vellaro {

namespace {

void collectSecond(const QString &dateText, const QString &timeText, const ReminderListModel &list,
                   QList<DueReminder> &due)
{
    if (list.countWithTexts(dateText, timeText) == 0)
        return;
    const ReminderEntries &rows = list.rows();
    for (const int row : list.rowsWithTexts(dateText, timeText))
        due.append({rows[row].name, rows[row].details.value(1), rows[row].details.value(2)});
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
    walkSecondTexts(from, current, now, formats,
                    [&](const QString &dateText, const QString &timeText) {
                        collectSecond(dateText, timeText, list, due);
                        return false;
                    });
    return due;
}

} // namespace vellaro
