#pragma once

#include "platform/sound.h"

struct ca_context;
struct ca_proplist;

namespace vellaro {

// Sound through libcanberra (the freedesktop event-sound library, PulseAudio backend). The alarm
// file is played to its end; while it plays the event loop keeps serving timers and signals but
// not user input, and an absent sound server returns at once. A missing or unplayable alarm file
// gives the default alarm sound instead: the sound theme's "alarm-clock-elapsed", or, when the
// theme has none, the program's own sound.
class CanberraSound final : public Sound
{
public:
    // Empty: the program's own alarm sound is looked up where it is installed.
    explicit CanberraSound(QString defaultAlarmFile = {});
    ~CanberraSound() override;

    bool playFileAndWait(const QString &path) override;
    void playEvent(const QString &eventId) override;

private:
    ca_context *context();
    bool playDefaultAlarm();
    // These return libcanberra's result: CA_SUCCESS once the sound has played.
    int playFile(const QString &path);
    int playAndWait(ca_proplist *props, int limitMs);
    bool playWithPaplay(const QByteArray &file, int limitMs);
    static bool isFileProblem(int result);

    QString m_defaultAlarmFile;
    ca_context *m_context = nullptr;
    bool m_unavailable = false;
    quint32 m_nextId = 1;
};

// The program's own alarm sound: share/vellaro/alarm.wav of the installation prefix (found from the
// executable, so a prefix may move) or of the build folder, else of $XDG_DATA_DIRS; empty when
// there is none.
QString installedAlarmSound();

// How long a WAV file plays, from its header; -1 when the header does not tell.
qint64 wavDurationMs(const QString &path);

} // namespace vellaro
