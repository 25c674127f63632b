#include "app/alarmnotice.h"

#include "dialogs/alarmwindow.h"
#include "platform/windowactivation.h"
#include "windowkit/guard.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace vellaro {

AlarmNotice::AlarmNotice(DesktopNotifier *notifier, AlarmWindow *window,
                         const AlarmNotification &notification)
    : m_notifier(notifier), m_window(window)
{
    if (m_notifier) {
        m_notification = m_notifier->post(notification);
        connect(m_notifier, &DesktopNotifier::activated, this,
                [this](quint64 picked, const QString &token) {
                    guarded([&] {
                        if (m_window && picked == m_notification && m_notification != 0)
                            bringWindowForward(m_window, token);
                    });
                });
        // The notification's buttons act on the window as its own do; closing the window then
        // withdraws the notification, so the two stay in step whichever the user picks.
        const auto onThisWindow = [this](auto act) {
            return [this, act](quint64 picked) {
                guarded([&] {
                    if (m_window && picked == m_notification && m_notification != 0)
                        act(*m_window);
                });
            };
        };
        connect(m_notifier, &DesktopNotifier::snoozeRequested, this,
                onThisWindow([](AlarmWindow &window) { window.snooze(); }));
        connect(m_notifier, &DesktopNotifier::closeRequested, this,
                onThisWindow([](AlarmWindow &window) { window.close(); }));
    }
    // The timer belongs to the notice, so a window closed sooner asks for nothing.
    QTimer::singleShot(kFocusGraceMs, this, [this] {
        guarded([this] {
            if (!m_window || !askForAttentionUnlessActive(m_window))
                return;
            m_askingForAttention = true;
            m_window->installEventFilter(this);
        });
    });
}

AlarmNotice::~AlarmNotice()
{
    // The window stays for the next alarm: it must not come back asking for attention.
    stopAskingForAttention();
    if (m_notifier && m_notification != 0)
        m_notifier->withdraw(m_notification);
}

bool AlarmNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        guarded([this] { stopAskingForAttention(); });
    return false;
}

void AlarmNotice::stopAskingForAttention()
{
    if (!m_askingForAttention || !m_window)
        return;
    m_askingForAttention = false;
    m_window->removeEventFilter(this);
    vellaro::stopAskingForAttention(m_window);
}

} // namespace vellaro
