// The window program: the gateway driven by the main window on Qt's event
// loop.
#ifndef VANTREL_APP_WINDOWS_RUN_WINDOWED_H_
#define VANTREL_APP_WINDOWS_RUN_WINDOWED_H_

#include <string>

namespace vantrel {

// True when the environment names a display to show windows on (an X or a
// Wayland display, or a Qt platform chosen explicitly).
bool DisplayAvailable();

// Runs the window program with program directory `home` until the main
// window is closed; returns the process exit code. `argc` and `argv` go to
// Qt.
int RunWindowed(const std::string& home, int& argc, char** argv);

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_RUN_WINDOWED_H_
