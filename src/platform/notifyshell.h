#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

class QMenu;
class QWidget;

namespace vellaro {

// Window message numbers the tray icon works with, numbered as the Windows shell numbers them,
// so the icon's callbacks read the same on every desktop.
inline constexpr quint32 WM_NULL = 0x0000;
inline constexpr quint32 WM_SIZE = 0x0005;
inline constexpr quint32 WM_QUERYENDSESSION = 0x0011;
inline constexpr quint32 WM_MOUSEMOVE = 0x0200;
inline constexpr quint32 WM_LBUTTONDOWN = 0x0201;
inline constexpr quint32 WM_LBUTTONUP = 0x0202;
inline constexpr quint32 WM_LBUTTONDBLCLK = 0x0203;
inline constexpr quint32 WM_RBUTTONDOWN = 0x0204;
inline constexpr quint32 WM_RBUTTONUP = 0x0205;
inline constexpr quint32 WM_RBUTTONDBLCLK = 0x0206;
inline constexpr quint32 WM_MBUTTONDOWN = 0x0207;
inline constexpr quint32 WM_MBUTTONUP = 0x0208;

// Virtual key codes for the key-state query.
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;

// What a tray icon record carries.
inline constexpr quint32 NIF_MESSAGE = 0x1;
inline constexpr quint32 NIF_ICON = 0x2;
inline constexpr quint32 NIF_TIP = 0x4;

enum NotifyIconMessage : quint32
{
    NIM_ADD = 0,
    NIM_MODIFY = 1,
    NIM_DELETE = 2
};

// A hidden window that only receives messages: they are handed, synchronously, to the
// procedure it was made with. The tray icon names it as the target of its callbacks.
class MessageWindow final : public QObject
{
public:
    using Procedure = std::function<qintptr(quint32 message, quintptr wParam, qintptr lParam)>;

    explicit MessageWindow(Procedure procedure) : m_procedure(std::move(procedure)) {}

    qintptr SendMessage(quint32 message, quintptr wParam, qintptr lParam)
    {
        return m_procedure ? m_procedure(message, wParam, lParam) : DefWindowProc();
    }

    // What a message window answers to a message it does not handle itself.
    static qintptr DefWindowProc() { return 0; }

private:
    Procedure m_procedure;
};

// The record that names one icon of the notification area and what it shows. cbSize keeps the
// size of the classic 32-bit record (88 bytes), which is what the icon's owner fills in.
struct NOTIFYICONDATAA
{
    quint32 cbSize = 0;
    MessageWindow *hWnd = nullptr;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    QIcon hIcon;
    // At most 63 characters; empty means no tip.
    QString szTip;
};

inline constexpr int kTipCapacity = 64;

// The desktop's notification area, and the few desktop services a tray icon needs around it.
// While an icon is in the area, every mouse action over it reaches its record's hWnd as
// uCallbackMessage with wParam = uID and lParam = the mouse message.
class NotifyIconShell : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~NotifyIconShell() override = default;

    // Adds, changes or removes the icon named by hWnd and uID; true when the request was
    // accepted. Adding an icon that is already there, or changing or removing one that is not,
    // is refused.
    virtual bool Shell_NotifyIconA(NotifyIconMessage message, const NOTIFYICONDATAA &data) = 0;

    // Whether the desktop has a notification area at all right now.
    virtual bool isAreaAvailable() const = 0;

    // The mouse cursor in screen coordinates; false when it cannot be read.
    virtual bool GetCursorPos(QPoint &point) = 0;
    // Negative while the key is held down.
    virtual qint16 GetKeyState(int virtualKey) = 0;
    virtual void SetForegroundWindow(QWidget *window) = 0;
    virtual void SetFocus(QWidget *widget) = 0;
    // Opens the menu at the screen point and returns once it has closed.
    virtual void TrackPopupMenu(QMenu *menu, QPoint point) = 0;
    virtual void PostMessageA(QWidget *window, quint32 message, quintptr wParam,
                              qintptr lParam) = 0;

signals:
    void areaAvailabilityChanged(bool available);
};

} // namespace vellaro
