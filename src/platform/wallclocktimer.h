#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace vellaro {

// Wakes the program at a moment of the wall clock. Unlike a QTimer, which counts on a clock that
// stops while the machine is suspended, the moment stays a moment: after a suspend it fires as
// soon as the machine is back.
class WallClockTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Replaces whatever was asked before; a moment already past fires at once.
    virtual void wakeAt(const QDateTime &when) = 0;

signals:
    void woke();
    // The clock was set, or the time zone changed: a moment planned before may be wrong.
    void clockChanged();
};

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
    void onReadable();
    void watchZone();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    // Where there is no timerfd: a precise timer, good while the machine stays awake.
    QTimer m_fallback;
    QFileSystemWatcher m_zoneWatch;
    QString m_zoneIdentity;
};

} // namespace vellaro
