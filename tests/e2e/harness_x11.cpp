// The X display: the windows of the programs, keys and the clipboard.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

// Last: it brings in Xlib, whose macros clash with Qt names.
#include "e2e/harnessstate.h"

namespace vellaro::e2e {

QList<XWindow> Session::findWindows(const QString &title, qint64 pid) const
{
    QList<XWindow> out;
    if (!m_x)
        return out;
    for (Window w : m_x->topLevels()) {
        if (!m_x->viewable(w))
            continue;
        if (!title.isEmpty() && m_x->title(w) != title)
            continue;
        if (pid > 0 && m_x->pid(w) != pid)
            continue;
        out.append(w);
    }
    return out;
}

XWindow Session::waitForWindow(const QString &title, qint64 pid, int timeoutMs) const
{
    XWindow found = 0;
    waitUntil(
        [&] {
            const QList<XWindow> windows = findWindows(title, pid);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0;
        },
        timeoutMs);
    return found;
}

XWindow Session::waitForWindowOf(QProcess *app, const QString &title, int timeoutMs) const
{
    const qint64 pid = app->processId();
    XWindow found = 0;
    waitUntil(
        [&] {
            const QList<XWindow> windows = findWindows(title, pid);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0 || app->state() == QProcess::NotRunning;
        },
        timeoutMs);
    return found;
}

bool Session::waitForWindowGone(XWindow window, int timeoutMs) const
{
    return waitUntil([&] { return !isViewable(window); }, timeoutMs);
}

bool Session::isViewable(XWindow window) const
{
    return m_x && m_x->viewable(window);
}

QString Session::windowTitle(XWindow window) const
{
    return m_x ? m_x->title(window) : QString();
}

qint64 Session::windowPid(XWindow window) const
{
    return m_x ? m_x->pid(window) : 0;
}

QRect Session::windowGeometry(XWindow window) const
{
    if (!m_x)
        return {};
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_x->display, window, &attributes) == 0)
        return {};
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_x->display, window, m_x->root(), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

bool Session::moveResizeWindow(XWindow window, const QRect &geometry)
{
    if (!m_x)
        return false;
    XMoveResizeWindow(m_x->display, window, geometry.x(), geometry.y(),
                      static_cast<unsigned>(geometry.width()),
                      static_cast<unsigned>(geometry.height()));
    XSync(m_x->display, False);
    return waitUntil([&] { return windowGeometry(window) == geometry; }, kStartTimeoutMs);
}

bool Session::focusWindow(XWindow window)
{
    if (!m_x || !isViewable(window))
        return false;
    XRaiseWindow(m_x->display, window);
    XSetInputFocus(m_x->display, window, RevertToParent, CurrentTime);
    XSync(m_x->display, False);
    return waitUntil(
        [&] {
            Window focused = 0;
            int revert = 0;
            XGetInputFocus(m_x->display, &focused, &revert);
            return focused == window;
        },
        kStartTimeoutMs);
}

XWindow Session::focusedWindow() const
{
    if (!m_x)
        return 0;
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(m_x->display, &focused, &revert);
    return focused > PointerRoot ? focused : 0;
}

bool Session::isUrgent(XWindow window) const
{
    if (!m_x)
        return false;
    XWMHints *hints = XGetWMHints(m_x->display, window);
    const bool urgent = hints && (hints->flags & XUrgencyHint);
    XFree(hints);
    return urgent;
}

bool Session::pressKeys(const QStringList &keys)
{
    return run(QStringLiteral("xdotool"),
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
                   keys)
        .ok();
}

bool Session::typeText(const QString &text)
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                           QStringLiteral("40"), QStringLiteral("--"), text})
        .ok();
}

bool Session::closeWindowPolitely(XWindow window)
{
    if (!m_x)
        return false;
    Atom *protocols = nullptr;
    int count = 0;
    bool takesPart = false;
    if (XGetWMProtocols(m_x->display, window, &protocols, &count) != 0) {
        for (int i = 0; i < count; ++i)
            takesPart = takesPart || protocols[i] == m_x->wmDeleteWindow;
        XFree(protocols);
    }
    if (!takesPart)
        return false;

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_x->wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(m_x->wmDeleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(m_x->display, window, False, NoEventMask, &event);
    XSync(m_x->display, False);
    return sent != 0;
}

std::optional<QByteArray> Session::clipboard()
{
    const ToolResult result =
        run(QStringLiteral("xclip"),
            {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")},
            kStopTimeoutMs);
    if (!result.ok())
        return std::nullopt;
    return result.out;
}

bool Session::waitForClipboard(const QByteArray &expected, int timeoutMs)
{
    return waitUntil([&] { return clipboard() == expected; }, timeoutMs);
}

void Session::watchMappedWindows()
{
    if (!m_x)
        return;
    XSelectInput(m_x->display, m_x->root(), SubstructureNotifyMask);
    XSync(m_x->display, False);
    XEvent event;
    while (XPending(m_x->display) > 0)
        XNextEvent(m_x->display, &event);
}

QList<XWindow> Session::mappedWindows()
{
    QList<XWindow> out;
    if (!m_x)
        return out;
    XSync(m_x->display, False);
    XEvent event;
    while (XPending(m_x->display) > 0) {
        XNextEvent(m_x->display, &event);
        if (event.type == MapNotify)
            out.append(event.xmap.window);
    }
    return out;
}

} // namespace vellaro::e2e
