// Where the library functions put the objects they create for scripts
// (TObject.Create, AssignFile): the object table of the scripter whose
// script is running.
#ifndef VANTREL_SCRIPT_LIBRARY_CREATED_OBJECTS_H_
#define VANTREL_SCRIPT_LIBRARY_CREATED_OBJECTS_H_

#include "script/errors/script_errors.h"
#include "script/machine/object_table.h"
#include "script/machine/virtual_machine.h"

namespace vantrel {

// The table of `machine`; raises ScriptRuntimeError for a machine that runs
// outside a scripter and so has none.
inline ObjectTable& CreatedObjects(const VirtualMachine& machine) {
  ObjectTable* table = machine.Objects();
  if (table == nullptr) throw ScriptRuntimeError("Objects cannot be created outside a scripter");
  return *table;
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_CREATED_OBJECTS_H_
