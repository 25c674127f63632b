#pragma once

namespace vellaro {

// The one way out of the program: the exit command, closing the main window, the termination
// signals and the end of the desktop session all come here. It ends every running loop (modal
// windows included); code that runs windows one after another asks applicationExiting() so it
// opens nothing more once the program is on its way out.
void requestApplicationExit();
bool applicationExiting();

} // namespace vellaro
