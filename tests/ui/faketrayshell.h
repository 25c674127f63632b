#pragma once

#include "notifyshell.h"

#include <QList>
#include <QMenu>
#include <QStringList>
#include <QWidget>

namespace vellaro {

// A notification area for tests: it keeps one icon per hWnd/uID like a real one (refusing an
// add of an icon that is there and a change or removal of one that is not), records every
// request, and writes the desktop calls it receives into a log shared with the test.
class FakeTrayShell final : public NotifyIconShell
{
public:
    struct Call
    {
        NotifyIconMessage message;
        NOTIFYICONDATAA data;
        bool accepted;
    };

    explicit FakeTrayShell(QStringList *log = nullptr) : m_log(log) {}

    bool Shell_NotifyIconA(NotifyIconMessage message, const NOTIFYICONDATAA &data) override
    {
        bool accepted = false;
        switch (message) {
        case NIM_ADD:
            accepted = !shown && refuseAll == false;
            shown = shown || accepted;
            break;
        case NIM_MODIFY:
            accepted = shown && !refuseAll;
            break;
        case NIM_DELETE:
            accepted = shown && !refuseAll;
            shown = shown && !accepted;
            break;
        }
        if (accepted)
            current = data;
        calls.append({message, data, accepted});
        return accepted;
    }

    bool isAreaAvailable() const override { return areaAvailable; }

    bool GetCursorPos(QPoint &point) override
    {
        if (!cursorReadable)
            return false;
        point = cursor;
        return true;
    }

    qint16 GetKeyState(int virtualKey) override
    {
        return keysDown.contains(virtualKey) ? qint16(-32768) : qint16(0);
    }

    void SetForegroundWindow(QWidget *window) override
    {
        write(QStringLiteral("foreground %1").arg(window ? window->objectName() : "none"));
    }

    void SetFocus(QWidget *widget) override
    {
        write(QStringLiteral("focus %1").arg(widget ? widget->objectName() : "none"));
    }

    void TrackPopupMenu(QMenu *menu, QPoint point) override
    {
        write(QStringLiteral("menu %1 at %2,%3")
                  .arg(menu->objectName())
                  .arg(point.x())
                  .arg(point.y()));
        if (chooseInMenu)
            chooseInMenu(menu);
    }

    void PostMessageA(QWidget *window, quint32 message, quintptr, qintptr) override
    {
        write(QStringLiteral("post %1 to %2").arg(message).arg(window ? window->objectName() : ""));
    }

    // What the area would send for a mouse action over the icon.
    qintptr send(qintptr mouseMessage)
    {
        return current.hWnd
                   ? current.hWnd->SendMessage(current.uCallbackMessage, current.uID, mouseMessage)
                   : 0;
    }

    void setAreaAvailable(bool available)
    {
        areaAvailable = available;
        emit areaAvailabilityChanged(available);
    }

    QList<NotifyIconMessage> messages() const
    {
        QList<NotifyIconMessage> out;
        for (const Call &call : calls)
            out << call.message;
        return out;
    }

    QList<Call> calls;
    NOTIFYICONDATAA current;
    bool shown = false;
    bool refuseAll = false;
    bool areaAvailable = true;
    bool cursorReadable = true;
    QPoint cursor{640, 12};
    QList<int> keysDown;
    std::function<void(QMenu *)> chooseInMenu;

private:
    void write(const QString &line)
    {
        if (m_log)
            m_log->append(line);
    }

    QStringList *m_log;
};

} // namespace vellaro
