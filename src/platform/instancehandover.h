#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace vellaro {

// How a later start hands its request to the instance that runs: a Unix socket beside the
// instance lock, which only the instance holding the lock listens on. One request a connection:
// its words, each ended by a NUL byte, until the caller closes its end.
class InstanceHandOverServer final : public QObject
{
    Q_OBJECT

public:
    explicit InstanceHandOverServer(QString socketPath, QObject *parent = nullptr);
    ~InstanceHandOverServer() override;

    // Call only while holding the instance lock: a socket a crashed instance left is replaced.
    bool listen();

signals:
    void requested(const QStringList &words);

private:
    void accept();
    void read(int fd);
    void drop(int fd);

    QString m_path;
    int m_listenFd = -1;
    QSocketNotifier *m_listener = nullptr;
    struct Connection
    {
        QSocketNotifier *notifier;
        QByteArray received;
    };
    QHash<int, Connection> m_connections;
};

// The socket that goes with the instance lock at `lockPath`.
QString handOverSocketPath(const QString &lockPath);

// Sends a request to the running instance; false when none takes it within a few seconds (it
// may still be starting, so a refused connection is tried again for a while).
bool handOverToRunningInstance(const QString &socketPath, const QStringList &words);

} // namespace vellaro
