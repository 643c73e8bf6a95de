// A class as scripts see it: its methods and properties, registered by the
// host or copied from its ancestor.
//
// Entries live in HostClasses, which owns them. Members are owned by their
// class entry and keep their address until they are deleted or the entry is
// destroyed, so handlers may be bound to the member itself (constants are).
// Names are matched without regard to ASCII letter case; members are searched
// from the last registered backwards, so a later registration wins.
#ifndef VANTREL_SCRIPT_HOST_HOST_CLASS_H_
#define VANTREL_SCRIPT_HOST_HOST_CLASS_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/machine/argument_modifier.h"
#include "script/machine/host_handler.h"
#include "script/values/value_kind.h"
#include "script/values/variant.h"

namespace vantrel {

struct ClassInfo;
struct PublishedProperty;
class HostClass;

struct ArgDef {
  std::string Name;
  uint8_t Flags = 0;
  ArgumentModifier Modifier = moNone;
};

class HostMethod {
 public:
  std::string Name;
  HostHandler Handler;  // Absent for a method declared but not defined.
  ValueKind ResultKind = vkNone;
  int ArgCount = 0;
  int Reserved = 0;
  const ClassInfo* ResultClass = nullptr;  // For vkClass results; may be null.
  std::vector<ArgDef> ArgDefs;
  bool IsClassMethod = false;  // Callable on the class itself, without an instance.
  uint32_t ByRefArgMask = 0;   // Bit i set: argument i must be a variable.
  // Its result depends on its arguments alone, and calling it changes
  // nothing: a call with constant arguments may be made once and its result
  // used again (as `chr` is in the text of a page).
  bool Pure = false;

  // Marks the arguments at `indexes` (0-based) as passed by reference.
  void SetByRefArguments(std::initializer_list<int> indexes);

  HostClass* Owner() const { return owner_; }

 private:
  friend class HostClass;
  HostClass* owner_ = nullptr;
};

class HostProperty {
 public:
  std::string Name;
  ValueKind Kind = vkVariant;
  HostHandler Getter;  // Absent: write-only.
  HostHandler Setter;  // Absent: read-only.
  const ClassInfo* PropertyClass = nullptr;
  // The published property this entry was made from; null for registered ones.
  const PublishedProperty* Info = nullptr;
  Variant StoredValue;  // The value of a constant.
  bool IsClassProperty = false;
  int IndexCount = 0;  // Number of index arguments, as in Items[i].

  HostClass* Owner() const { return owner_; }

 private:
  friend class HostClass;
  HostClass* owner_ = nullptr;
};

class HostClass {
 public:
  explicit HostClass(std::string name);
  HostClass(const HostClass&) = delete;
  HostClass& operator=(const HostClass&) = delete;
  // Detaches the entry from its ancestor and its descendants from it.
  ~HostClass();

  const std::string& Name() const { return name_; }
  const ClassInfo* ClassRef() const { return class_ref_; }
  const std::string& AncestorName() const { return ancestor_name_; }
  HostClass* Ancestor() const { return ancestor_; }
  const std::vector<HostClass*>& Descendants() const { return descendants_; }

  int MethodCount() const { return static_cast<int>(methods_.size()); }
  int PropertyCount() const { return static_cast<int>(properties_.size()); }
  HostMethod& Method(int index) const { return *methods_[static_cast<size_t>(index)]; }
  HostProperty& Property(int index) const { return *properties_[static_cast<size_t>(index)]; }

  // Last registered first; null when absent.
  HostMethod* FindMethod(std::string_view name) const;
  HostProperty* FindProperty(std::string_view name) const;
  int IndexOfMethod(const HostMethod* method) const;
  int IndexOfProperty(const HostProperty* property) const;

  // Registers a method, replacing a same-named one of this class (which keeps
  // its argument definitions and by-reference mask), and copies it into every
  // descendant that has no member of that name. `always_append` adds a new
  // entry even when the name exists (script-file libraries do).
  HostMethod* RegisterMethod(std::string_view name, int arg_count, bool is_class_method,
                             HostHandler handler, const ClassInfo* result_class,
                             ValueKind result_kind, bool always_append = false);

  // Registers a property the same way. A vkVariant property without getter,
  // setter and class would be unusable: it is not created (null result).
  HostProperty* RegisterProperty(std::string_view name, ValueKind kind, int index_count,
                                 bool is_class_property, const ClassInfo* property_class,
                                 HostHandler setter, HostHandler getter,
                                 bool always_append = false);

  // A read-only property whose getter returns `value`; registering the same
  // name again replaces the value.
  HostProperty* RegisterConstant(std::string_view name, const Variant& value);

  // Remove one member from this class (descendants keep their copies).
  void DeleteMethod(const HostMethod* method);
  void DeleteProperty(const HostProperty* property);

  // Counts the changes to this entry that compiled code may depend on: a
  // member added or deleted, a member redefined with another shape
  // (arguments, result, kind, accessors), the ancestor linked. A constant
  // given a new value is not counted: code reads it when it runs. Code
  // refers to members by position, so code compiled against this entry
  // stays valid while the count stays the same.
  std::uint64_t Revision() const { return revision_; }

 private:
  friend class HostClasses;

  // Copies the ancestor's methods and its registered properties into this
  // entry and records this entry among its descendants.
  void LinkToAncestor(HostClass& ancestor);
  void AddPublishedProperty(const PublishedProperty& info);
  HostMethod* StoreMethod(const HostMethod& source, bool always_append);
  HostProperty* StoreProperty(const HostProperty& source, bool always_append);

  std::string name_;
  std::uint64_t revision_ = 0;
  const ClassInfo* class_ref_ = nullptr;  // Absent until the class itself is registered.
  std::string ancestor_name_;
  HostClass* ancestor_ = nullptr;        // Not owned.
  std::vector<HostClass*> descendants_;  // Not owned.
  std::vector<std::unique_ptr<HostMethod>> methods_;
  std::vector<std::unique_ptr<HostProperty>> properties_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_HOST_CLASS_H_
