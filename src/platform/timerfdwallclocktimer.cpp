#include "platform/timerfdwallclocktimer.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vellaro {

namespace {

const QString kZoneFolder = QStringLiteral("/etc");
const QString kZoneFile = QStringLiteral("/etc/localtime");

// What the zone file is: the zone it links to, and when it was last written.
QString zoneIdentity()
{
    const QFileInfo file(kZoneFile);
    return file.canonicalFilePath() + u' ' +
           QString::number(file.lastModified().toMSecsSinceEpoch());
}

} // namespace

TimerFdWallClockTimer::TimerFdWallClockTimer(QObject *parent) : WallClockTimer(parent)
{
    m_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TimerFdWallClockTimer::onReadable);
    }
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &WallClockTimer::woke);

    // /etc/localtime is usually a link that a zone change replaces, so its folder is watched too.
    m_zoneIdentity = zoneIdentity();
    connect(&m_zoneWatch, &QFileSystemWatcher::fileChanged, this,
            &TimerFdWallClockTimer::watchZone);
    connect(&m_zoneWatch, &QFileSystemWatcher::directoryChanged, this,
            &TimerFdWallClockTimer::watchZone);
    if (QFileInfo::exists(kZoneFile))
        m_zoneWatch.addPath(kZoneFile);
    if (QFileInfo::exists(kZoneFolder))
        m_zoneWatch.addPath(kZoneFolder);
}

TimerFdWallClockTimer::~TimerFdWallClockTimer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TimerFdWallClockTimer::wakeAt(const QDateTime &when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    const auto startFallback = [this, ms] {
        // A timeout that is due but not yet delivered would be dropped by the restart.
        if (m_fallback.isActive() && m_fallback.remainingTime() == 0)
            QMetaObject::invokeMethod(this, &WallClockTimer::woke, Qt::QueuedConnection);
        m_fallback.start(
            int(std::clamp<qint64>(ms - QDateTime::currentMSecsSinceEpoch(), 0, 24 * 3600 * 1000)));
    };
    if (m_fd < 0) {
        startFallback();
        return;
    }
    // Setting the timer clears an expiry or a clock change it has not reported yet: whatever is
    // pending goes out first, after this call.
    readPending(true);
    itimerspec spec{};
    // A moment at or before the epoch would disarm the timer; the earliest moment fires at once.
    spec.it_value.tv_sec = std::max<qint64>(ms / 1000, 0);
    spec.it_value.tv_nsec = ms > 0 ? (ms % 1000) * 1000000 : 1;
    if (timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) != 0)
        startFallback();
}

void TimerFdWallClockTimer::onReadable()
{
    readPending(false);
}

void TimerFdWallClockTimer::readPending(bool queued)
{
    std::uint64_t expirations = 0;
    const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
    void (WallClockTimer::*report)() = nullptr;
    if (got == sizeof expirations)
        report = &WallClockTimer::woke;
    else if (got < 0 && errno == ECANCELED)
        report = &WallClockTimer::clockChanged;
    if (!report)
        return;
    if (queued)
        QMetaObject::invokeMethod(this, report, Qt::QueuedConnection);
    else
        (this->*report)();
}

void TimerFdWallClockTimer::watchZone()
{
    // A replaced file drops out of the watch; take the new one in again.
    if (QFileInfo::exists(kZoneFile) && !m_zoneWatch.files().contains(kZoneFile))
        m_zoneWatch.addPath(kZoneFile);
    // Other files of the folder change too; only the zone file's own change counts.
    const QString identity = zoneIdentity();
    if (identity == m_zoneIdentity)
        return;
    m_zoneIdentity = identity;
    emit clockChanged();
}

} // namespace vellaro
