// What linking asks of the host: the classes, default instances and member
// handlers that compiled code names by number.
//
// The machine knows the host's registry only through this interface, so it
// does not depend on how the registry is kept. Registry entries reach the
// machine as opaque HostClass pointers, which it hands back to handlers
// (VirtualMachine::CurrentClass) without looking inside.
//
// Threads: called on the thread that links or runs the code.
#ifndef VANTREL_SCRIPT_MACHINE_HOST_BINDING_H_
#define VANTREL_SCRIPT_MACHINE_HOST_BINDING_H_

#include <cstdint>
#include <string_view>

#include "script/machine/host_handler.h"

namespace vantrel {

class HostClass;
class TObject;
struct ClassInfo;

class HostBinding {
 public:
  // A registry entry and the host class it stands for; both null when the
  // registry has no such entry (the class may be null for an entry that
  // only names a class).
  struct BoundClass {
    HostClass* entry = nullptr;
    const ClassInfo* class_ref = nullptr;
  };

  // A member handler and the entry it belongs to. `error` is null on
  // success, else says why the reference cannot be bound.
  struct BoundMember {
    HostHandler handler;
    HostClass* entry = nullptr;
    const char* error = nullptr;
    bool pure = false;  // A method whose result depends on its arguments alone.
  };

  virtual BoundClass ClassNamed(std::string_view name) const = 0;
  virtual BoundClass ClassAt(int index) const = 0;
  // The registry entry of a host class (late-bound calls find an object's
  // members through it); null when the class is not registered.
  virtual HostClass* EntryOf(const ClassInfo* class_ref) const = 0;
  // False when there is no default instance `index`.
  virtual bool DefaultInstance(int index, TObject*& instance) const = 0;
  // Binds a packed member reference (instruction.h). A reference that is
  // only the kind binds to the late-bound handler of that kind; a member
  // registered without a handler binds to one that raises when called.
  virtual BoundMember Member(int32_t reference) const = 0;

 protected:
  ~HostBinding() = default;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_HOST_BINDING_H_
