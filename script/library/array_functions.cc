#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void High(VirtualMachine&) { throw ScriptRuntimeError("High is not available yet"); }
void Low(VirtualMachine&) { throw ScriptRuntimeError("Low is not available yet"); }
void VarArrayHighBound(VirtualMachine&) {
  throw ScriptRuntimeError("VarArrayHighBound is not available yet");
}
void VarArrayLowBound(VirtualMachine&) {
  throw ScriptRuntimeError("VarArrayLowBound is not available yet");
}
void VarArrayCreate(VirtualMachine&) {
  throw ScriptRuntimeError("VarArrayCreate is not available yet");
}
void SetOf(VirtualMachine&) { throw ScriptRuntimeError("SetOf is not available yet"); }

}  // namespace vantrel::system_functions
