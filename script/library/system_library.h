// The system library ("Internal"): the everyday functions every scripter
// attaches as a default instance: texts, numbers, conversions, dates,
// arrays, text files, exceptions, dialogs and the running script itself.
//
// Its members are registered in Init on the class entry "SystemLibrary",
// the functions in a fixed order (stored code refers to them by position),
// each handler in the group file its header names.
#ifndef VANTREL_SCRIPT_LIBRARY_SYSTEM_LIBRARY_H_
#define VANTREL_SCRIPT_LIBRARY_SYSTEM_LIBRARY_H_

#include "script/library/dialog_library.h"

namespace vantrel {

class HostClass;

// Its dialog functions open the dialogs it holds (DialogLibrary).
class SystemLibrary : public DialogLibrary {
 public:
  explicit SystemLibrary(CustomScripter& scripter);

  void Init() override;

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  // The read-only properties LastExceptionMessage, LastExceptionHelpContext
  // and LastExceptionClassName: the last error the running machine's
  // `try ... except` caught.
  void RegisterLastException(HostClass& entry);
  // TObject's Create and Free, and the text file class.
  void RegisterObjectClasses();
};

inline const ClassInfo SystemLibrary::kClassInfo = {
    "SystemLibrary", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_SYSTEM_LIBRARY_H_
