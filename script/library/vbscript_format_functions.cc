#include "script/errors/script_errors.h"
#include "script/library/vbscript_functions.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// Placeholders until this group lands.

void FormatCurrency(VirtualMachine&) {
  throw ScriptRuntimeError("FormatCurrency is not available yet");
}
void FormatNumber(VirtualMachine&) {
  throw ScriptRuntimeError("FormatNumber is not available yet");
}

}  // namespace vantrel::vbscript_functions
