// What the gateway asks of whatever shows it: the window program or the
// headless program. The gateway calls these on the main thread only, except
// where a method says otherwise.
#ifndef VANTREL_APP_FRONT_END_H_
#define VANTREL_APP_FRONT_END_H_

#include <string>

namespace vantrel {

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // An information message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The general error report of the user interface, for failures that no
  // step of the gateway handles itself (an unwritable settings file, an
  // error raised while stopping the server).
  virtual void ShowError(const std::string& text) = 0;
  // The caption of the start/stop menu item: "Start" or "Stop".
  virtual void SetActivateCaption(const std::string& caption) = 0;
  // Minimises the main window (the "AutoMinimize" setting at program start).
  virtual void Minimize() = 0;
};

}  // namespace vantrel

#endif  // VANTREL_APP_FRONT_END_H_
