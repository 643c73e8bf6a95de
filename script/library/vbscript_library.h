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

#include "script/library/dialog_library.h"

namespace vantrel {

// Its dialog functions open the dialogs it holds (DialogLibrary).
class VBScriptLibrary : public DialogLibrary {
 public:
  explicit VBScriptLibrary(CustomScripter& scripter);

  void Init() override;

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

inline const ClassInfo VBScriptLibrary::kClassInfo = {
    "VBScriptLibrary", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_VBSCRIPT_LIBRARY_H_
