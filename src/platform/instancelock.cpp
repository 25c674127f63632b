#include "platform/instancelock.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vellaro {

FileInstanceLock::FileInstanceLock(QString path) : m_path(std::move(path))
{
    if (m_path.isEmpty()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty())
            folder = QDir::tempPath();
        m_path = folder + QStringLiteral("/vellaro.lock");
    }
}

FileInstanceLock::~FileInstanceLock()
{
    // Closing releases the lock. The file stays: removing it could let a start that opened it a
    // moment earlier lock a file nobody else can find any more.
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileInstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    const QByteArray native = QFile::encodeName(m_path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;

    // For whoever looks at the file: which process holds it.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    }
    return true;
}

} // namespace vellaro
