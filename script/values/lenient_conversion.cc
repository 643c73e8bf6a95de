#include "script/values/lenient_conversion.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "script/values/number_text.h"

namespace vantrel {
namespace {

// The number a string reads as; 0 for text that is no number. A number too
// large for a double raises VariantOverflowError.
double LenientStringNumber(std::string_view text) {
  const std::optional<double> number = ReadLenientNumber(text);
  if (!number) return 0;
  if (std::isinf(*number)) ThrowVariantOverflow();
  return *number;
}

}  // namespace

std::optional<double> ReadLenientNumber(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return ParseNumberText(text);
  std::string dotted(text);
  dotted[comma] = '.';
  return ParseNumberText(dotted);
}

std::int32_t LenientToInteger(const Variant& value) {
  const Variant& v = value.Dereference();
  switch (v.Type()) {
    case VariantType::kInteger:
      return v.RawInteger();
    case VariantType::kByte:
      return v.RawByte();
    case VariantType::kDouble:
    case VariantType::kDate:
      return RoundToInt32(v.RawDouble());
    case VariantType::kString:
      return RoundToInt32(LenientStringNumber(v.StringView()));
    case VariantType::kBoolean:
      return v.RawBoolean() ? 1 : 0;
    case VariantType::kNull:
    case VariantType::kUnassigned:
      return 0;
    default:
      return v.ToInteger();
  }
}

double LenientToFloat(const Variant& value) {
  const Variant& v = value.Dereference();
  switch (v.Type()) {
    case VariantType::kInteger:
      return v.RawInteger();
    case VariantType::kByte:
      return v.RawByte();
    case VariantType::kDouble:
    case VariantType::kDate:
      return v.RawDouble();
    case VariantType::kString:
      return LenientStringNumber(v.StringView());
    case VariantType::kBoolean:
      return v.RawBoolean() ? 1 : 0;
    case VariantType::kNull:
    case VariantType::kUnassigned:
      return 0;
    default:
      return v.ToDouble();
  }
}

std::string LenientToString(const Variant& value) {
  const Variant& v = value.Dereference();
  if (v.IsNull()) return std::string();
  return v.ToString();
}

}  // namespace vantrel
