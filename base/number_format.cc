#include "base/number_format.h"

#include "base/convert_error.h"

namespace vantrel {

// Placeholders until the picture and directive languages land.
std::string FormatFloat(std::string_view, double value, const FormatSettings&) {
  return std::to_string(value);
}

std::string FormatFixed(double value, int, bool, const FormatSettings&) {
  return std::to_string(value);
}

std::string FormatCurrencyText(double value, int, const FormatSettings&) {
  return std::to_string(value);
}

std::string FormatDirectives(std::string_view pattern, std::span<const FormatValue>,
                             const FormatSettings&) {
  throw ConvertError("Format '" + std::string(pattern) + "' invalid or incompatible with argument");
}

}  // namespace vantrel
