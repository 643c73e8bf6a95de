#include "base/format.h"

namespace vantrel {

std::string FormatArg::AsText() const {
  return is_text_ ? std::string(text_) : std::to_string(number_);
}

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  std::string result;
  result.reserve(pattern.size() + 32);
  const FormatArg* next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      result += c;
      continue;
    }
    const char conversion = pattern[i + 1];
    if (conversion == '%') {
      result += '%';
      ++i;
    } else if ((conversion == 's' || conversion == 'd') && next != args.end()) {
      result += (next++)->AsText();
      ++i;
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace vantrel
