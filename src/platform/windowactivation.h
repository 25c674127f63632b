#pragma once

#include <QString>

class QWidget;

namespace vellaro {

// Brings a shown window of the program to the front at the user's request made outside the
// program (a desktop notification picked). On Wayland only a token the desktop handed over lets
// the window take the focus; without one the compositor may only mark it as wanting attention.
void bringWindowForward(QWidget *window, const QString &activationToken);

// A window shown while the user works in another program does not get the focus everywhere:
// such a window asks the desktop for the user's attention instead (on X11 its urgency, which
// panels show by flashing its task button). Returns whether it asked.
bool askForAttentionUnlessActive(QWidget *window);
// The window got the focus or is closing: its urgency ends. The desktop ends its own request
// when the window is activated.
void stopAskingForAttention(QWidget *window);

} // namespace vellaro
