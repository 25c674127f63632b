#pragma once

#include <QString>

namespace vellaro {

// Sound output: the alarm, and the desktop's short event sounds. Nothing here waits for a sound
// to end: the alarm window and the check stay live while it plays.
class Sound
{
public:
    virtual ~Sound() = default;
    // Starts the WAV file and returns at once; a missing or unplayable file gives the desktop's
    // default alarm sound instead. An alarm still playing is stopped first. Returns whether a
    // sound started (nothing can play without an audio server).
    virtual bool startAlarm(const QString &path) = 0;
    // Stops the alarm sound if it still plays.
    virtual void stopAlarm() = 0;
    // Starts the desktop theme's event sound (for example "menu-click"); silent when the theme
    // has no such sound.
    virtual void playEvent(const QString &eventId) = 0;
};

} // namespace vellaro
