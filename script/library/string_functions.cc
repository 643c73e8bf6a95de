#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void UpperCase(VirtualMachine&) { throw ScriptRuntimeError("UpperCase is not available yet"); }
void LowerCase(VirtualMachine&) { throw ScriptRuntimeError("LowerCase is not available yet"); }
void CompareStr(VirtualMachine&) { throw ScriptRuntimeError("CompareStr is not available yet"); }
void CompareText(VirtualMachine&) { throw ScriptRuntimeError("CompareText is not available yet"); }
void AnsiUpperCase(VirtualMachine&) {
  throw ScriptRuntimeError("AnsiUpperCase is not available yet");
}
void AnsiLowerCase(VirtualMachine&) {
  throw ScriptRuntimeError("AnsiLowerCase is not available yet");
}
void AnsiCompareStr(VirtualMachine&) {
  throw ScriptRuntimeError("AnsiCompareStr is not available yet");
}
void AnsiCompareText(VirtualMachine&) {
  throw ScriptRuntimeError("AnsiCompareText is not available yet");
}
void Trim(VirtualMachine&) { throw ScriptRuntimeError("Trim is not available yet"); }
void TrimLeft(VirtualMachine&) { throw ScriptRuntimeError("TrimLeft is not available yet"); }
void TrimRight(VirtualMachine&) { throw ScriptRuntimeError("TrimRight is not available yet"); }
void IsValidIdent(VirtualMachine&) {
  throw ScriptRuntimeError("IsValidIdent is not available yet");
}
void Copy(VirtualMachine&) { throw ScriptRuntimeError("Copy is not available yet"); }
void Delete(VirtualMachine&) { throw ScriptRuntimeError("Delete is not available yet"); }
void Insert(VirtualMachine&) { throw ScriptRuntimeError("Insert is not available yet"); }
void Pos(VirtualMachine&) { throw ScriptRuntimeError("Pos is not available yet"); }
void Length(VirtualMachine&) { throw ScriptRuntimeError("Length is not available yet"); }
void Chr(VirtualMachine&) { throw ScriptRuntimeError("Chr is not available yet"); }
void Ord(VirtualMachine&) { throw ScriptRuntimeError("Ord is not available yet"); }

}  // namespace vantrel::system_functions
