#pragma once

#include "core/localeformats.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vellaro {

class ReminderListModel;

// A row that fell due while the program was not running, as the report names it.
struct MissedReminder
{
    QString name;
    QString dateText;
    QString timeText;

    friend bool operator==(const MissedReminder &, const MissedReminder &) = default;
};

// The last second the check looked at, kept across runs so that the next start knows what fell
// due in between. It has a file of its own in the list's folder, "Vellaro.seen": the list file
// and the settings file keep the form other copies of the program read, a folder moved or
// carried elsewhere takes the record of its list along (a list copied without it has none),
// and an unfinished write of it is never mistaken for one of the list's (".List.ul1.*"). The
// file holds the second as seconds since the epoch (UTC), in decimal.
QString lastLookedPath(const QString &listPath);
// Nothing when the file is missing, empty or holds anything but a whole number.
std::optional<qint64> readLastLooked(const QString &path);
// Replaces the file atomically. Returns 0, or the errno of the step that failed.
int writeLastLooked(const QString &path, qint64 second);

// The rows whose date and time texts are those of a second from `from` to `to` (both included)
// as `now` reckons local time, in order of the seconds and, within a second, in display order.
QList<MissedReminder> rowsDueBetween(qint64 from, qint64 to, const QDateTime &now,
                                     const ReminderListModel &list, const LocaleFormats &formats);

// The rows whose date and time texts are those of a second after `recorded` and before `start`
// (its second excluded: that one the first check of the run looks at), at most a week back, as
// far as the check catches up after a suspend. In order of the seconds and, within a second, in
// display order. Nothing without a record.
QList<MissedReminder> missedWhileOff(std::optional<qint64> recorded, const QDateTime &start,
                                     const ReminderListModel &list, const LocaleFormats &formats);

// The report's title and body: a line per row (name, date, time), at most ten, then how many
// more there are.
inline const QString kMissedReportTitle = QStringLiteral("Пропуснати напомняния");
inline constexpr int kMissedReportLines = 10;
QString missedReportText(const QList<MissedReminder> &missed);

} // namespace vellaro
