#pragma once

#include "notifyshell.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>
#include <vector>

namespace vellaro {

// The notification area of a Linux desktop through QSystemTrayIcon: a StatusNotifierItem when
// the session has a host for one, an XEmbed tray icon otherwise. Qt reports activations, not
// mouse buttons, so each activation is sent on as the press and release it stands for.
//
// An icon added while the desktop has no notification area is kept and docks as soon as one
// appears; the area is looked for again every two seconds, also to notice it going away.
class SystemTrayShell final : public NotifyIconShell
{
    Q_OBJECT

public:
    explicit SystemTrayShell(QObject *parent = nullptr);
    ~SystemTrayShell() override;

    bool Shell_NotifyIconA(NotifyIconMessage message, const NOTIFYICONDATAA &data) override;
    bool isAreaAvailable() const override { return m_areaAvailable; }

    bool GetCursorPos(QPoint &point) override;
    qint16 GetKeyState(int virtualKey) override;
    void SetForegroundWindow(QWidget *window) override;
    void SetFocus(QWidget *widget) override;
    void TrackPopupMenu(QMenu *menu, QPoint point) override;
    void PostMessageA(QWidget *window, quint32 message, quintptr wParam, qintptr lParam) override;

    // The mouse messages one activation stands for, in the order they are sent.
    static std::vector<quint32> mouseMessages(QSystemTrayIcon::ActivationReason reason);

private:
    struct Entry
    {
        QPointer<MessageWindow> target;
        quint32 id = 0;
        bool callbacks = false;
        quint32 callbackMessage = 0;
        std::unique_ptr<QSystemTrayIcon> tray;
    };

    Entry *find(const MessageWindow *target, quint32 id);
    Entry *find(const QSystemTrayIcon *tray);
    void apply(Entry &entry, const NOTIFYICONDATAA &data);
    void activated(QSystemTrayIcon *tray, QSystemTrayIcon::ActivationReason reason);
    void watchArea();

    std::vector<std::unique_ptr<Entry>> m_entries;
    QTimer m_areaWatch;
    QElapsedTimer m_sinceLook;
    bool m_areaAvailable = false;
};

} // namespace vellaro
