#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void Interpret(SystemLibrary&, VirtualMachine&) {
  throw ScriptRuntimeError("Interpret is not available yet");
}

}  // namespace vantrel::system_functions
