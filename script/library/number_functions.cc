#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void IntToStr(VirtualMachine&) { throw ScriptRuntimeError("IntToStr is not available yet"); }
void IntToHex(VirtualMachine&) { throw ScriptRuntimeError("IntToHex is not available yet"); }
void StrToInt(VirtualMachine&) { throw ScriptRuntimeError("StrToInt is not available yet"); }
void StrToIntDef(VirtualMachine&) { throw ScriptRuntimeError("StrToIntDef is not available yet"); }
void FloatToStr(VirtualMachine&) { throw ScriptRuntimeError("FloatToStr is not available yet"); }
void StrToFloat(VirtualMachine&) { throw ScriptRuntimeError("StrToFloat is not available yet"); }
void VarIsNull(VirtualMachine&) { throw ScriptRuntimeError("VarIsNull is not available yet"); }
void Round(VirtualMachine&) { throw ScriptRuntimeError("Round is not available yet"); }
void Trunc(VirtualMachine&) { throw ScriptRuntimeError("Trunc is not available yet"); }
void VarToStr(VirtualMachine&) { throw ScriptRuntimeError("VarToStr is not available yet"); }
void Dec(VirtualMachine&) { throw ScriptRuntimeError("Dec is not available yet"); }
void Inc(VirtualMachine&) { throw ScriptRuntimeError("Inc is not available yet"); }
void Random(VirtualMachine&) { throw ScriptRuntimeError("Random is not available yet"); }
void Sin(VirtualMachine&) { throw ScriptRuntimeError("Sin is not available yet"); }
void Cos(VirtualMachine&) { throw ScriptRuntimeError("Cos is not available yet"); }
void Abs(VirtualMachine&) { throw ScriptRuntimeError("Abs is not available yet"); }
void ArcTan(VirtualMachine&) { throw ScriptRuntimeError("ArcTan is not available yet"); }
void Exp(VirtualMachine&) { throw ScriptRuntimeError("Exp is not available yet"); }
void Frac(VirtualMachine&) { throw ScriptRuntimeError("Frac is not available yet"); }
void Int(VirtualMachine&) { throw ScriptRuntimeError("Int is not available yet"); }
void Ln(VirtualMachine&) { throw ScriptRuntimeError("Ln is not available yet"); }
void Odd(VirtualMachine&) { throw ScriptRuntimeError("Odd is not available yet"); }
void Sqr(VirtualMachine&) { throw ScriptRuntimeError("Sqr is not available yet"); }
void Sqrt(VirtualMachine&) { throw ScriptRuntimeError("Sqrt is not available yet"); }

}  // namespace vantrel::system_functions
