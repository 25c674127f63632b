#include "core/remindercheck.h"

#include "core/reminderlistmodel.h"
#include "core/secondtexts.h"
#include "core/wakeplan.h"

namespace vellaro {

namespace {

// The zone a moment is reckoned in, kept to read later seconds the same way.
QTimeZone zoneOf(const QDateTime &now)
{
    switch (now.timeSpec()) {
    case Qt::TimeZone:
        return now.timeZone();
    case Qt::LocalTime:
        return QTimeZone::systemTimeZone();
    case Qt::OffsetFromUTC:
    case Qt::UTC:
        break;
    }
    return QTimeZone(now.offsetFromUtc());
}

void collectSecond(const QString &dateText, const QString &timeText, const ReminderListModel &list,
                   QList<DueReminder> &due)
{
    if (list.countWithTexts(dateText, timeText) == 0)
        return;
    const ReminderEntries &rows = list.rows();
    for (const int row : list.rowsWithTexts(dateText, timeText))
        due.append({rows[row].name, rows[row].timeText(), rows[row].notes(), rows[row].id});
}

} // namespace

QList<DueReminder> ReminderCheck::collectDue(const QDateTime &now, const ReminderListModel &list,
                                             const LocaleFormats &formats)
{
    const qint64 current = now.toSecsSinceEpoch();
    qint64 from = current;
    QDateTime zone = now;
    if (m_lastSecond && current == *m_lastSecond) {
        // Nothing new to look at; a zone changed within the second reads the next ones anew.
        m_lastOffset = now.offsetFromUtc();
        m_lastZone = zoneOf(now);
        return {};
    }
    if (m_lastSecond && current > *m_lastSecond) {
        from = std::max(*m_lastSecond + 1, current - kMaxLookBackSeconds);
        // The zone changed since the last look: the seconds up to now were lived in the old
        // zone, with its own changes of the offset (daylight saving may have begun while the
        // machine slept, before the new zone was reported).
        if (localSecond(*m_lastSecond, now).offsetFromUtc() != m_lastOffset) {
            zone = m_lastZone.isValid()
                       ? QDateTime::fromSecsSinceEpoch(current, m_lastZone)
                       : QDateTime::fromSecsSinceEpoch(current, Qt::OffsetFromUTC, m_lastOffset);
        }
    }
    if (m_lastSecond && *m_lastSecond + 1 < from) {
        // Sounding a row of more than a week ago helps no one, but the user hears of it.
        const qint64 passedTo = from - 1;
        const qint64 passedFrom = std::max(*m_lastSecond + 1, from - kMaxLookBackSeconds);
        m_passedOver += rowsDueBetween(passedFrom, passedTo, zone, list, formats);
    }
    m_lastSecond = current;
    m_lastOffset = now.offsetFromUtc();
    m_lastZone = zoneOf(now);

    QList<DueReminder> due;
    walkSecondTexts(from, current, zone, formats,
                    [&](const QString &dateText, const QString &timeText) {
                        collectSecond(dateText, timeText, list, due);
                        return false;
                    });
    return due;
}

QDateTime ReminderCheck::nextWake(const QDateTime &now, const ReminderListModel &list,
                                  const LocaleFormats &formats) const
{
    if (!m_lastSecond || now.toSecsSinceEpoch() < *m_lastSecond)
        return now;
    return vellaro::nextWake(localSecond(*m_lastSecond, now), list, formats);
}

std::optional<DueReminder> ReminderCheck::passedSince(qint64 since, const QDateTime &now, int row,
                                                      const ReminderListModel &list,
                                                      const LocaleFormats &formats) const
{
    if (!m_lastSecond || row < 0 || row >= list.rowCount())
        return std::nullopt;
    const ReminderEntry &entry = list.rows().at(row);
    const QString dateText = entry.dateText();
    const QString timeText = entry.timeText();
    const qint64 from = std::max(since + 1, *m_lastSecond - kMaxLookBackSeconds);
    const qint64 found = walkSecondTexts(
        from, *m_lastSecond, localSecond(*m_lastSecond, now), formats,
        [&](const QString &d, const QString &t) { return d == dateText && t == timeText; });
    if (found < 0)
        return std::nullopt;
    return DueReminder{entry.name, timeText, entry.notes(), entry.id};
}

} // namespace vellaro
