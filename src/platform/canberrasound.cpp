#include "platform/canberrasound.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <canberra.h>

#include <memory>
#include <mutex>

namespace vellaro {

namespace {

// Shared between the waiting side and libcanberra's thread, which reports the end of a sound.
struct PlayState
{
    std::mutex mutex;
    QEventLoop *loop = nullptr;
    bool finished = false;
    int error = 0; // libcanberra's result, CA_SUCCESS when the sound played to its end
};

void onFinished(ca_context *, uint32_t, int error, void *userdata)
{
    auto *holder = static_cast<std::shared_ptr<PlayState> *>(userdata);
    {
        const std::lock_guard lock((*holder)->mutex);
        (*holder)->finished = true;
        (*holder)->error = error;
        if ((*holder)->loop)
            QMetaObject::invokeMethod((*holder)->loop, &QEventLoop::quit, Qt::QueuedConnection);
    }
    delete holder;
}

quint32 readLe32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

} // namespace

qint64 wavDurationMs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(65536);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    qint64 pos = 12;
    while (pos + 8 <= head.size()) {
        const QByteArray id = head.mid(pos, 4);
        const quint32 size = readLe32(head.constData() + pos + 4);
        if (id == "fmt " && pos + 20 <= head.size())
            byteRate = readLe32(head.constData() + pos + 16);
        if (id == "data") {
            if (byteRate == 0)
                return -1;
            const qint64 available = std::min<qint64>(size, file.size() - pos - 8);
            return available * 1000 / byteRate;
        }
        pos += 8 + size + (size & 1);
    }
    return -1;
}

CanberraSound::CanberraSound(QString defaultAlarmFile)
    : m_defaultAlarmFile(std::move(defaultAlarmFile))
{}

CanberraSound::~CanberraSound()
{
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

bool CanberraSound::playFileAndWait(const QString &path)
{
    if (QFileInfo(path).isFile()) {
        const int result = playFile(path);
        if (result == CA_SUCCESS)
            return true;
        if (!isFileProblem(result))
            return false;
    }
    return playDefaultAlarm();
}

bool CanberraSound::isFileProblem(int result)
{
    return result == CA_ERROR_NOTFOUND || result == CA_ERROR_NOTSUPPORTED ||
           result == CA_ERROR_CORRUPT || result == CA_ERROR_ACCESS || result == CA_ERROR_IO ||
           result == CA_ERROR_TOOBIG;
}

bool CanberraSound::playDefaultAlarm()
{
    ca_proplist *props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS)
        return false;
    ca_proplist_sets(props, CA_PROP_EVENT_ID, "alarm-clock-elapsed");
    ca_proplist_sets(props, CA_PROP_MEDIA_ROLE, "alarm");
    const int result = playAndWait(props, 60000);
    ca_proplist_destroy(props);
    if (result == CA_SUCCESS)
        return true;
    // Only a theme without the sound brings in the program's own; without a sound server that
    // one would fail the same way.
    if (result != CA_ERROR_NOTFOUND)
        return false;
    if (m_defaultAlarmFile.isEmpty())
        m_defaultAlarmFile = installedAlarmSound();
    return !m_defaultAlarmFile.isEmpty() && playFile(m_defaultAlarmFile) == CA_SUCCESS;
}

int CanberraSound::playFile(const QString &path)
{
    ca_proplist *props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS)
        return CA_ERROR_OOM;
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME, file.constData());
    ca_proplist_sets(props, CA_PROP_MEDIA_ROLE, "alarm");
    ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    // Never wait for ever on a server that stopped answering: the alarm window must still come.
    const qint64 duration = wavDurationMs(path);
    const int limitMs = duration >= 0 ? int(std::min<qint64>(duration + 5000, 600000)) : 600000;
    const int result = playAndWait(props, limitMs);
    ca_proplist_destroy(props);
    // libcanberra reads only 8- and 16-bit PCM; a file in another WAV encoding is still played,
    // by PulseAudio's own player, rather than leaving the alarm silent.
    if (result == CA_ERROR_NOTSUPPORTED || result == CA_ERROR_CORRUPT)
        return playWithPaplay(file, limitMs) ? CA_SUCCESS : result;
    return result;
}

int CanberraSound::playAndWait(ca_proplist *props, int limitMs)
{
    ca_context *ctx = context();
    if (!ctx)
        return CA_ERROR_NODRIVER;

    auto state = std::make_shared<PlayState>();
    QEventLoop loop;
    {
        const std::lock_guard lock(state->mutex);
        state->loop = &loop;
    }
    const quint32 id = m_nextId++;
    auto *holder = new std::shared_ptr<PlayState>(state);
    const int result = ca_context_play_full(ctx, id, props, onFinished, holder);
    if (result != CA_SUCCESS) {
        // The callback is not called when playing could not start.
        delete holder;
        return result;
    }
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);

    bool finished = false;
    {
        const std::lock_guard lock(state->mutex);
        finished = state->finished;
    }
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    int error = CA_SUCCESS;
    {
        const std::lock_guard lock(state->mutex);
        state->loop = nullptr;
        finished = state->finished;
        error = state->error;
    }
    if (!finished) {
        // Played for as long as it may.
        ca_context_cancel(ctx, id);
        return CA_SUCCESS;
    }
    return error == CA_ERROR_CANCELED ? CA_SUCCESS : error;
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

bool CanberraSound::playWithPaplay(const QByteArray &file, int limitMs)
{
    const QString paplay = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    if (paplay.isEmpty())
        return false;
    QProcess player;
    player.setProgram(paplay);
    player.setArguments({QFile::decodeName(file)});
    player.setStandardOutputFile(QProcess::nullDevice());
    player.setStandardErrorFile(QProcess::nullDevice());
    QEventLoop loop;
    QObject::connect(&player, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&player, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    player.start();
    if (!player.waitForStarted(2000))
        return false;
    if (player.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (player.state() != QProcess::NotRunning) {
        player.kill();
        player.waitForFinished(1000);
    }
    return player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

void CanberraSound::playEvent(const QString &eventId)
{
    if (ca_context *ctx = context())
        ca_context_play(ctx, 0, CA_PROP_EVENT_ID, eventId.toUtf8().constData(), nullptr);
}

} // namespace vellaro
