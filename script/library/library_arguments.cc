#include "script/library/library_arguments.h"

#include <cmath>
#include <limits>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/values/number_text.h"

namespace vantrel {

std::string_view TrimSpacesAndTabs(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::int32_t TextSize32(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    ThrowVariantOverflow();
  }
  return static_cast<std::int32_t>(size);
}

std::size_t CountArgument(const VirtualMachine& machine, int i) {
  const std::int32_t count = machine.GetArgAsInteger(i);
  if (count < 0) {
    throw ScriptRuntimeError(
        Format("%s expects a count of 0 or more, not %d", {machine.CurrentMemberName(), count}));
  }
  return static_cast<std::size_t>(count);
}

void CheckBuiltTextSize(const VirtualMachine& machine, std::uint64_t size) {
  if (size > kMaxBuiltTextSize) {
    throw ScriptRuntimeError(
        Format("%s would make a text of %d characters, more than the limit of %d",
               {machine.CurrentMemberName(), size, kMaxBuiltTextSize}));
  }
}

std::int32_t WholeToInt32(double whole) {
  // Written so that not-a-number fails too.
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) ThrowVariantOverflow();
  return static_cast<std::int32_t>(whole);
}

double FiniteResult(const VirtualMachine& machine, double result, double argument) {
  if (!std::isfinite(result)) {
    throw ScriptRuntimeError(Format("Invalid argument to %s: %s",
                                    {machine.CurrentMemberName(), FormatNumberText(argument)}));
  }
  return result;
}

std::string HexText(std::int32_t value, std::size_t digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char text[8];
  std::size_t count = 0;
  for (std::uint32_t rest = static_cast<std::uint32_t>(value); rest != 0 || count == 0;
       rest >>= 4) {
    text[sizeof text - 1 - count++] = kDigits[rest & 15];
  }
  std::string hex;
  hex.reserve(digits > count ? digits : count);
  if (digits > count) hex.append(digits - count, '0');
  hex.append(text + sizeof text - count, count);
  return hex;
}

}  // namespace vantrel
