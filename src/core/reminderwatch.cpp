#include "core/reminderwatch.h"

#include "core/clock.h"
#include "core/reminderlistmodel.h"
#include "core/secondtexts.h"
#include "core/wallclocktimer.h"

namespace vellaro {

ReminderWatch::ReminderWatch(const Clock &clock, WallClockTimer *timer,
                             const ReminderListModel &list, const LocaleFormats &formats,
                             Entry entry, QObject *parent)
    : QObject(parent), m_clock(clock), m_timer(timer), m_list(list), m_formats(formats),
      m_entry(std::move(entry))
{
    if (m_timer) {
        connect(m_timer, &WallClockTimer::woke, this, [this] { enter([this] { wake(); }); });
        connect(m_timer, &WallClockTimer::clockChanged, this,
                [this] { enter([this] { wake(); }); });
    }
    connect(&m_list, &ReminderListModel::aboutToChange, this,
            [this] { enter([this] { settle(); }); });
    // Any change of the rows' texts may bring the next due second nearer or take it away.
    for (auto signal : {&ReminderListModel::rowsInserted, &ReminderListModel::rowsRemoved})
        connect(&m_list, signal, this, &ReminderWatch::schedulePlan);
    connect(&m_list, &ReminderListModel::dataChanged, this, &ReminderWatch::schedulePlan);
    connect(&m_list, &ReminderListModel::modelReset, this, &ReminderWatch::schedulePlan);
}

void ReminderWatch::enter(const std::function<void()> &handler) const
{
    if (m_entry)
        m_entry(handler);
    else
        handler();
}

void ReminderWatch::start()
{
    // No second has been looked at yet, so the plan is: now.
    plan();
}

void ReminderWatch::wake()
{
    // One reading of the clock for the look; the plan starts from the second it reached, so
    // whatever falls due while the look takes its time is planned for at once.
    look(m_clock.now());
    plan();
}

void ReminderWatch::settle()
{
    if (m_check.hasLooked())
        look(m_clock.now());
}

void ReminderWatch::look(const QDateTime &now)
{
    const bool first = !m_check.hasLooked();
    const QList<DueReminder> found = m_check.collectDue(now, m_list, m_formats);
    if (const QList<MissedReminder> passed = m_check.takePassedOver(); !passed.isEmpty())
        emit passedOver(passed);
    if (!found.isEmpty())
        emit due(found);
    if (first)
        emit firstLookMade();
}

void ReminderWatch::schedulePlan()
{
    if (m_planPending || !m_timer)
        return;
    m_planPending = true;
    QMetaObject::invokeMethod(
        this, [this] { enter([this] { plan(); }); }, Qt::QueuedConnection);
}

QDateTime ReminderWatch::lastLooked() const
{
    const QDateTime now = m_clock.now();
    if (!m_check.hasLooked())
        return now.addSecs(-1);
    return localSecond(m_check.lastSecond(now), now);
}

qint64 ReminderWatch::editStarted()
{
    const QDateTime now = m_clock.now();
    settle();
    return m_check.lastSecond(now);
}

void ReminderWatch::editSaved(qint64 mark, int row)
{
    const QDateTime now = m_clock.now();
    // The change itself settled the seconds up to it; this reads them again for the one row.
    settle();
    if (const std::optional<DueReminder> passed =
            m_check.passedSince(mark, now, row, m_list, m_formats))
        emit due({*passed});
}

void ReminderWatch::plan()
{
    m_planPending = false;
    if (m_timer)
        m_timer->wakeAt(m_check.nextWake(m_clock.now(), m_list, m_formats));
}

} // namespace vellaro
