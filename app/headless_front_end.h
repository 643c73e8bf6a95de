// The program without windows: the gateway runs on the process's main
// thread with the system's own event loop, every log line is echoed to
// standard output, and message boxes print to standard error.
#ifndef VANTREL_APP_HEADLESS_FRONT_END_H_
#define VANTREL_APP_HEADLESS_FRONT_END_H_

#include <string>

#include "app/front_end.h"

namespace vantrel {

class HeadlessFrontEnd final : public FrontEnd {
 public:
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetActivateCaption(const std::string&) override {}
  void Minimize() override {}
};

// Runs the gateway headless with program directory `home` until SIGINT or
// SIGTERM: loads the settings as program start does, starts the server
// (unless "AutoActivate" already tried), and on the signal runs the shutdown
// of closing the main window. Returns the process exit code: 0, or 1 when
// the program directory is missing or the server could not be started.
int RunHeadless(const std::string& home);

}  // namespace vantrel

#endif  // VANTREL_APP_HEADLESS_FRONT_END_H_
