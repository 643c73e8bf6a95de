// Fills the system's message patterns: "%s" takes the next argument as
// text, "%d" the next as a decimal integer, "%%" is a percent sign. A
// pattern with more specifiers than arguments leaves the rest as written,
// so a wrong pattern never reads past its arguments.
//
//   Format("Listening for HTTP connections on %s:%d.", {ip, port})
#ifndef VANTREL_BASE_FORMAT_H_
#define VANTREL_BASE_FORMAT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace vantrel {

class FormatArg {
 public:
  FormatArg(std::string_view text) : text_(text), is_text_(true) {}    // NOLINT
  FormatArg(const std::string& text) : text_(text), is_text_(true) {}  // NOLINT
  FormatArg(const char* text) : text_(text), is_text_(true) {}         // NOLINT
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  FormatArg(Integer number) : number_(static_cast<std::int64_t>(number)) {}  // NOLINT

  // The argument as "%s" and as "%d" print it.
  std::string AsText() const;

 private:
  std::string_view text_;
  std::int64_t number_ = 0;
  bool is_text_ = false;
};

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace vantrel

#endif  // VANTREL_BASE_FORMAT_H_
