#pragma once

#include <QString>

namespace vellaro {

// One running instance per user. The lock lives in the user's runtime folder for the whole run;
// a lock left behind by a crashed instance (its process is gone) does not block a new start.
class InstanceLock
{
public:
    virtual ~InstanceLock() = default;
    // True when this process is now the only running instance.
    virtual bool tryAcquire() = 0;
};

// The lock is the system's lock on an open file, which ends with the process that holds it
// however that process ends; what the file holds never matters, so a file left half-written by
// a crash cannot block a later start.
class FileInstanceLock final : public InstanceLock
{
public:
    // Empty path: "vellaro.lock" in the user's runtime folder.
    explicit FileInstanceLock(QString path = {});
    ~FileInstanceLock() override;
    FileInstanceLock(const FileInstanceLock &) = delete;
    FileInstanceLock &operator=(const FileInstanceLock &) = delete;

    bool tryAcquire() override;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace vellaro
