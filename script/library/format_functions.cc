#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void Format(VirtualMachine&) { throw ScriptRuntimeError("Format is not available yet"); }
void FormatFloat(VirtualMachine&) { throw ScriptRuntimeError("FormatFloat is not available yet"); }

}  // namespace vantrel::system_functions
