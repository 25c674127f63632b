#pragma once

#include "core/remindercheck.h"

#include <QObject>

#include <functional>

namespace vellaro {

class Clock;
class ReminderListModel;
class WallClockTimer;

// Keeps the check on its one timeline while the program sleeps between due seconds: it looks at
// the clock when the timer wakes it, when the clock is set or the zone changes, and before every
// change of the list (so that an add, edit or delete never reaches back into seconds that have
// passed); after each wake it plans the next one from the last second looked at.
class ReminderWatch final : public QObject
{
    Q_OBJECT

public:
    // How the handlers the timer and the list call are entered; the program passes its guard,
    // which shows an error instead of letting it reach the event loop.
    using Entry = std::function<void(const std::function<void()> &)>;

    // Without a timer nothing is planned; the owner calls wake() itself.
    ReminderWatch(const Clock &clock, WallClockTimer *timer, const ReminderListModel &list,
                  const LocaleFormats &formats, Entry entry = {}, QObject *parent = nullptr);

    // Asks for the run's first look, as soon as the event loop runs.
    void start();
    // Looks at the seconds up to now, then plans the next wake.
    void wake();
    // Looks at the seconds up to now, once the run's first look has been made. Called before
    // the list or the regional settings change.
    void settle();
    // Plans again after the event loop's current pass: many changes in a row plan once.
    void schedulePlan();

    // The last second looked at, in local time; before the first look, the second before now.
    QDateTime lastLooked() const;

    // An editor opens: the seconds up to now are settled, and the mark it returns says where
    // the editor's time began.
    qint64 editStarted();
    // The row was added or given new date or time texts from an editor opened at `mark`. A
    // moment that passed while the editor was open sounds now, once; one that had passed when
    // it opened never does.
    void editSaved(qint64 mark, int row);

signals:
    // Rows that fell due, in order of their seconds.
    void due(const QList<DueReminder> &reminders);
    // The run's first look has been made: what passed before it can no longer fall due.
    void firstLookMade();
    // Rows a suspend of more than a week carried past the bound of the catch-up, in order of
    // their seconds: they do not sound, they are told.
    void passedOver(const QList<MissedReminder> &reminders);

private:
    void look(const QDateTime &now);
    void plan();
    void enter(const std::function<void()> &handler) const;

    const Clock &m_clock;
    WallClockTimer *m_timer;
    const ReminderListModel &m_list;
    const LocaleFormats &m_formats;
    Entry m_entry;
    ReminderCheck m_check;
    bool m_planPending = false;
};

} // namespace vellaro
