#include "windowkit/appexit.h"

#include <QCoreApplication>

namespace vellaro {

namespace {
bool g_exiting = false;
}

void requestApplicationExit()
{
    g_exiting = true;
    // exit(), not quit(): quit() does nothing before the main loop has started, and a signal can
    // come while an error box of the start is open.
    QCoreApplication::exit(0);
}

bool applicationExiting()
{
    return g_exiting;
}

} // namespace vellaro
