#include "script/host/late_bound_handlers.h"

#include <string>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/host/host_class.h"
#include "script/host/host_classes.h"
#include "script/machine/host_binding.h"
#include "script/machine/virtual_machine.h"
#include "script/values/tobject.h"

namespace vantrel {
namespace {

[[noreturn]] void Fail(const char* pattern, std::string_view name) {
  throw MachineRuntimeError(Format(pattern, {name}));
}

// The registry entry of the current object's class; raises `no_object`
// without an object.
HostClass& ObjectClass(VirtualMachine& machine, const char* no_object) {
  std::string_view name = machine.CurrentMemberName();
  TObject* object = machine.CurrentObject();
  if (object == nullptr || machine.Host() == nullptr) Fail(no_object, name);
  HostClass* entry = machine.Host()->EntryOf(&object->ClassType());
  if (entry == nullptr) Fail(no_object, name);
  machine.SetCurrentClass(entry);
  return *entry;
}

void CallMethod(VirtualMachine& machine, const HostMethod& method) {
  std::string_view name = machine.CurrentMemberName();
  if (machine.ArgCount() < method.ArgCount) {
    throw MachineRuntimeError(
        Format("Not enough actual parameters for method '%s'. Expected %d parameters",
               {name, method.ArgCount}));
  }
  if (machine.ArgCount() > method.ArgCount) {
    throw MachineRuntimeError(Format("Too many parameters for method '%s'. Expected %d parameters",
                                     {name, method.ArgCount}));
  }
  if (!method.Handler) Fail("Method '%s' was not defined", name);
  method.Handler(machine);
}

void ReadMember(VirtualMachine& machine) {
  std::string_view name = machine.CurrentMemberName();
  HostClass& entry = ObjectClass(machine, "Object or Record required to access property: '%s'");
  if (HostProperty* property = entry.FindProperty(name)) {
    if (machine.CurrentInstruction()->F & kFlagCalledAsMethod) {
      Fail("Property '%s' cannot be called as a method", name);
    }
    if (!property->Getter) Fail("Property '%s' cannot be readed", name);
    property->Getter(machine);
    return;
  }
  if (HostMethod* method = entry.FindMethod(name)) {
    CallMethod(machine, *method);
    return;
  }
  Fail("Unknown property or method: '%s'", name);
}

void WriteMember(VirtualMachine& machine) {
  std::string_view name = machine.CurrentMemberName();
  HostClass& entry = ObjectClass(machine, "Object or Record required to access property: '%s'");
  if (HostProperty* property = entry.FindProperty(name)) {
    if (!property->Setter) Fail("Property '%s' cannot be written", name);
    property->Setter(machine);
    return;
  }
  if (entry.FindMethod(name) != nullptr) Fail("Assign to method '%s' is not allowed", name);
  Fail("Unknown property: '%s'", name);
}

void CallMember(VirtualMachine& machine) {
  std::string_view name = machine.CurrentMemberName();
  HostClass& entry = ObjectClass(machine, "Object or Record required to access method: '%s'");
  HostMethod* method = entry.FindMethod(name);
  if (method == nullptr) Fail("Unknown method: '%s'", name);
  CallMethod(machine, *method);
}

void MissingMember(VirtualMachine& machine) {
  std::string_view name = machine.CurrentMemberName();
  switch (MemberReferenceKind(machine.CurrentInstruction()->Y)) {
    case kMemberPropertyRead:
      Fail("Property '%s' cannot be readed", name);
    case kMemberPropertyWrite:
      Fail("Property '%s' cannot be written", name);
    default:
      Fail("Method '%s' was not defined", name);
  }
}

}  // namespace

HostHandler LateBoundHandler(MemberKind kind) {
  switch (kind) {
    case kMemberPropertyRead:
      return HostHandler::Of<ReadMember>();
    case kMemberPropertyWrite:
      return HostHandler::Of<WriteMember>();
    default:
      return HostHandler::Of<CallMember>();
  }
}

HostHandler MissingMemberHandler() { return HostHandler::Of<MissingMember>(); }

}  // namespace vantrel
