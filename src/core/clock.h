#pragma once

#include <QDateTime>

namespace vellaro {

// The local clock, read with millisecond resolution each time it is needed. Tests drive a fake.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace vellaro
