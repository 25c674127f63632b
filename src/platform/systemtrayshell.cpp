#include "systemtrayshell.h"

#include <QAbstractEventDispatcher>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace vellaro {

namespace {

constexpr int kAreaWatchMs = 2000;
// Longer than the look's interval, so the timer stays quiet while the loop wakes for other work.
constexpr int kAreaWatchTimerMs = 3 * kAreaWatchMs;

// A tray icon without a picture still takes its place in the area, as an empty square.
QIcon blankIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

} // namespace

SystemTrayShell::SystemTrayShell(QObject *parent) : NotifyIconShell(parent)
{
    m_areaAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    // An idle program must not wake up just to look for the area. The look rides on the loop's
    // own wake-ups (the program has a timer every second); the timer only fires when nothing
    // else woke the loop for longer than that.
    m_sinceLook.start();
    m_areaWatch.setInterval(kAreaWatchTimerMs);
    connect(&m_areaWatch, &QTimer::timeout, this, &SystemTrayShell::watchArea);
    m_areaWatch.start();
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_sinceLook.hasExpired(kAreaWatchMs))
                watchArea();
        });
}

SystemTrayShell::~SystemTrayShell()
{
    for (auto &entry : m_entries)
        entry->tray->hide();
}

SystemTrayShell::Entry *SystemTrayShell::find(const MessageWindow *target, quint32 id)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const auto &entry) {
        return entry->target == target && entry->id == id;
    });
    return it == m_entries.end() ? nullptr : it->get();
}

SystemTrayShell::Entry *SystemTrayShell::find(const QSystemTrayIcon *tray)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const auto &entry) { return entry->tray.get() == tray; });
    return it == m_entries.end() ? nullptr : it->get();
}

void SystemTrayShell::apply(Entry &entry, const NOTIFYICONDATAA &data)
{
    // Members whose flag is not set keep what an earlier request gave them.
    if (data.uFlags & NIF_MESSAGE) {
        entry.callbacks = true;
        entry.callbackMessage = data.uCallbackMessage;
    }
    if (data.uFlags & NIF_ICON)
        entry.tray->setIcon(data.hIcon.isNull() ? blankIcon() : data.hIcon);
    if (data.uFlags & NIF_TIP)
        entry.tray->setToolTip(data.szTip);
}

bool SystemTrayShell::Shell_NotifyIconA(NotifyIconMessage message, const NOTIFYICONDATAA &data)
{
    if (!data.hWnd)
        return false;
    Entry *entry = find(data.hWnd, data.uID);
    switch (message) {
    case NIM_ADD: {
        if (entry)
            return false;
        auto added = std::make_unique<Entry>();
        added->target = data.hWnd;
        added->id = data.uID;
        added->tray = std::make_unique<QSystemTrayIcon>();
        added->tray->setIcon(blankIcon());
        QSystemTrayIcon *tray = added->tray.get();
        connect(
            tray, &QSystemTrayIcon::activated, this,
            [this, tray](QSystemTrayIcon::ActivationReason reason) { activated(tray, reason); });
        apply(*added, data);
        // Without an area the icon waits for one; showing it now would only warn.
        if (m_areaAvailable)
            tray->show();
        m_entries.push_back(std::move(added));
        return true;
    }
    case NIM_MODIFY:
        if (!entry)
            return false;
        apply(*entry, data);
        return true;
    case NIM_DELETE: {
        if (!entry)
            return false;
        auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [&](const auto &e) { return e.get() == entry; });
        std::unique_ptr<Entry> removed = std::move(*it);
        m_entries.erase(it);
        removed->tray->hide();
        // The icon may be the one whose activation is being handled right now.
        removed->tray.release()->deleteLater();
        return true;
    }
    }
    return false;
}

std::vector<quint32> SystemTrayShell::mouseMessages(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
        return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    case QSystemTrayIcon::Context:
        return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
        return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}

void SystemTrayShell::activated(QSystemTrayIcon *tray, QSystemTrayIcon::ActivationReason reason)
{
    for (quint32 mouseMessage : mouseMessages(reason)) {
        // Handling one message may remove the icon or its window; what follows is then dropped.
        Entry *entry = find(tray);
        if (!entry || !entry->target || !entry->callbacks)
            return;
        const QPointer<MessageWindow> target = entry->target;
        target->SendMessage(entry->callbackMessage, entry->id, mouseMessage);
    }
}

void SystemTrayShell::watchArea()
{
    m_sinceLook.restart();
    m_areaWatch.start();
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == m_areaAvailable)
        return;
    m_areaAvailable = available;
    if (available) {
        // Dock what waited for the area, or what lost it when its host went away.
        for (auto &entry : m_entries) {
            entry->tray->hide();
            entry->tray->show();
        }
    }
    emit areaAvailabilityChanged(available);
}

bool SystemTrayShell::GetCursorPos(QPoint &point)
{
    if (!QGuiApplication::primaryScreen())
        return false;
    point = QCursor::pos();
    return true;
}

qint16 SystemTrayShell::GetKeyState(int virtualKey)
{
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    Qt::KeyboardModifier wanted = Qt::NoModifier;
    switch (virtualKey) {
    case VK_SHIFT:
        wanted = Qt::ShiftModifier;
        break;
    case VK_CONTROL:
        wanted = Qt::ControlModifier;
        break;
    case VK_MENU:
        wanted = Qt::AltModifier;
        break;
    default:
        return 0;
    }
    return held.testFlag(wanted) ? std::numeric_limits<qint16>::min() : qint16(0);
}

void SystemTrayShell::SetForegroundWindow(QWidget *window)
{
    // A hidden window cannot come to the front; the desktop would only flash its entry.
    if (!window || !window->isVisible())
        return;
    window->raise();
    window->activateWindow();
}

void SystemTrayShell::SetFocus(QWidget *widget)
{
    if (widget)
        widget->setFocus(Qt::PopupFocusReason);
}

void SystemTrayShell::TrackPopupMenu(QMenu *menu, QPoint point)
{
    if (menu)
        menu->exec(point);
}

void SystemTrayShell::PostMessageA(QWidget *, quint32, quintptr, qintptr)
{
    // The only message posted here is the null message that wakes a window's queue after its
    // menu has closed; Qt's queue needs no such waking.
}

} // namespace vellaro
