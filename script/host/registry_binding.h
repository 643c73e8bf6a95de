// The machine's view of a scripter's registry: binds compiled code to the
// classes, default instances and member handlers registered there.
//
// Holds the registry and the default instances by pointer; both must
// outlive every machine the binding is handed to.
#ifndef VANTREL_SCRIPT_HOST_REGISTRY_BINDING_H_
#define VANTREL_SCRIPT_HOST_REGISTRY_BINDING_H_

#include "script/machine/host_binding.h"

namespace vantrel {

class HostClasses;
class ScriptObjects;

class RegistryBinding final : public HostBinding {
 public:
  RegistryBinding(const HostClasses* classes, const ScriptObjects* objects)
      : classes_(classes), objects_(objects) {}

  BoundClass ClassNamed(std::string_view name) const override;
  BoundClass ClassAt(int index) const override;
  HostClass* EntryOf(const ClassInfo* class_ref) const override;
  bool DefaultInstance(int index, TObject*& instance) const override;
  BoundMember Member(int32_t reference) const override;

 private:
  const HostClasses* classes_;    // May be null: no class is known.
  const ScriptObjects* objects_;  // May be null: no default instance.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_REGISTRY_BINDING_H_
