#pragma once

#include "core/wallclocktimer.h"

#include <QFileSystemWatcher>
#include <QTimer>

class QSocketNotifier;

namespace vellaro {

// A timerfd on CLOCK_REALTIME with an absolute expiry, cancelled (and so reported) when the clock
// is set. A change of the time zone moves local time without setting the clock; the zone files
// are watched for that (through inotify, so an idle program is not woken by it).
class TimerFdWallClockTimer final : public WallClockTimer
{
    Q_OBJECT

public:
    explicit TimerFdWallClockTimer(QObject *parent = nullptr);
    ~TimerFdWallClockTimer() override;

    void wakeAt(const QDateTime &when) override;

private:
    // Reads what the timer has to report; a pending report is sent on, never dropped.
    void onReadable();
    void readPending(bool queued);
    void watchZone();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    // Where there is no timerfd: a precise timer, good while the machine stays awake.
    QTimer m_fallback;
    QFileSystemWatcher m_zoneWatch;
    QString m_zoneIdentity;
};

} // namespace vellaro
