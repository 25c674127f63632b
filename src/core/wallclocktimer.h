#pragma once

#include <QDateTime>
#include <QObject>

namespace vellaro {

// Wakes the program at a moment of the wall clock. Unlike a QTimer, which counts on a clock that
// stops while the machine is suspended, the moment stays a moment: after a suspend it fires as
// soon as the machine is back.
class WallClockTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Replaces whatever was asked before; a moment already past fires at once. An expiry or a
    // clock change that happened before the call is still reported.
    virtual void wakeAt(const QDateTime &when) = 0;

signals:
    void woke();
    // The clock was set, or the time zone changed: a moment planned before may be wrong.
    void clockChanged();
};

} // namespace vellaro
