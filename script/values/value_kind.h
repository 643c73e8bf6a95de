// The kinds of value a registered method returns or a property holds.
#ifndef VANTREL_SCRIPT_VALUES_VALUE_KIND_H_
#define VANTREL_SCRIPT_VALUES_VALUE_KIND_H_

#include <cstdint>

namespace vantrel {

enum ValueKind : uint8_t {
  vkNone = 0,         // no value: a procedure
  vkInteger = 1,      // integer
  vkChar = 2,         // character
  vkEnumeration = 3,  // enumeration or Boolean
  vkFloat = 4,        // floating point or date-time
  vkString = 5,       // string
  vkSet = 6,          // set (bit mask)
  vkClass = 7,        // object reference
  vkMethod = 8,       // event (method pointer)
  vkWideChar = 9,     // wide character
  vkLongString = 10,  // string
  vkWideString = 11,  // wide string
  vkVariant = 12,     // any value
  vkArray = 13,       // array
};

// A set of value kinds, one bit per kind.
using ValueKindSet = uint16_t;

constexpr ValueKindSet ValueKindBit(ValueKind kind) {
  return static_cast<ValueKindSet>(1u << kind);
}
constexpr bool ValueKindSetHas(ValueKindSet set, ValueKind kind) {
  return (set & ValueKindBit(kind)) != 0;
}

// Every kind but vkNone and vkMethod: the published properties a new scripter
// makes visible when a host class is registered.
constexpr ValueKindSet kDefaultPublishedKinds =
    static_cast<ValueKindSet>(0x3FFF & ~ValueKindBit(vkNone) & ~ValueKindBit(vkMethod));

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_VALUE_KIND_H_
