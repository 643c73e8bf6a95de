#include "script/host/published_property_handlers.h"

#include "base/ascii.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"
#include "script/values/lenient_conversion.h"
#include "script/values/tobject.h"
#include "script/values/variant_array.h"

namespace vantrel {
namespace {

// The ordinal of `value` among the property's value names; -1 when unknown.
int32_t EnumerationOrdinal(const PublishedProperty& info, const Variant& value) {
  if (value.Type() != VariantType::kString) return LenientToInteger(value);
  std::string name = value.ToString();
  for (size_t i = 0; i < info.value_names.size(); ++i) {
    if (EqualsIgnoreCase(info.value_names[i], name)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t SetMask(const PublishedProperty& info, const Variant& value) {
  if (value.Type() != VariantType::kArray || value.ArrayValue().DimCount() != 1) {
    return LenientToInteger(value);
  }
  uint32_t mask = 0;
  const VariantArray& array = value.ArrayValue();
  for (const Variant& element : array.Elements()) {
    int32_t ordinal = EnumerationOrdinal(info, element.Dereference());
    mask |= 1u << (static_cast<uint32_t>(ordinal) % 32);
  }
  return static_cast<int32_t>(mask);
}

void ReadPublished(PublishedProperty& info, VirtualMachine& machine) {
  TObject* object = machine.CurrentObject();
  machine.SetResult(object != nullptr ? info.getter(*object) : Variant::Null());
}

void WritePublished(PublishedProperty& info, VirtualMachine& machine) {
  TObject* object = machine.CurrentObject();
  if (object == nullptr) return;
  info.setter(*object, ConvertForProperty(info, machine.GetArg(0)));
}

}  // namespace

Variant ConvertForProperty(const PublishedProperty& info, const Variant& value) {
  switch (info.kind) {
    case vkInteger:
    case vkChar:
    case vkWideChar:
      return Variant(LenientToInteger(value));
    case vkEnumeration:
      return Variant(EnumerationOrdinal(info, value));
    case vkSet:
      return Variant(SetMask(info, value));
    case vkFloat:
      return Variant(LenientToFloat(value));
    case vkString:
    case vkLongString:
    case vkWideString:
      return Variant(LenientToString(value));
    default:
      return value;
  }
}

HostHandler PublishedGetter(const PublishedProperty& info) {
  return HostHandler::Of<PublishedProperty, ReadPublished>(const_cast<PublishedProperty*>(&info));
}

HostHandler PublishedSetter(const PublishedProperty& info) {
  return HostHandler::Of<PublishedProperty, WritePublished>(const_cast<PublishedProperty*>(&info));
}

}  // namespace vantrel
