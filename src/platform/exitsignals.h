#pragma once

#include <QObject>

class QSocketNotifier;

namespace vellaro {

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal delivered on the event loop, so a logout,
// shutdown or Ctrl+C runs the same orderly exit as the exit command and nothing is lost.
class ExitSignals final : public QObject
{
    Q_OBJECT

public:
    explicit ExitSignals(QObject *parent = nullptr);
    ~ExitSignals() override;

signals:
    void exitRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vellaro
