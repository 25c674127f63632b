#pragma once

#include "core/localeformats.h"
#include "core/missedreminders.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <optional>
#include <utility>

namespace vellaro {

class ReminderListModel;

// What the alarm window shows of a row that fell due.
struct DueReminder
{
    QString name;
    QString timeText;
    QString notes;
    // The row it came from (ReminderEntry::id), to act on it later: it may have moved or gone.
    quint64 rowId = 0;

    // Equal when it shows the same.
    friend bool operator==(const DueReminder &a, const DueReminder &b)
    {
        return a.name == b.name && a.timeText == b.timeText && a.notes == b.notes;
    }
};

// The check and its one timeline: the last second the program has looked at. A row falls due
// when its date text and time text equal those of a second looked at. Each look covers the
// seconds after the last one up to now, so none is skipped however late the program comes (a
// busy loop, an open alarm window, a suspended machine, a clock stepped forward), at most one
// week back; the rows of the seconds before that bound are kept for a report (passedOver()).
// The first look of the run covers only its own second: rows already past when the
// program started never sound. When the clock is set back, the timeline starts again at the new
// time and the seconds lived again are looked at as they come.
//
// Local time follows the zone of `now`. When the zone has changed since the last look, the
// seconds up to now are still read in the offset they were lived in; later ones in the new zone.
class ReminderCheck final
{
public:
    static constexpr qint64 kMaxLookBackSeconds = 7 * 24 * 3600;

    // The rows due in the seconds after the last look up to now, in order of the seconds and,
    // within a second, in display order. The clock is formatted once per second looked at.
    QList<DueReminder> collectDue(const QDateTime &now, const ReminderListModel &list,
                                  const LocaleFormats &formats);

    // When the program next has to look: the first second after the last look that carries a
    // row, the next midnight or an hour on (see nextWake()). A moment not after `now` means at
    // once: before the first look, when that second has passed already (a late wake or a long
    // look), or when the clock went back behind the last look.
    QDateTime nextWake(const QDateTime &now, const ReminderListModel &list,
                       const LocaleFormats &formats) const;

    // The rows of the seconds the last looks left behind the bound of a week (a suspend of
    // longer), themselves at most a week before that bound; taken once.
    QList<MissedReminder> takePassedOver() { return std::exchange(m_passedOver, {}); }

    bool hasLooked() const { return m_lastSecond.has_value(); }
    // The last second looked at; `now` before the first look.
    qint64 lastSecond(const QDateTime &now) const
    {
        return m_lastSecond.value_or(now.toSecsSinceEpoch());
    }

    // The row as it fell due, when its texts are those of a second after `since` that has been
    // looked at already (at most a week back): a row saved from an editor that was opened at
    // `since` names a moment that passed while the user typed.
    std::optional<DueReminder> passedSince(qint64 since, const QDateTime &now, int row,
                                           const ReminderListModel &list,
                                           const LocaleFormats &formats) const;

private:
    std::optional<qint64> m_lastSecond;
    QList<MissedReminder> m_passedOver;
    // The offset from UTC the last second was read in, and its zone.
    int m_lastOffset = 0;
    QTimeZone m_lastZone;
};

} // namespace vellaro
