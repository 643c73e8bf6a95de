// Fills the system's message patterns with the "%" directives of
// number_format.h: "%s" takes the next argument as text, "%d" the next as
// a decimal integer, "%%" is a percent sign, and widths, precisions and the
// other types work as there. The patterns are lenient: a directive that
// cannot be filled (more specifiers than arguments, an unknown type, an
// argument of the wrong kind) is left as written, so a wrong pattern never
// reads past its arguments and never raises.
//
//   Format("Listening for HTTP connections on %s:%d.", {ip, port})
#ifndef VANTREL_BASE_FORMAT_H_
#define VANTREL_BASE_FORMAT_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/number_format.h"

namespace vantrel {

// An argument of Format: a text (which must outlive the call) or an integer.
class FormatArg {
 public:
  FormatArg(std::string_view text) {  // NOLINT
    value_.kind = FormatValue::Kind::kText;
    value_.text = text;
  }
  FormatArg(const std::string& text) : FormatArg(std::string_view(text)) {}  // NOLINT
  FormatArg(const char* text) : FormatArg(std::string_view(text)) {}         // NOLINT
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  FormatArg(Integer number) {  // NOLINT
    value_.integer = static_cast<std::int64_t>(number);
  }

  const FormatValue& Value() const { return value_; }

 private:
  FormatValue value_;
};

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace vantrel

#endif  // VANTREL_BASE_FORMAT_H_
