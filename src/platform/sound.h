#pragma once

#include <QString>

namespace vellaro {

// Sound output: the alarm file, played to its end, and the desktop's short event sounds.
class Sound
{
public:
    virtual ~Sound() = default;
    // Plays the WAV file and returns when it has finished (at once when it cannot be played:
    // missing file, no audio server). Returns whether it was played.
    virtual bool playFileAndWait(const QString &path) = 0;
    // Starts the desktop theme's event sound (for example "menu-click") without waiting;
    // silent when the theme has no such sound.
    virtual void playEvent(const QString &eventId) = 0;
};

} // namespace vellaro
