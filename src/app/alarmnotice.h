#pragma once

#include "platform/desktopnotifier.h"

#include <QObject>
#include <QPointer>

namespace vellaro {

class AlarmWindow;

// What the desktop shows of an alarm besides its window, for as long as the notice lives: the
// notification (picking it brings the window forward, its "Отложи" and "Затвори" do what the
// window's buttons do), and the window's request for attention when it did not get the focus.
// Made when the alarm window opens, gone when it closes.
class AlarmNotice final : public QObject
{
public:
    // How long a window may take to get the focus before it asks for attention.
    static constexpr int kFocusGraceMs = 1000;

    AlarmNotice(DesktopNotifier *notifier, AlarmWindow *window,
                const AlarmNotification &notification);
    ~AlarmNotice() override;
    AlarmNotice(const AlarmNotice &) = delete;
    AlarmNotice &operator=(const AlarmNotice &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stopAskingForAttention();

    DesktopNotifier *m_notifier;
    QPointer<AlarmWindow> m_window;
    quint64 m_notification = 0;
    bool m_askingForAttention = false;
};

} // namespace vellaro
