#include "appexit.h"

#include <QCoreApplication>

namespace vellaro {

namespace {
bool g_exiting = false;
}

void requestApplicationExit()
{
    g_exiting = true;
    QCoreApplication::quit();
}

bool applicationExiting() { return g_exiting; }

} // namespace vellaro
