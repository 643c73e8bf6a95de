// A library whose functions open dialogs: it holds the dialogs the host
// provides (HeadlessDialogs until the host sets others).
//
// The class is a C++ base only: scripts see the libraries derived from it
// as descendants of ScripterLibrary.
#ifndef VANTREL_SCRIPT_LIBRARY_DIALOG_LIBRARY_H_
#define VANTREL_SCRIPT_LIBRARY_DIALOG_LIBRARY_H_

#include <memory>
#include <utility>

#include "script/library/script_dialogs.h"
#include "script/scripter/scripter_library.h"

namespace vantrel {

class DialogLibrary : public ScripterLibrary {
 public:
  explicit DialogLibrary(CustomScripter& scripter)
      : ScripterLibrary(scripter), dialogs_(std::make_shared<HeadlessDialogs>()) {}

  ScriptDialogs& Dialogs() const { return *dialogs_; }
  void SetDialogs(std::shared_ptr<ScriptDialogs> dialogs) { dialogs_ = std::move(dialogs); }

 private:
  std::shared_ptr<ScriptDialogs> dialogs_;  // Never null.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_DIALOG_LIBRARY_H_
