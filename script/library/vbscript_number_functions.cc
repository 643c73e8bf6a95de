#include "script/errors/script_errors.h"
#include "script/library/vbscript_functions.h"
#include "script/library/vbscript_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// Placeholders until this group lands.

void Atn(VirtualMachine&) { throw ScriptRuntimeError("Atn is not available yet"); }
void CBool(VirtualMachine&) { throw ScriptRuntimeError("CBool is not available yet"); }
void CByte(VirtualMachine&) { throw ScriptRuntimeError("CByte is not available yet"); }
void CCur(VirtualMachine&) { throw ScriptRuntimeError("CCur is not available yet"); }
void CDate(VirtualMachine&) { throw ScriptRuntimeError("CDate is not available yet"); }
void CDbl(VirtualMachine&) { throw ScriptRuntimeError("CDbl is not available yet"); }
void CInt(VirtualMachine&) { throw ScriptRuntimeError("CInt is not available yet"); }
void CLng(VirtualMachine&) { throw ScriptRuntimeError("CLng is not available yet"); }
void CSng(VirtualMachine&) { throw ScriptRuntimeError("CSng is not available yet"); }
void CStr(VirtualMachine&) { throw ScriptRuntimeError("CStr is not available yet"); }
void Hex(VirtualMachine&) { throw ScriptRuntimeError("Hex is not available yet"); }
void VbInt(VirtualMachine&) { throw ScriptRuntimeError("Int is not available yet"); }
void Fix(VirtualMachine&) { throw ScriptRuntimeError("Fix is not available yet"); }
void IsArray(VirtualMachine&) { throw ScriptRuntimeError("IsArray is not available yet"); }
void IsDate(VirtualMachine&) { throw ScriptRuntimeError("IsDate is not available yet"); }
void IsEmpty(VirtualMachine&) { throw ScriptRuntimeError("IsEmpty is not available yet"); }
void IsNull(VirtualMachine&) { throw ScriptRuntimeError("IsNull is not available yet"); }
void IsNumeric(VirtualMachine&) { throw ScriptRuntimeError("IsNumeric is not available yet"); }
void LBound(VirtualMachine&) { throw ScriptRuntimeError("LBound is not available yet"); }
void Log(VirtualMachine&) { throw ScriptRuntimeError("Log is not available yet"); }
void UBound(VirtualMachine&) { throw ScriptRuntimeError("UBound is not available yet"); }
void Rnd(VirtualMachine&) { throw ScriptRuntimeError("Rnd is not available yet"); }
void Sgn(VirtualMachine&) { throw ScriptRuntimeError("Sgn is not available yet"); }

}  // namespace vantrel::vbscript_functions
