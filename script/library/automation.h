// COM automation objects do not exist on this platform: the functions that
// would make one (CreateOleObject, GetActiveOleObject, CreateObject) raise.
#ifndef VANTREL_SCRIPT_LIBRARY_AUTOMATION_H_
#define VANTREL_SCRIPT_LIBRARY_AUTOMATION_H_

#include "script/errors/script_errors.h"

namespace vantrel {

[[noreturn]] inline void ThrowNoAutomation() {
  throw ScriptRuntimeError("COM automation is not available on this platform");
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_AUTOMATION_H_
