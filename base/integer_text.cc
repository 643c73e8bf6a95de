#include "base/integer_text.h"

namespace vantrel {

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace vantrel
