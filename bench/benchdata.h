#pragma once

#include "core/reminderentry.h"

namespace vellaro::bench {

// A list such as a long-time user builds up: Bulgarian names that share long beginnings
// ("Рожден ден на ..."), dates over a few years and times in the Bulgarian short forms, notes
// of every length (some empty), in no particular order. The same count gives the same list.
ReminderEntries realisticEntries(int count);

} // namespace vellaro::bench
