// Readable values in test failures: Describe() names a value's kind and its
// exact contents, so two values describe alike exactly when they are the
// same kind with the same contents ("Double 6" differs from "Integer 6").
#ifndef VANTREL_TESTS_SCRIPT_VARIANT_PRINTER_H_
#define VANTREL_TESTS_SCRIPT_VARIANT_PRINTER_H_

#include <cstdio>
#include <ostream>
#include <string>

#include "base/exception.h"
#include "script/values/variant.h"
#include "script/values/variant_array.h"

namespace vantrel {

inline std::string Describe(const Variant& value) {
  char number[40];
  switch (value.Type()) {
    case VariantType::kUnassigned:
      return "Empty";
    case VariantType::kNull:
      return "Null";
    case VariantType::kBoolean:
      return value.RawBoolean() ? "Boolean True" : "Boolean False";
    case VariantType::kInteger:
      return "Integer " + std::to_string(value.RawInteger());
    case VariantType::kByte:
      return "Byte " + std::to_string(value.RawByte());
    case VariantType::kDouble:
    case VariantType::kDate:
      std::snprintf(number, sizeof number, "%.17g", value.RawDouble());
      return (value.Type() == VariantType::kDate ? "Date " : "Double ") + std::string(number);
    case VariantType::kString:
      return "String \"" + std::string(value.StringView()) + "\"";
    case VariantType::kObject:
      std::snprintf(number, sizeof number, "%p", static_cast<void*>(value.RawObject()));
      return "Object " + std::string(number);
    case VariantType::kClass:
      std::snprintf(number, sizeof number, "%p", static_cast<const void*>(value.RawClass()));
      return "Class " + std::string(number);
    case VariantType::kArray: {
      std::string text = "Array [";
      for (const Variant& element : value.ArrayValue().Elements()) text += Describe(element) + ", ";
      return text + "]";
    }
    case VariantType::kReference:
      if (value.RawReference() == nullptr) return "Reference to nothing";
      if (value.RawReference()->IsReference()) return "Reference to a reference";
      return "Reference to " + Describe(*value.RawReference());
  }
  return "?";
}

inline void PrintTo(const Variant& value, std::ostream* out) { *out << Describe(value); }

namespace test {

// What `action` leaves, or the class and message of what it raises.
template <typename Action>
std::string Outcome(Action action) {
  try {
    return Describe(action());
  } catch (const Exception& error) {
    return std::string(error.ClassName()) + ": " + error.Message();
  }
}

}  // namespace test
}  // namespace vantrel

#endif  // VANTREL_TESTS_SCRIPT_VARIANT_PRINTER_H_
