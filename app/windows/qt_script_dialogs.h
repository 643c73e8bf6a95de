// The dialogs of the script libraries in the window program: each opens the
// real dialog on the GUI thread and the script's thread waits there for the
// answer. Once the main loop is quitting no dialog opens and every question
// is answered as Cancel (or No, or the only button there is).
//
// Threads: any; the dialogs themselves run on the GUI thread.
#ifndef VANTREL_APP_WINDOWS_QT_SCRIPT_DIALOGS_H_
#define VANTREL_APP_WINDOWS_QT_SCRIPT_DIALOGS_H_

#include <string>
#include <string_view>

#include "base/event_loop.h"
#include "script/library/script_dialogs.h"

namespace vantrel {

class CustomScripter;

class QtScriptDialogs final : public ScriptDialogs {
 public:
  // `gui_loop` runs on the GUI thread and must outlive this object.
  explicit QtScriptDialogs(EventLoop& gui_loop) : gui_loop_(gui_loop) {}

  void ShowMessage(std::string_view text) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value) override;
  int MessageBox(std::string_view prompt, int buttons, std::string_view title) override;
  void Beep() override;

 private:
  EventLoop& gui_loop_;
  HeadlessDialogs closed_;  // The answers once the loop is quitting.
};

// Gives the system library and the VBScript library of `scripter`, where
// attached, dialogs on the GUI thread of `gui_loop`.
void InstallQtScriptDialogs(CustomScripter& scripter, EventLoop& gui_loop);

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_QT_SCRIPT_DIALOGS_H_
