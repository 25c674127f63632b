#include "notifyicon.h"

#include "guard.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <climits>

namespace vellaro {

namespace {

constexpr quint32 kIconDataSize = 88;
constexpr quint32 kIconId = 1;
constexpr quint32 kCallbackMessage = 0x0800;

// The first 63 characters of the hint, one character being one code point: a pair of UTF-16
// surrogates is never cut in two.
QString tipText(const QString &hint)
{
    QString tip;
    int characters = 0;
    for (qsizetype i = 0; i < hint.size() && characters < kTipCapacity - 1; ++characters) {
        const bool pair =
            hint.at(i).isHighSurrogate() && i + 1 < hint.size() && hint.at(i + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        tip += QStringView(hint).mid(i, length);
        i += length;
    }
    return tip;
}

} // namespace

TNotifyIcon::TNotifyIcon(QWidget *owner, NotifyIconShell *shell, QWidget *mainWindow)
    : QObject(owner), m_owner(owner), m_shell(shell),
      m_mainWindow(mainWindow ? mainWindow : (owner ? owner->window() : nullptr))
{
    m_iconData.cbSize = kIconDataSize;
    // An error raised by an event handler ends that message's handling in the error box.
    m_iconData.hWnd = new MessageWindow([this](quint32 message, quintptr wParam, qintptr lParam) {
        qintptr result = 0;
        guarded([&] { result = HandleTrayMessage(message, wParam, lParam); });
        return result;
    });
    m_iconData.uID = kIconId;
    m_iconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_iconData.uCallbackMessage = kCallbackMessage;

    m_cycleTimer = new QTimer(this);
    m_cycleTimer->setObjectName(QStringLiteral("CycleTimer"));
    m_cycleTimer->setInterval(0);
    connect(m_cycleTimer, &QTimer::timeout, this, guardedSlot(this, &TNotifyIcon::CycleTimerTick));

    // Removal notices for the image list and the menu come from the common owner.
    if (m_owner)
        m_owner->installEventFilter(this);

    InstallAppHook();
}

TNotifyIcon::~TNotifyIcon()
{
    setIconVisible(false);
    m_icon = QIcon();
    delete m_iconData.hWnd;
    m_iconData.hWnd = nullptr;
    delete m_cycleTimer;
    m_cycleTimer = nullptr;
    RemoveAppHook();
    if (m_owner)
        m_owner->removeEventFilter(this);
}

void TNotifyIcon::InstallAppHook()
{
    if (!m_mainWindow)
        return;
    m_hookedWindow = m_mainWindow;
    m_hookedWindow->installEventFilter(this);
}

void TNotifyIcon::RemoveAppHook()
{
    if (m_hookedWindow && m_hookedWindow != m_owner)
        m_hookedWindow->removeEventFilter(this);
    m_hookedWindow = nullptr;
}

void TNotifyIcon::FinishLoading()
{
    if (m_startMinimized) {
        m_showMainWindowAtRun = false;
        if (m_mainWindow)
            m_mainWindow->hide();
    }
    ModifyTrayIcon();
    setIconVisible(m_iconVisible);
}

void TNotifyIcon::ComponentRemoved(QObject *component, TOperation operation)
{
    if (operation != opRemove || !component)
        return;
    if (component == m_iconList)
        m_iconList = nullptr;
    if (component == m_popupMenu)
        m_popupMenu = nullptr;
}

bool TNotifyIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner && event->type() == QEvent::ChildRemoved)
        ComponentRemoved(static_cast<QChildEvent *>(event)->child(), opRemove);
    if (watched == m_hookedWindow && event->type() == QEvent::WindowStateChange)
        guarded([&] { AppWindowHook(event); });
    // The window always goes on to handle the event itself, after the hook.
    return QObject::eventFilter(watched, event);
}

void TNotifyIcon::AppWindowHook(QEvent *event)
{
    const auto *change = static_cast<QWindowStateChangeEvent *>(event);
    const bool minimizedNow = m_hookedWindow->windowState() & Qt::WindowMinimized;
    const bool wasMinimized = change->oldState() & Qt::WindowMinimized;
    // Hiding into an area that is not there would leave the window unreachable: then the
    // window minimises as usual.
    if (minimizedNow && !wasMinimized && m_minimizeToTray && m_shell && m_shell->isAreaAvailable())
        HideToTray();
}

void TNotifyIcon::HideToTray()
{
    HideMainWindow();
    setIconVisible(true);
}

void TNotifyIcon::ShowMainWindow()
{
    if (!m_mainWindow)
        return;
    const Qt::WindowStates state = m_mainWindow->windowState();
    if (state & Qt::WindowMinimized)
        m_mainWindow->setWindowState(state & ~Qt::WindowMinimized);
    m_mainWindow->show();
}

void TNotifyIcon::HideMainWindow()
{
    if (m_mainWindow)
        m_mainWindow->hide();
}

void TNotifyIcon::setDesignPreview(bool preview)
{
    m_designPreview = preview;
    m_previewInProgress = true;
    struct Done
    {
        bool &flag;
        ~Done() { flag = false; }
    } done{m_previewInProgress};
    if (preview)
        AddTrayIcon();
    else
        DeleteTrayIcon();
}

void TNotifyIcon::setCycleIcons(bool cycle)
{
    m_cycleIcons = cycle;
    if (cycle)
        m_cycleIndex = 0;
    updateCycleTimer();
}

void TNotifyIcon::setCycleInterval(quint32 milliseconds)
{
    m_cycleInterval = milliseconds;
    // Qt's timers count in int; longer than about 24 days waits 24 days.
    m_cycleTimer->setInterval(int(std::min<quint32>(milliseconds, INT_MAX)));
    updateCycleTimer();
}

void TNotifyIcon::updateCycleTimer()
{
    // A Qt timer of 0 ms would fire on every pass of the loop; here it means never.
    if (m_cycleIcons && m_cycleInterval != 0) {
        if (!m_cycleTimer->isActive())
            m_cycleTimer->start();
    } else {
        m_cycleTimer->stop();
    }
}

void TNotifyIcon::setHint(const QString &hint)
{
    m_hint = hint;
    ModifyTrayIcon();
}

void TNotifyIcon::setShowHint(bool show)
{
    m_showHint = show;
    ModifyTrayIcon();
}

void TNotifyIcon::setIcon(const QIcon &icon)
{
    m_icon = icon;
    ModifyTrayIcon();
}

void TNotifyIcon::setIconVisible(bool visible)
{
    if (visible)
        AddTrayIcon();
    else
        DeleteTrayIcon();
}

void TNotifyIcon::PrepareIconData()
{
    m_iconData.hIcon = m_icon;
    m_iconData.szTip = !m_hint.isEmpty() && m_showHint ? tipText(m_hint) : QString();
}

bool TNotifyIcon::AddTrayIcon()
{
    if (!m_previewInProgress)
        m_iconVisible = true;
    PrepareIconData();
    return m_shell && m_shell->Shell_NotifyIconA(NIM_ADD, m_iconData);
}

bool TNotifyIcon::DeleteTrayIcon()
{
    if (!m_previewInProgress)
        m_iconVisible = false;
    PrepareIconData();
    return m_shell && m_shell->Shell_NotifyIconA(NIM_DELETE, m_iconData);
}

bool TNotifyIcon::ModifyTrayIcon()
{
    PrepareIconData();
    return m_shell && m_shell->Shell_NotifyIconA(NIM_MODIFY, m_iconData);
}

TShiftState TNotifyIcon::CurrentShiftState()
{
    TShiftState state;
    if (!m_shell)
        return state;
    if (m_shell->GetKeyState(VK_SHIFT) < 0)
        state |= ssShift;
    if (m_shell->GetKeyState(VK_CONTROL) < 0)
        state |= ssCtrl;
    if (m_shell->GetKeyState(VK_MENU) < 0)
        state |= ssAlt;
    return state;
}

qintptr TNotifyIcon::HandleTrayMessage(quint32 message, quintptr, qintptr lParam)
{
    if (message == WM_QUERYENDSESSION)
        return 1;
    if (message != kCallbackMessage)
        return MessageWindow::DefWindowProc();
    if (!m_enabled)
        return 0;

    switch (lParam) {
    case WM_LBUTTONDBLCLK:
        DblClick();
        ClickDefaultItem();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        break;
    default:
        // A right double-click, or nothing the icon knows.
        return 0;
    }

    // Keys and cursor are read once, before any handler can change them.
    const TShiftState keys = CurrentShiftState();
    QPoint cursor;
    if (m_shell)
        m_shell->GetCursorPos(cursor);
    const int x = cursor.x();
    const int y = cursor.y();

    switch (lParam) {
    case WM_MOUSEMOVE:
        MouseMove(keys, x, y);
        break;
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, keys | ssLeft, x, y);
        m_clickPending = true;
        if (m_leftPopup)
            ShowTrayMenu();
        break;
    case WM_LBUTTONUP:
        if (m_clickPending) {
            m_clickPending = false;
            Click();
        }
        MouseUp(mbLeft, keys | ssLeft, x, y);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, keys | ssRight, x, y);
        ShowTrayMenu();
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight, keys | ssRight, x, y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, keys | ssMiddle, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, keys | ssMiddle, x, y);
        break;
    }
    return 0;
}

void TNotifyIcon::ClickDefaultItem()
{
    if (!m_popupMenu || !m_popupMenu->AutoPopup() || m_leftPopup)
        return;
    if (TMenuItem *item = m_popupMenu->DefaultItem())
        item->trigger();
}

void TNotifyIcon::ShowTrayMenu()
{
    QPoint at;
    if (!m_popupMenu || !m_popupMenu->AutoPopup() || !m_shell || !m_shell->GetCursorPos(at))
        return;
    const QPointer<TPopupMenu> menu = m_popupMenu;
    QCoreApplication::processEvents();
    // What ran in between may have taken the menu away.
    if (!menu)
        return;
    QWidget *ownerWindow = m_owner ? m_owner->window() : nullptr;
    m_shell->SetForegroundWindow(ownerWindow);
    if (QWidget *focused = QApplication::focusWidget())
        m_shell->SetFocus(focused);
    menu->setPopupComponent(this);
    m_shell->TrackPopupMenu(menu, at);
    m_shell->PostMessageA(ownerWindow, WM_NULL, 0, 0);
}

void TNotifyIcon::CycleTimerTick()
{
    if (!m_iconList)
        return;
    m_icon = m_iconList->GetIcon(m_cycleIndex);
    Cycle();
    ModifyTrayIcon();
    // A handler of the cycle may have taken the list away.
    if (m_iconList && m_cycleIndex < m_iconList->Count() - 1)
        ++m_cycleIndex;
    else
        m_cycleIndex = 0;
}

void TNotifyIcon::Click()
{
    if (m_onClick)
        m_onClick(this);
}

void TNotifyIcon::DblClick()
{
    if (m_onDblClick)
        m_onDblClick(this);
}

void TNotifyIcon::Cycle()
{
    if (m_onCycle)
        m_onCycle(this, m_cycleIndex);
}

void TNotifyIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (m_onMouseDown)
        m_onMouseDown(this, Button, Shift, X, Y);
}

void TNotifyIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (m_onMouseUp)
        m_onMouseUp(this, Button, Shift, X, Y);
}

void TNotifyIcon::MouseMove(TShiftState Shift, int X, int Y)
{
    if (m_onMouseMove)
        m_onMouseMove(this, Shift, X, Y);
}

} // namespace vellaro
