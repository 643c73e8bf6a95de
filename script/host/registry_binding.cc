#include "script/host/registry_binding.h"

#include "script/host/host_class.h"
#include "script/host/host_classes.h"
#include "script/host/late_bound_handlers.h"
#include "script/host/script_objects.h"
#include "script/machine/instruction.h"

namespace vantrel {

namespace {

HostBinding::BoundClass Bound(HostClass* entry) {
  if (entry == nullptr) return {};
  return {entry, entry->ClassRef()};
}

}  // namespace

HostBinding::BoundClass RegistryBinding::ClassNamed(std::string_view name) const {
  return classes_ == nullptr ? BoundClass{} : Bound(classes_->FindHostClass(name));
}

HostBinding::BoundClass RegistryBinding::ClassAt(int index) const {
  if (classes_ == nullptr || index < 0 || index >= classes_->Count()) return {};
  return Bound(&classes_->At(index));
}

HostClass* RegistryBinding::EntryOf(const ClassInfo* class_ref) const {
  return classes_ == nullptr ? nullptr : classes_->FindByClass(class_ref);
}

bool RegistryBinding::DefaultInstance(int index, TObject*& instance) const {
  if (objects_ == nullptr || index < 0 || index >= objects_->Count()) return false;
  instance = objects_->At(index).Instance;
  return true;
}

HostBinding::BoundMember RegistryBinding::Member(int32_t reference) const {
  if (IsLateBoundReference(reference)) {
    return {LateBoundHandler(MemberReferenceKind(reference)), nullptr, nullptr};
  }
  const int class_index = MemberReferenceClass(reference);
  const int member = MemberReferenceIndex(reference);
  if (classes_ == nullptr || class_index >= classes_->Count()) {
    return {{}, nullptr, "unknown member class"};
  }
  HostClass& entry = classes_->At(class_index);
  BoundMember bound{{}, &entry, nullptr};
  switch (MemberReferenceKind(reference)) {
    case kMemberPropertyRead:
      if (member >= entry.PropertyCount()) return {{}, nullptr, "unknown property"};
      bound.handler = entry.Property(member).Getter;
      break;
    case kMemberPropertyWrite:
      if (member >= entry.PropertyCount()) return {{}, nullptr, "unknown property"};
      bound.handler = entry.Property(member).Setter;
      break;
    case kMemberMethodCall:
      if (member >= entry.MethodCount()) return {{}, nullptr, "unknown method"};
      bound.handler = entry.Method(member).Handler;
      bound.pure = entry.Method(member).Pure;
      break;
    default:
      return {{}, nullptr, "invalid member reference"};
  }
  if (!bound.handler) bound.handler = MissingMemberHandler();
  return bound;
}

}  // namespace vantrel
