#include "script/host/host_classes.h"

#include <string>
#include <vector>

#include "base/ascii.h"
#include "script/errors/script_errors.h"
#include "script/values/class_info.h"

namespace vantrel {

HostClasses::HostClasses() { classes_.push_back(std::make_unique<HostClass>(std::string())); }

HostClasses::~HostClasses() {
  // Destroy from the last, so that descendants leave their ancestors' lists
  // before the ancestors go.
  while (!classes_.empty()) classes_.pop_back();
}

HostClass& HostClasses::RegisterNamedClass(std::string_view name) {
  if (HostClass* entry = FindHostClass(name)) return *entry;
  if (name.empty()) throw ScriptDefinitionError("A host class needs a name");
  classes_.push_back(std::make_unique<HostClass>(std::string(name)));
  return *classes_.back();
}

HostClass& HostClasses::RegisterHostClass(const ClassInfo* class_ref, std::string_view name,
                                          ValueKindSet published_kinds) {
  if (name.empty() && class_ref != nullptr) name = class_ref->name;
  HostClass& entry = RegisterNamedClass(name);
  if (entry.class_ref_ != nullptr || class_ref == nullptr) return entry;

  entry.class_ref_ = class_ref;
  if (class_ref->ancestor != nullptr) {
    entry.ancestor_name_ = std::string(class_ref->ancestor->name);
    HostClass& ancestor = RegisterHostClass(class_ref->ancestor, {}, published_kinds);
    entry.LinkToAncestor(ancestor);
  }
  // A class publishes its ancestors' properties too; the ancestor's come
  // first, so that a class's own property of the same name is found first.
  std::vector<const ClassInfo*> chain;
  for (const ClassInfo* c = class_ref; c != nullptr; c = c->ancestor) chain.push_back(c);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const PublishedProperty& info : (*it)->published) {
      if (ValueKindSetHas(published_kinds, info.kind)) entry.AddPublishedProperty(info);
    }
  }
  return entry;
}

HostClass* HostClasses::FindHostClass(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& entry : classes_) {
    if (EqualsIgnoreCase(entry->Name(), name)) return entry.get();
  }
  return nullptr;
}

HostClass* HostClasses::FindByClass(const ClassInfo* class_ref) const {
  for (const ClassInfo* c = class_ref; c != nullptr; c = c->ancestor) {
    for (const auto& entry : classes_) {
      if (entry->ClassRef() == c) return entry.get();
    }
  }
  return nullptr;
}

int HostClasses::IndexOf(const HostClass* entry) const {
  for (size_t i = 0; i < classes_.size(); ++i) {
    if (classes_[i].get() == entry) return static_cast<int>(i);
  }
  return -1;
}

std::uint64_t HostClasses::Revision() const {
  std::uint64_t revision = classes_.size();
  for (const auto& entry : classes_) revision += entry->Revision();
  return revision;
}

}  // namespace vantrel
