#pragma once

#include "localeformats.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vellaro {

class ReminderListModel;

// What the alarm window shows of a row that fell due.
struct DueReminder
{
    QString name;
    QString timeText;
    QString notes;

    friend bool operator==(const DueReminder &, const DueReminder &) = default;
};

// The once-a-second check. A row falls due when its date text and time text equal those of a
// second of the clock. No second is skipped: the seconds that no check covered since the previous
// one (a busy loop, an open alarm window, a suspended machine, a clock stepped forward) are caught
// up, at most back to the first check of the run and at most one week. A clock stepped back checks
// only the current second. Rows already past when the program started never sound.
class ReminderCheck final
{
public:
    static constexpr qint64 kMaxLookBackSeconds = 7 * 24 * 3600;

    // The rows due in the seconds since the previous call up to now, in order of the seconds and,
    // within a second, in display order. The clock is formatted once per second checked.
    QList<DueReminder> collectDue(const QDateTime &now, const ReminderListModel &list,
                                  const LocaleFormats &formats);

private:
    std::optional<qint64> m_lastSecond;
    qint64 m_firstSecond = 0;
};

} // namespace vellaro
