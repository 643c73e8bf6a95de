#include "script/host/script_objects.h"

#include "base/ascii.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/host/host_classes.h"

namespace vantrel {

ScriptObject& ScriptObjects::Add(std::string_view name, TObject* instance, HostClass* class_entry) {
  if (instance == nullptr) throw ScriptDefinitionError("Invalid script default instance");
  if (ScriptObject* existing = Find(name)) return *existing;
  objects_.push_back({std::string(name), instance, class_entry});
  return objects_.back();
}

void ScriptObjects::CopyFrom(const ScriptObjects& other, const HostClasses& classes) {
  std::vector<ScriptObject> copy;
  copy.reserve(other.objects_.size());
  for (const ScriptObject& object : other.objects_) {
    std::string class_name = object.ClassEntry != nullptr ? object.ClassEntry->Name() : "";
    HostClass* entry = classes.FindHostClass(class_name);
    if (entry == nullptr) {
      throw ScriptDefinitionError(Format("Undefined default instance class '%s'", {class_name}));
    }
    copy.push_back({object.Name, object.Instance, entry});
  }
  objects_ = std::move(copy);
}

ScriptObject* ScriptObjects::Find(std::string_view name) {
  for (ScriptObject& object : objects_) {
    if (EqualsIgnoreCase(object.Name, name)) return &object;
  }
  return nullptr;
}

void ScriptObjects::Remove(std::string_view name) {
  std::erase_if(objects_, [name](const ScriptObject& o) { return EqualsIgnoreCase(o.Name, name); });
}

}  // namespace vantrel
