#pragma once

#include "imagelist.h"
#include "notifyshell.h"
#include "popupmenu.h"

#include <QFlags>
#include <QIcon>
#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;
class QWidget;

namespace vellaro {

enum TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle
};

enum TShiftStateFlag
{
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

enum TOperation
{
    opInsert,
    opRemove
};

using TNotifyEvent = std::function<void(QObject *Sender)>;
using TMouseEvent =
    std::function<void(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject *Sender, TShiftState Shift, int X, int Y)>;
using TCycleEvent = std::function<void(QObject *Sender, qint32 Current)>;

// The program's icon in the desktop's notification area. It turns the mouse over the icon into
// click, double-click and mouse events, opens its pop-up menu at the cursor, can step the icon
// through the pictures of an image list, and hides the main window to the area at start or when
// it is minimised.
//
// Property values are applied first and acted on by FinishLoading, which puts the icon into
// the area; until then nothing reaches the shell. Destroying the component takes the icon away.
class TNotifyIcon : public QObject
{
    Q_OBJECT

public:
    // owner: the window that owns the component, brought to the front when the menu opens.
    // mainWindow: the application's main window, which the component shows, hides and watches
    // for being minimised; the owner's window when none is given.
    TNotifyIcon(QWidget *owner, NotifyIconShell *shell, QWidget *mainWindow = nullptr);
    ~TNotifyIcon() override;

    // Once, after the property values have been set.
    virtual void FinishLoading();
    // Told when a component of the common owner goes away; references to it are dropped.
    virtual void ComponentRemoved(QObject *component, TOperation operation);

    // Each returns whether the shell accepted the request.
    virtual bool AddTrayIcon();
    virtual bool DeleteTrayIcon();
    virtual bool ModifyTrayIcon();

    void ShowMainWindow();
    void HideMainWindow();

    // The procedure of the hidden window the shell sends its callbacks to.
    qintptr HandleTrayMessage(quint32 message, quintptr wParam, qintptr lParam);

    bool DesignPreview() const { return m_designPreview; }
    void setDesignPreview(bool preview);
    TImageList *IconList() const { return m_iconList; }
    void setIconList(TImageList *list) { m_iconList = list; }
    bool CycleIcons() const { return m_cycleIcons; }
    void setCycleIcons(bool cycle);
    quint32 CycleInterval() const { return m_cycleInterval; }
    void setCycleInterval(quint32 milliseconds);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    const QString &Hint() const { return m_hint; }
    void setHint(const QString &hint);
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show);
    const QIcon &Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    bool IconVisible() const { return m_iconVisible; }
    void setIconVisible(bool visible);
    TPopupMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(TPopupMenu *menu) { m_popupMenu = menu; }
    bool LeftPopup() const { return m_leftPopup; }
    void setLeftPopup(bool leftPopup) { m_leftPopup = leftPopup; }
    bool StartMinimized() const { return m_startMinimized; }
    void setStartMinimized(bool startMinimized) { m_startMinimized = startMinimized; }
    bool MinimizeToTray() const { return m_minimizeToTray; }
    void setMinimizeToTray(bool minimizeToTray) { m_minimizeToTray = minimizeToTray; }

    const TNotifyEvent &OnClick() const { return m_onClick; }
    void setOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }
    const TNotifyEvent &OnDblClick() const { return m_onDblClick; }
    void setOnDblClick(TNotifyEvent handler) { m_onDblClick = std::move(handler); }
    const TCycleEvent &OnCycle() const { return m_onCycle; }
    void setOnCycle(TCycleEvent handler) { m_onCycle = std::move(handler); }
    const TMouseEvent &OnMouseDown() const { return m_onMouseDown; }
    void setOnMouseDown(TMouseEvent handler) { m_onMouseDown = std::move(handler); }
    const TMouseEvent &OnMouseUp() const { return m_onMouseUp; }
    void setOnMouseUp(TMouseEvent handler) { m_onMouseUp = std::move(handler); }
    const TMouseMoveEvent &OnMouseMove() const { return m_onMouseMove; }
    void setOnMouseMove(TMouseMoveEvent handler) { m_onMouseMove = std::move(handler); }

    bool ClickPending() const { return m_clickPending; }
    qint32 CycleIndex() const { return m_cycleIndex; }
    bool PreviewInProgress() const { return m_previewInProgress; }
    QTimer *CycleTimer() const { return m_cycleTimer; }
    const NOTIFYICONDATAA &IconData() const { return m_iconData; }
    // False once loading has kept the main window hidden for the start of the run.
    bool ShowMainWindowAtRun() const { return m_showMainWindowAtRun; }
    QWidget *MainWindow() const { return m_mainWindow; }

protected:
    virtual void Click();
    virtual void DblClick();
    virtual void Cycle();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void HideToTray();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void InstallAppHook();
    void RemoveAppHook();
    void AppWindowHook(QEvent *event);
    void PrepareIconData();
    TShiftState CurrentShiftState();
    void ShowTrayMenu();
    void ClickDefaultItem();
    void CycleTimerTick();
    void updateCycleTimer();

    QPointer<QWidget> m_owner;
    NotifyIconShell *m_shell;
    QPointer<QWidget> m_mainWindow;

    bool m_enabled = true;
    QIcon m_icon;
    bool m_iconVisible = true;
    QString m_hint;
    bool m_showHint = false;
    QPointer<TPopupMenu> m_popupMenu;
    bool m_leftPopup = false;
    TNotifyEvent m_onClick;
    TNotifyEvent m_onDblClick;
    TCycleEvent m_onCycle;
    TMouseEvent m_onMouseDown;
    TMouseEvent m_onMouseUp;
    TMouseMoveEvent m_onMouseMove;
    bool m_startMinimized = false;
    bool m_minimizeToTray = false;
    bool m_clickPending = false;
    QTimer *m_cycleTimer = nullptr;
    bool m_designPreview = false;
    bool m_previewInProgress = false;
    QPointer<TImageList> m_iconList;
    bool m_cycleIcons = false;
    quint32 m_cycleInterval = 0;
    qint32 m_cycleIndex = 0;
    // The window whose events the minimise hook watches; empty when not hooked.
    QPointer<QWidget> m_hookedWindow;
    NOTIFYICONDATAA m_iconData;
    bool m_showMainWindowAtRun = true;
};

} // namespace vellaro
