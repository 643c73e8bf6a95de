// The default instances of a scripter: objects whose members scripts call
// without naming the object (`UpperCase(s)` instead of `Internal.UpperCase(s)`).
//
// The first is the internal object; every library attached as default
// follows in attach order. Unqualified names are looked up from the last
// instance to the first, so a later library shadows an earlier one. The
// instances are owned elsewhere (by the scripter or its libraries).
#ifndef VANTREL_SCRIPT_HOST_SCRIPT_OBJECTS_H_
#define VANTREL_SCRIPT_HOST_SCRIPT_OBJECTS_H_

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class HostClass;
class HostClasses;
class TObject;

struct ScriptObject {
  std::string Name;
  TObject* Instance = nullptr;
  HostClass* ClassEntry = nullptr;
};

class ScriptObjects {
 public:
  // Appends a default instance; an absent instance raises
  // ScriptDefinitionError "Invalid script default instance". A name that is
  // already there keeps its first instance (the result is that one).
  ScriptObject& Add(std::string_view name, TObject* instance, HostClass* class_entry);

  // Replaces this list by a copy of `other`, whose classes are looked up by
  // name in `classes`: ScriptDefinitionError "Undefined default instance
  // class '%s'" when one is not registered there.
  void CopyFrom(const ScriptObjects& other, const HostClasses& classes);

  ScriptObject* Find(std::string_view name);
  void Remove(std::string_view name);

  int Count() const { return static_cast<int>(objects_.size()); }
  const ScriptObject& At(int index) const { return objects_[static_cast<size_t>(index)]; }

 private:
  std::vector<ScriptObject> objects_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_SCRIPT_OBJECTS_H_
