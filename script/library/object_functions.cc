#include <string>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/host/host_class.h"
#include "script/library/created_objects.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"

namespace vantrel::system_functions {

void Create(VirtualMachine& machine) {
  const HostClass* entry = machine.CurrentClass();
  const ClassInfo* info = entry != nullptr ? entry->ClassRef() : nullptr;
  if (info == nullptr || info->create == nullptr) {
    const std::string name = entry != nullptr ? entry->Name() : std::string("?");
    throw ScriptRuntimeError(vantrel::Format("Class '%s' cannot be created by a script", {name}));
  }
  machine.SetResult(CreatedObjects(machine).Add(info->create()));
}

void Free(VirtualMachine& machine) {
  TObject* object = machine.CurrentObject();
  if (object == nullptr) return;  // Freeing nil does nothing.
  ObjectTable* objects = machine.Objects();
  if (objects == nullptr || !objects->Owns(object)) {
    throw ScriptRuntimeError(
        vantrel::Format("Object of class '%s' belongs to the host and cannot be freed",
                        {object->ClassType().name}));
  }
  objects->Free(object);
}

void LastExceptionMessage(VirtualMachine& machine) {
  machine.SetResult(Variant(machine.GetLastError().Message));
}

void LastExceptionHelpContext(VirtualMachine& machine) {
  machine.SetResult(Variant(machine.GetLastError().HelpContext));
}

void LastExceptionClassName(VirtualMachine& machine) {
  machine.SetResult(Variant(machine.GetLastError().ClassName));
}

}  // namespace vantrel::system_functions
