#pragma once

#include "sound.h"

struct ca_context;

namespace vellaro {

// Sound through libcanberra (the freedesktop event-sound library, PulseAudio backend). The alarm
// file is played to its end; while it plays the event loop keeps serving timers and signals but
// not user input, and a missing file or an absent sound server returns at once.
class CanberraSound final : public Sound
{
public:
    CanberraSound();
    ~CanberraSound() override;

    bool playFileAndWait(const QString &path) override;
    void playEvent(const QString &eventId) override;

private:
    ca_context *context();
    bool playWithPaplay(const QByteArray &file, int limitMs);

    ca_context *m_context = nullptr;
    bool m_unavailable = false;
    quint32 m_nextId = 1;
};

// How long a WAV file plays, from its header; -1 when the header does not tell.
qint64 wavDurationMs(const QString &path);

} // namespace vellaro
