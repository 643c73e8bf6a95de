// Feeds arbitrary pictures, patterns and texts to the number and date-time
// languages: FormatFloat's pictures, the "%" directives (strict and as the
// message patterns use them), FormatDateTime's pictures and the readers of
// date and time texts. The first 8 bytes are the number formatted (and the
// source of the arguments), the rest is the text. Every failure must be
// one of the system's own errors; crashes, hangs, leaks and undefined
// behaviour are findings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/date_time_text.h"
#include "base/exception.h"
#include "base/format.h"
#include "base/number_format.h"

namespace {

template <typename Call>
void Try(Call call) {
  try {
    call();
  } catch (const vantrel::Exception&) {
    // Patterns that do not fit, dates out of range: the expected refusals.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vantrel::FormatValue;
  double value = 0;
  std::int64_t integer = 0;
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    std::memcpy(&integer, data, sizeof integer);
    data += sizeof value;
    size -= sizeof value;
  }
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const FormatValue args[] = {
      {FormatValue::Kind::kInteger, integer % 64, 0, {}},
      {FormatValue::Kind::kFloat, 0, value, {}},
      {FormatValue::Kind::kText, 0, 0, text.substr(0, 3)},
      {FormatValue::Kind::kBoolean, integer & 1, 0, {}},
      {FormatValue::Kind::kInteger, integer, 0, {}},
      {FormatValue::Kind::kCurrency, 0, value, {}},
  };
  Try([&] { vantrel::FormatFloat(text, value); });
  Try([&] { vantrel::FormatDirectives(text, args); });
  Try([&] { vantrel::Format(text, {integer, text.substr(0, 3), integer % 64}); });
  Try([&] { vantrel::FormatDateTime(text, value); });
  Try([&] { vantrel::FormatDateTime(text, static_cast<double>(integer % 3'000'000)); });
  double parsed = 0;
  vantrel::TryStrToDateTime(text, parsed);
  vantrel::TryStrToDate(text, parsed);
  return 0;
}
