#pragma once

#include <QString>

#include <memory>

class QLockFile;

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

class FileInstanceLock final : public InstanceLock
{
public:
    // Empty path: "vellaro.lock" in the user's runtime folder.
    explicit FileInstanceLock(QString path = {});
    ~FileInstanceLock() override;

    bool tryAcquire() override;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace vellaro
