#include "script/library/system_functions.h"

#include "script/errors/script_errors.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void Beep(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Beep is not available yet");
}
void ShowMessage(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("ShowMessage is not available yet");
}
void InputQuery(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("InputQuery is not available yet");
}
void Raise(VirtualMachine&) { throw ScriptRuntimeError("Raise is not available yet"); }
void CreateOleObject(VirtualMachine&) {
  throw ScriptRuntimeError("CreateOleObject is not available yet");
}
void GetActiveOleObject(VirtualMachine&) {
  throw ScriptRuntimeError("GetActiveOleObject is not available yet");
}
void RunningMachine(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Machine is not available yet");
}
void RunningScripter(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Scripter is not available yet");
}
void Assigned(VirtualMachine&) { throw ScriptRuntimeError("Assigned is not available yet"); }

}  // namespace vantrel::system_functions
