#include "script/errors/script_errors.h"
#include "script/library/vbscript_functions.h"
#include "script/library/vbscript_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// Placeholders until this group lands.

void CreateObject(VirtualMachine&) {
  throw ScriptRuntimeError("CreateObject is not available yet");
}
void InputBox(VBScriptLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("InputBox is not available yet");
}
void MsgBox(VBScriptLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("MsgBox is not available yet");
}

}  // namespace vantrel::vbscript_functions
