#include "platform/windowactivation.h"

#include <QApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace vellaro {

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool windowManagerSupports(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t hint)
{
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, root, internAtom(connection, "_NET_SUPPORTED"),
                         XCB_ATOM_ATOM, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, hint) != atoms + count;
}

// An X server takes the focus from the user's window only with a timestamp newer than the last
// focus change, and Qt asks with the time of the last X event it saw, which is old when the
// request comes over D-Bus. The user picked the notification just now, so the window is activated
// the way a pager acts for the user: with the current time.
bool activateOnX11(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return false;
    const xcb_window_t target = xcb_window_t(window->winId());
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t activeWindow = internAtom(connection, "_NET_ACTIVE_WINDOW");
    if (screen && windowManagerSupports(connection, screen->root, activeWindow)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = target;
        event.type = activeWindow;
        event.data.data32[0] = 2; // from a pager: the user asked for it
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
    } else {
        // No window manager to ask.
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
    }
    xcb_flush(connection);
    return true;
}

// The ICCCM urgency flag in the window's WM_HINTS, which the panels and window managers that do
// not read _NET_WM_STATE_DEMANDS_ATTENTION (Qt's way to ask) show. The rest of the hints are
// Qt's and stay as they are.
void setUrgency(QWidget *window, bool urgent)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || window->internalWinId() == 0)
        return;
    constexpr uint32_t kUrgencyHint = 1u << 8;
    constexpr uint32_t kHintFields = 9;
    const xcb_window_t target = xcb_window_t(window->internalWinId());
    uint32_t hints[kHintFields] = {};
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, target, XCB_ATOM_WM_HINTS,
                                                XCB_ATOM_WM_HINTS, 0, kHintFields),
                               nullptr));
    if (reply && reply->format == 32) {
        const int length = std::min(xcb_get_property_value_length(reply.get()), int(sizeof hints));
        std::memcpy(hints, xcb_get_property_value(reply.get()), size_t(length));
    }
    if (bool(hints[0] & kUrgencyHint) == urgent)
        return;
    hints[0] = urgent ? hints[0] | kUrgencyHint : hints[0] & ~kUrgencyHint;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, target, XCB_ATOM_WM_HINTS,
                        XCB_ATOM_WM_HINTS, 32, kHintFields, hints);
    xcb_flush(connection);
}

} // namespace

void bringWindowForward(QWidget *window, const QString &activationToken)
{
    // Qt's Wayland plugin hands this variable to the compositor with the next activation request
    // and then clears it; Qt 6.4 has no call that takes a token.
    if (!activationToken.isEmpty() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    if (!activateOnX11(window))
        window->activateWindow();
}

bool askForAttentionUnlessActive(QWidget *window)
{
    if (!window->isVisible() || window->isActiveWindow())
        return false;
    QApplication::alert(window); // until the window is activated
    setUrgency(window, true);
    return true;
}

void stopAskingForAttention(QWidget *window)
{
    setUrgency(window, false);
}

} // namespace vellaro
