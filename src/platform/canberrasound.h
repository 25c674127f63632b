#pragma once

#include "platform/sound.h"

#include <QByteArray>

#include <memory>

class QProcess;
struct ca_context;
struct ca_proplist;

namespace vellaro {

// Sound through libcanberra (the freedesktop event-sound library, PulseAudio backend). libcanberra
// plays on a thread of its own; starting a sound returns at once, and whether the file can be
// played at all is known then. A missing or unplayable alarm file gives the default alarm sound
// instead: the sound theme's "alarm-clock-elapsed", or, when the theme has none, the program's
// own sound.
class CanberraSound final : public Sound
{
public:
    // Empty: the program's own alarm sound is looked up where it is installed.
    explicit CanberraSound(QString defaultAlarmFile = {});
    ~CanberraSound() override;

    bool startAlarm(const QString &path) override;
    void stopAlarm() override;
    void playEvent(const QString &eventId) override;

private:
    ca_context *context();
    bool startDefaultAlarm();
    // These return libcanberra's result: CA_SUCCESS once the sound has started.
    int startFile(const QString &path);
    int start(ca_proplist *props);
    bool startPaplay(const QByteArray &file);
    static bool isFileProblem(int result);

    QString m_defaultAlarmFile;
    ca_context *m_context = nullptr;
    bool m_unavailable = false;
    quint32 m_nextId = 1;
    // The alarm that may still be playing: libcanberra's id for it, or PulseAudio's own player.
    quint32 m_alarmId = 0;
    std::unique_ptr<QProcess> m_player;
};

// The program's own alarm sound: share/vellaro/alarm.wav of the installation prefix (found from the
// executable, so a prefix may move) or of the build folder, else of $XDG_DATA_DIRS; empty when
// there is none.
QString installedAlarmSound();

} // namespace vellaro
