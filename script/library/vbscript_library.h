// The VBScript library ("VBScript"): the functions and constants of the
// VBScript dialect. It is explicit-only: a host attaches it (the gateway
// and vantrel-basic do, as a default instance, so that its FormatDateTime
// and Int shadow the system library's) or a script names it (`uses`).
//
// Its members are registered in Init on the class entry "VBScriptLibrary",
// the functions in a fixed order (stored code refers to them by position),
// each handler in the group file its header names.
#ifndef VANTREL_SCRIPT_LIBRARY_VBSCRIPT_LIBRARY_H_
#define VANTREL_SCRIPT_LIBRARY_VBSCRIPT_LIBRARY_H_

#include <memory>

#include "script/library/script_dialogs.h"
#include "script/scripter/scripter_library.h"

namespace vantrel {

class VBScriptLibrary : public ScripterLibrary {
 public:
  explicit VBScriptLibrary(CustomScripter& scripter);

  void Init() override;

  // The dialogs the dialog functions open; HeadlessDialogs until the host
  // sets others.
  ScriptDialogs& Dialogs() const { return *dialogs_; }
  void SetDialogs(std::shared_ptr<ScriptDialogs> dialogs) { dialogs_ = std::move(dialogs); }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  std::shared_ptr<ScriptDialogs> dialogs_;
};

inline const ClassInfo VBScriptLibrary::kClassInfo = {
    "VBScriptLibrary", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_VBSCRIPT_LIBRARY_H_
