#pragma once

#include "core/clock.h"
#include "core/wallclocktimer.h"

#include <functional>

namespace vellaro {

// The clock as a test sets it. `afterRead` runs after each reading: a test makes time pass while
// the code under test works.
class FakeClock final : public Clock
{
public:
    FakeClock() = default;
    explicit FakeClock(const QDateTime &at) : current(at) {}
    QDateTime now() const override
    {
        const QDateTime read = current;
        if (afterRead)
            afterRead();
        return read;
    }
    QDateTime current{QDate(2026, 12, 9), QTime(9, 0, 0)};
    std::function<void()> afterRead;
};

// The wall-clock timer as the check sees it: the test reads the moment asked for and plays the
// timer firing or the clock being set. Like a real timer, asking again replaces the moment.
class FakeWakeTimer final : public WallClockTimer
{
public:
    void wakeAt(const QDateTime &when) override
    {
        asked = when;
        ++armings;
    }
    void fire() { emit woke(); }
    void setClock() { emit clockChanged(); }
    QDateTime asked;
    int armings = 0;
};

} // namespace vellaro
