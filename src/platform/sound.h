#pragma once

#include <QString>

namespace vellaro {

// Sound output: the alarm file, played to its end, and the desktop's short event sounds.
class Sound
{
public:
    virtual ~Sound() = default;
    // Plays the WAV file and returns when it has finished; a missing or unplayable file gives
    // the desktop's default alarm sound instead. Returns at once when nothing can be played (no
    // audio server). Returns whether a sound was played.
    virtual bool playFileAndWait(const QString &path) = 0;
    // Starts the desktop theme's event sound (for example "menu-click") without waiting;
    // silent when the theme has no such sound.
    virtual void playEvent(const QString &eventId) = 0;
};

} // namespace vellaro
