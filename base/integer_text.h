// Reading whole numbers typed by people (settings, request fields).
#ifndef VANTREL_BASE_INTEGER_TEXT_H_
#define VANTREL_BASE_INTEGER_TEXT_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

// The value of `text` when it is a decimal integer that fits 32 bits: an
// optional "+" or "-" followed by one or more digits, nothing else (no
// blanks). Otherwise nothing.
std::optional<std::int32_t> ParseInt32(std::string_view text);

}  // namespace vantrel

#endif  // VANTREL_BASE_INTEGER_TEXT_H_
