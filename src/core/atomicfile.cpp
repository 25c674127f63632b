#include "core/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellaro {

namespace {

mode_t newFileMode()
{
    // Single-threaded program: reading the umask by setting it back is safe here.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the folder and any missing folder above it, private to the user as the XDG base
// directories ask of folders an application creates. Returns 0 or the errno of the failed step.
int makeFolders(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return 0;
    if (errno != ENOENT)
        return errno;
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return ENOENT;
    if (const int err = makeFolders(path.left(slash)))
        return err;
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return 0;
    return errno;
}

int fail(int fd, const QByteArray &tempName)
{
    const int err = errno ? errno : EIO;
    if (fd >= 0)
        ::close(fd);
    ::unlink(tempName.constData());
    return err;
}

} // namespace

int writeFileAtomically(const QString &path, QByteArrayView data)
{
    return writeFileAtomically(path, [data](const AtomicWrite &write) { write(data); });
}

int writeFileAtomically(const QString &path,
                        const std::function<void(const AtomicWrite &)> &produce)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString resolved = info.symLinkTarget();
        if (!resolved.isEmpty())
            target = resolved;
    }
    const QByteArray nativeTarget = QFile::encodeName(target);

    struct stat st
    {};
    mode_t mode = newFileMode();
    if (::stat(nativeTarget.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        // A file its owner made read-only stays as it is: the rename would replace it anyway.
        if (::faccessat(AT_FDCWD, nativeTarget.constData(), W_OK, AT_EACCESS) != 0)
            return errno ? errno : EACCES;
        mode = st.st_mode & 07777;
    }

    const QFileInfo targetInfo(target);
    const QByteArray tempTemplate =
        QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                          QStringLiteral(".XXXXXX"));
    QByteArray tempName = tempTemplate;
    errno = 0;
    int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // The first save into the user's data or settings folder, which nothing made yet.
        if (const int err = makeFolders(QFile::encodeName(targetInfo.absolutePath())))
            return err;
        tempName = tempTemplate;
        errno = 0;
        fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    }
    if (fd < 0)
        return errno ? errno : EIO;

    if (::fchmod(fd, mode) != 0)
        return fail(fd, tempName);

    int writeError = 0;
    off_t written = 0;
    off_t handedToDisk = 0;
    const AtomicWrite write = [fd, &writeError, &written, &handedToDisk](QByteArrayView piece) {
        const char *p = piece.data();
        qsizetype left = piece.size();
        while (left > 0 && writeError == 0) {
            const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                writeError = n < 0 && errno != 0 ? errno : ENOSPC;
                break;
            }
            p += n;
            left -= n;
            written += n;
        }
        // A long content starts on its way to the disk while the rest is still being made, so
        // the flush at the end has less left to wait for.
        constexpr off_t kHandOnEvery = 1 << 20;
        if (writeError == 0 && written - handedToDisk >= kHandOnEvery) {
            ::sync_file_range(fd, handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE);
            handedToDisk = written;
        }
    };
    try {
        produce(write);
    } catch (...) {
        fail(fd, tempName);
        throw;
    }
    if (writeError != 0) {
        errno = writeError;
        return fail(fd, tempName);
    }
    if (::fsync(fd) != 0)
        return fail(fd, tempName);
    if (::close(fd) != 0)
        return fail(-1, tempName);
    if (::rename(tempName.constData(), nativeTarget.constData()) != 0)
        return fail(-1, tempName);

    // Make the rename itself durable; a failure here no longer risks the data.
    const int dirFd = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

} // namespace vellaro
