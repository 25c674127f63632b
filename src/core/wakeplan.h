#pragma once

#include "core/localeformats.h"

#include <QDateTime>

namespace vellaro {

class ReminderListModel;

// When the program next has to look at the clock, so that it sleeps in between instead of waking
// every second: the earliest second after `looked` (the last second it has looked at) whose date
// and time texts are those of a row (the rule of the check, unchanged), the next local midnight
// (the status bar's date), or at most kMaxSleepSeconds after it, whichever comes first. The
// hour's bound also catches what moves local time without a clock step that anyone reports,
// such as a change of the time zone. Planning from the last second looked at, never from the
// clock, means a wake the program came late to, or a look that took long, is never lost: the
// plan then names a moment already past, and the program looks at once.
//
// A row whose texts no second can produce (a date not in the locale's form, a time that daylight
// saving skips) never wakes the program. A local time that occurs twice when daylight saving ends
// is found at both of its seconds. The seconds are walked as the check walks them, texts compared
// through the list's index, never dates: at most an hour of seconds, whatever the list's length.
inline constexpr qint64 kMaxSleepSeconds = 3600;

QDateTime nextWake(const QDateTime &looked, const ReminderListModel &list,
                   const LocaleFormats &formats);

} // namespace vellaro
