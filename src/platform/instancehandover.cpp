#include "platform/instancehandover.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vellaro {

namespace {

// A request is a few words; anything longer is not one of ours.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
constexpr int kConnectTries = 30;
constexpr unsigned long kConnectPauseMs = 100;

bool makeAddress(const QString &path, sockaddr_un &address)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return true;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QString handOverSocketPath(const QString &lockPath)
{
    return QFileInfo(lockPath).absolutePath() + QStringLiteral("/vellaro.socket");
}

InstanceHandOverServer::InstanceHandOverServer(QString socketPath, QObject *parent)
    : QObject(parent), m_path(std::move(socketPath))
{}

InstanceHandOverServer::~InstanceHandOverServer()
{
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it)
        ::close(it.key());
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(QFile::encodeName(m_path).constData());
    }
}

bool InstanceHandOverServer::listen()
{
    sockaddr_un address;
    if (m_listenFd >= 0 || !makeAddress(m_path, address))
        return m_listenFd >= 0;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // The lock is ours, so a socket still there is a crashed instance's.
    ::unlink(address.sun_path);
    // Only this user may hand requests over, whichever folder the socket is in.
    const mode_t oldMask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_listener = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_listener, &QSocketNotifier::activated, this, &InstanceHandOverServer::accept);
    return true;
}

void InstanceHandOverServer::accept()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { read(fd); });
        m_connections.insert(fd, {notifier, {}});
    }
}

void InstanceHandOverServer::read(int fd)
{
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return; // more to come
        if (n <= 0)
            break; // the caller closed its end: the request is whole
        it->received.append(buffer, n);
        if (it->received.size() > kMaxRequestBytes) {
            drop(fd);
            return;
        }
    }
    const QByteArray received = it->received;
    drop(fd);
    QStringList words;
    for (const QByteArray &word : received.split('\0'))
        words << QString::fromUtf8(word);
    // Every word ends in NUL, so the split leaves an empty piece after the last; a request
    // that was cut off (no NUL at its end) is not acted on.
    if (words.size() < 2 || !received.endsWith('\0'))
        return;
    words.removeLast();
    emit requested(words);
}

void InstanceHandOverServer::drop(int fd)
{
    const Connection connection = m_connections.take(fd);
    // Called from the notifier's own signal: it goes once that has returned.
    connection.notifier->setEnabled(false);
    connection.notifier->deleteLater();
    ::close(fd);
}

bool handOverToRunningInstance(const QString &socketPath, const QStringList &words)
{
    sockaddr_un address;
    if (!makeAddress(socketPath, address))
        return false;
    QByteArray request;
    for (const QString &word : words)
        request += word.toUtf8() + '\0';

    for (int attempt = 0; attempt < kConnectTries; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0) {
            const bool sent = writeAll(fd, request);
            ::close(fd);
            return sent;
        }
        const int error = errno;
        ::close(fd);
        // The instance holds the lock but may not listen yet.
        if (error != ENOENT && error != ECONNREFUSED && error != EAGAIN)
            return false;
        QThread::msleep(kConnectPauseMs);
    }
    return false;
}

} // namespace vellaro
