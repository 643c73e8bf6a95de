// The dialogs scripts can open (ShowMessage, InputQuery, InputBox, MsgBox)
// and the beep, as the host provides them.
//
// A windowed host opens real dialogs on its main thread; without windows
// (the headless gateway, vantrel-basic) HeadlessDialogs writes messages to
// standard error and answers every question as Cancel or No.
//
// Threads: called on the thread that runs the script, which blocks until the
// dialog closes.
#ifndef VANTREL_SCRIPT_LIBRARY_SCRIPT_DIALOGS_H_
#define VANTREL_SCRIPT_LIBRARY_SCRIPT_DIALOGS_H_

#include <string>
#include <string_view>

namespace vantrel {

class ScriptDialogs {
 public:
  // The buttons a message box returns (MsgBox's results).
  enum Button { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

  virtual ~ScriptDialogs() = default;

  virtual void ShowMessage(std::string_view text) = 0;
  // An edit box prefilled with `value`: true on OK, `value` then holding the
  // edited text; false on Cancel, `value` unchanged.
  virtual bool InputQuery(std::string_view caption, std::string_view prompt,
                          std::string& value) = 0;
  // A message box; `buttons` as MsgBox takes them (vbOKOnly, vbYesNo, ...,
  // plus icon and default-button flags). Returns the Button pressed.
  virtual int MessageBox(std::string_view prompt, int buttons, std::string_view title) = 0;
  virtual void Beep() = 0;
};

// Dialogs without windows: texts go to standard error, questions are
// answered as Cancel (or No, or the only button there is), the beep is the
// terminal bell.
class HeadlessDialogs final : public ScriptDialogs {
 public:
  void ShowMessage(std::string_view text) override;
  bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value) override;
  int MessageBox(std::string_view prompt, int buttons, std::string_view title) override;
  void Beep() override;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_SCRIPT_DIALOGS_H_
