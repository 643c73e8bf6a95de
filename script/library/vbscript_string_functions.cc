#include "script/errors/script_errors.h"
#include "script/library/vbscript_functions.h"
#include "script/library/vbscript_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// Placeholders until this group lands.

void Asc(VirtualMachine&) { throw ScriptRuntimeError("Asc is not available yet"); }
void InStr(VirtualMachine&) { throw ScriptRuntimeError("InStr is not available yet"); }
void LCase(VirtualMachine&) { throw ScriptRuntimeError("LCase is not available yet"); }
void Left(VirtualMachine&) { throw ScriptRuntimeError("Left is not available yet"); }
void Len(VirtualMachine&) { throw ScriptRuntimeError("Len is not available yet"); }
void LTrim(VirtualMachine&) { throw ScriptRuntimeError("LTrim is not available yet"); }
void RTrim(VirtualMachine&) { throw ScriptRuntimeError("RTrim is not available yet"); }
void UCase(VirtualMachine&) { throw ScriptRuntimeError("UCase is not available yet"); }
void Mid(VirtualMachine&) { throw ScriptRuntimeError("Mid is not available yet"); }
void Replace(VirtualMachine&) { throw ScriptRuntimeError("Replace is not available yet"); }
void Right(VirtualMachine&) { throw ScriptRuntimeError("Right is not available yet"); }
void Space(VirtualMachine&) { throw ScriptRuntimeError("Space is not available yet"); }
void StrComp(VirtualMachine&) { throw ScriptRuntimeError("StrComp is not available yet"); }
void StringOf(VirtualMachine&) { throw ScriptRuntimeError("String is not available yet"); }

}  // namespace vantrel::vbscript_functions
