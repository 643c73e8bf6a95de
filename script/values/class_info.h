// The description a host class gives of itself, so that scripts can name it,
// test objects against it and reach its published properties.
//
// C++ carries no information about a class at run time that a script could
// use, so every class that scripts may see defines one constant ClassInfo:
//
//   const ClassInfo TSerialDevice::kClassInfo = {
//       "TSerialDevice", &TObject::kClassInfo, kSerialDeviceProperties};
//
// and returns it from TObject::ClassType(). Class references in scripts are
// pointers to these constants; they live for the whole run of the program.
//
// A class whose objects scripts may create (`TObject.Create`) names its
// factory, usually NewInstance<TheClass>; the object goes to the
// scripter's object table, which destroys it when the script frees it or the
// run ends. A class without one cannot be created by scripts; a descendant
// does not inherit its ancestor's factory.
#ifndef VANTREL_SCRIPT_VALUES_CLASS_INFO_H_
#define VANTREL_SCRIPT_VALUES_CLASS_INFO_H_

#include <memory>
#include <span>
#include <string_view>

#include "script/values/value_kind.h"
#include "script/values/variant.h"

namespace vantrel {

class TObject;
struct ClassInfo;

// An event handler held by a host object: the code the object calls and the
// data it passes as the code's first argument. `code` is stored as the
// generic function type and cast back to the event type's own signature
// (void (*)(void* data, ...)) by whoever calls it.
struct MethodPointer {
  void (*code)() = nullptr;
  void* data = nullptr;

  explicit operator bool() const { return code != nullptr; }
  bool operator==(const MethodPointer&) const = default;
};

// A property a class makes visible to scripts without registering it.
struct PublishedProperty {
  std::string_view name;
  ValueKind kind = vkVariant;
  // Reads the property of `object`; null when the property cannot be read.
  Variant (*getter)(const TObject& object) = nullptr;
  // Writes the property of `object`; null when the property cannot be
  // written. The value has already been converted for `kind` (an integer for
  // vkInteger, vkEnumeration and vkSet, a double for vkFloat, a string for
  // the string kinds, an object for vkClass).
  void (*setter)(TObject& object, const Variant& value) = nullptr;
  // The class of the objects a vkClass property holds; may be null.
  const ClassInfo* property_class = nullptr;
  // For vkEnumeration and vkSet: the names of the values, in ordinal order.
  std::span<const std::string_view> value_names = {};
  // For events (vkMethod): the name of the event's type, which selects the
  // adapter that lets script routines handle it, and the object's handler
  // field for the event.
  std::string_view event_type = {};
  MethodPointer* (*event_field)(TObject& object) = nullptr;
};

struct ClassInfo {
  std::string_view name;
  // The class this one derives from; null only for the root TObject.
  const ClassInfo* ancestor = nullptr;
  std::span<const PublishedProperty> published = {};
  // Makes a new object of this class with its default state; null when
  // scripts cannot create objects of this class.
  std::unique_ptr<TObject> (*create)() = nullptr;

  // True when this class is `other` or derives from it.
  bool InheritsFrom(const ClassInfo* other) const {
    for (const ClassInfo* c = this; c != nullptr; c = c->ancestor) {
      if (c == other) return true;
    }
    return false;
  }
};

// The factory of a class that scripts may create.
template <class T>
std::unique_ptr<TObject> NewInstance() {
  return std::make_unique<T>();
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_CLASS_INFO_H_
