// The one engine of the "%" directive language (number_format.h tells the
// language). Two callers use it: FormatDirectives, which refuses a pattern
// that does not fit its arguments, and the system's message patterns
// (format.h), which keep such a directive as written.
#ifndef VANTREL_BASE_FORMAT_DIRECTIVES_H_
#define VANTREL_BASE_FORMAT_DIRECTIVES_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/date_time_format.h"
#include "base/number_format.h"

namespace vantrel {

// What a directive that cannot be filled (a missing argument, one of the
// wrong kind, a broken directive) does.
enum class DirectiveFailure : std::uint8_t {
  kRaise,          // ConvertError "Format '<pattern>' invalid or incompatible with argument".
  kKeepAsWritten,  // Its "%" is copied and the text after it read as plain text;
                   // no argument is used up.
};

// Appends `pattern` to `out` with its directives filled from `args`.
void AppendDirectives(std::string& out, std::string_view pattern, std::span<const FormatValue> args,
                      const FormatSettings& settings, DirectiveFailure on_failure);

}  // namespace vantrel

#endif  // VANTREL_BASE_FORMAT_DIRECTIVES_H_
