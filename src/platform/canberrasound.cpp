#include "platform/canberrasound.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <canberra.h>

namespace vellaro {

CanberraSound::CanberraSound(QString defaultAlarmFile)
    : m_defaultAlarmFile(std::move(defaultAlarmFile))
{}

CanberraSound::~CanberraSound()
{
    stopAlarm();
    if (m_context)
        ca_context_destroy(m_context);
}

ca_context *CanberraSound::context()
{
    if (m_context || m_unavailable)
        return m_context;
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        m_unavailable = true;
        return nullptr;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Vellaro", CA_PROP_APPLICATION_ID,
                            "example.vellaro.Vellaro", nullptr);
    return m_context;
}

bool CanberraSound::startAlarm(const QString &path)
{
    stopAlarm();
    if (QFileInfo(path).isFile()) {
        const int result = startFile(path);
        if (result == CA_SUCCESS)
            return true;
        if (!isFileProblem(result))
            return false;
    }
    return startDefaultAlarm();
}

void CanberraSound::stopAlarm()
{
    if (m_alarmId != 0 && m_context)
        ca_context_cancel(m_context, m_alarmId);
    m_alarmId = 0;
    if (m_player) {
        m_player->kill();
        m_player->waitForFinished(1000);
        m_player.reset();
    }
}

bool CanberraSound::isFileProblem(int result)
{
    return result == CA_ERROR_NOTFOUND || result == CA_ERROR_NOTSUPPORTED ||
           result == CA_ERROR_CORRUPT || result == CA_ERROR_ACCESS || result == CA_ERROR_IO ||
           result == CA_ERROR_TOOBIG;
}

bool CanberraSound::startDefaultAlarm()
{
    ca_proplist *props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS)
        return false;
    ca_proplist_sets(props, CA_PROP_EVENT_ID, "alarm-clock-elapsed");
    ca_proplist_sets(props, CA_PROP_MEDIA_ROLE, "alarm");
    const int result = start(props);
    ca_proplist_destroy(props);
    if (result == CA_SUCCESS)
        return true;
    // Only a theme without the sound brings in the program's own; without a sound server that
    // one would fail the same way.
    if (result != CA_ERROR_NOTFOUND)
        return false;
    if (m_defaultAlarmFile.isEmpty())
        m_defaultAlarmFile = installedAlarmSound();
    return !m_defaultAlarmFile.isEmpty() && startFile(m_defaultAlarmFile) == CA_SUCCESS;
}

int CanberraSound::startFile(const QString &path)
{
    ca_proplist *props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS)
        return CA_ERROR_OOM;
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME, file.constData());
    ca_proplist_sets(props, CA_PROP_MEDIA_ROLE, "alarm");
    ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    const int result = start(props);
    ca_proplist_destroy(props);
    // libcanberra reads only 8- and 16-bit PCM; a file in another WAV encoding is still played,
    // by PulseAudio's own player, rather than leaving the alarm silent.
    if (result == CA_ERROR_NOTSUPPORTED || result == CA_ERROR_CORRUPT)
        return startPaplay(file) ? CA_SUCCESS : result;
    return result;
}

int CanberraSound::start(ca_proplist *props)
{
    ca_context *ctx = context();
    if (!ctx)
        return CA_ERROR_NODRIVER;
    // The file is opened and its format read before this returns, so a file that cannot be
    // played is known here; the sound itself then plays on libcanberra's thread.
    const quint32 id = m_nextId++;
    const int result = ca_context_play_full(ctx, id, props, nullptr, nullptr);
    if (result == CA_SUCCESS)
        m_alarmId = id;
    return result;
}

QString installedAlarmSound()
{
    // Installed: <prefix>/bin/vellaro and <prefix>/share/vellaro/alarm.wav, wherever the prefix
    // is. The build folder holds the same layout beside the executable.
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral("vellaro/alarm.wav");
    for (const QString &candidate : {exeDir + QStringLiteral("/../share/") + name,
                                     exeDir + QStringLiteral("/share/") + name}) {
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
}

bool CanberraSound::startPaplay(const QByteArray &file)
{
    const QString paplay = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    if (paplay.isEmpty())
        return false;
    auto player = std::make_unique<QProcess>();
    player->setProgram(paplay);
    player->setArguments({QFile::decodeName(file)});
    player->setStandardOutputFile(QProcess::nullDevice());
    player->setStandardErrorFile(QProcess::nullDevice());
    player->start();
    if (!player->waitForStarted(2000))
        return false;
    m_player = std::move(player);
    return true;
}

void CanberraSound::playEvent(const QString &eventId)
{
    if (ca_context *ctx = context())
        ca_context_play(ctx, 0, CA_PROP_EVENT_ID, eventId.toUtf8().constData(), nullptr);
}

} // namespace vellaro
