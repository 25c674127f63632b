#include "instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

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

FileInstanceLock::~FileInstanceLock() = default;

bool FileInstanceLock::tryAcquire()
{
    m_lock = std::make_unique<QLockFile>(m_path);
    // A running instance holds its lock for days: only a dead owner makes a lock stale.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace vellaro
