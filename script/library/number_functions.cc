// The system library's number functions and conversions. Integer results
// are 32-bit: a value beyond that range raises VariantOverflowError rather
// than wrapping, and a function whose result would be not-a-number or an
// infinity raises "Invalid argument to ..." rather than returning it.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/convert_error.h"
#include "base/format.h"
#include "base/random.h"
#include "script/library/library_arguments.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/number_text.h"

namespace vantrel::system_functions {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The magnitude of `digits`, decimal or (up to 8 digits, read as 32 bits)
// hexadecimal; nothing when they are no number or exceed 2^32.
std::optional<std::int64_t> ReadMagnitude(std::string_view digits, bool hex) {
  if (digits.empty() || (hex && digits.size() > 8)) return std::nullopt;
  std::int64_t value = 0;
  for (char c : digits) {
    const int digit = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0xFFFFFFFFLL) return std::nullopt;
  }
  // Eight hexadecimal digits are the integer's 32 bits: $FFFFFFFF is -1.
  if (hex) value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return value;
}

// A whole number as StrToInt reads it: blanks around it, an optional sign,
// then decimal digits or hexadecimal ones after "$" or "0x". Nothing when
// the text is no such number or it does not fit 32 bits.
std::optional<std::int32_t> ReadInteger(std::string_view text) {
  text = TrimSpacesAndTabs(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  bool hex = false;
  if (text.starts_with('$')) {
    hex = true;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    hex = true;
    text.remove_prefix(2);
  }
  const std::optional<std::int64_t> magnitude = ReadMagnitude(text, hex);
  if (!magnitude) return std::nullopt;
  const std::int64_t value = negative ? -*magnitude : *magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// Sets the result to `function` of the Float argument, refused when it is
// not a finite number.
void SetFiniteResult(VirtualMachine& machine, double (*function)(double)) {
  const double x = machine.GetArgAsFloat(0);
  machine.SetResult(FiniteResult(machine, function(x), x));
}

// x := integer(x) + delta through the by-reference argument; also the result.
void Step(VirtualMachine& machine, int delta) {
  const std::int64_t stepped = std::int64_t{machine.GetArgAsInteger(0)} + delta;
  const Variant result(WholeToInt32(static_cast<double>(stepped)));
  machine.SetByRefArg(0, result);
  machine.SetResult(result);
}

}  // namespace

void IntToStr(VirtualMachine& machine) {
  char text[16];
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, machine.GetArgAsInteger(0));
  machine.SetResult(Variant(std::string_view(text, static_cast<std::size_t>(written.ptr - text))));
}

// A negative digit count asks for no padding.
void IntToHex(VirtualMachine& machine) {
  const std::int32_t value = machine.GetArgAsInteger(0);
  const std::int32_t digits = machine.GetArgAsInteger(1);
  const std::size_t padded = digits < 0 ? 0 : static_cast<std::size_t>(digits);
  CheckBuiltTextSize(machine, padded);
  machine.SetResult(Variant(HexText(value, padded)));
}

void StrToInt(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::optional<std::int32_t> value = ReadInteger(text.View());
  if (!value)
    throw ConvertError(vantrel::Format("'%s' is not a valid integer value", {text.View()}));
  machine.SetResult(*value);
}

void StrToIntDef(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::optional<std::int32_t> value = ReadInteger(text.View());
  machine.SetResult(value ? *value : machine.GetArgAsInteger(1));
}

void FloatToStr(VirtualMachine& machine) {
  machine.SetResult(Variant(FormatNumberText(machine.GetArgAsFloat(0))));
}

// A number too large for a double is refused like any other text.
void StrToFloat(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::optional<double> value = ParseNumberText(text.View());
  if (!value || !std::isfinite(*value)) {
    throw ConvertError(vantrel::Format("'%s' is not a valid floating point value", {text.View()}));
  }
  machine.SetResult(*value);
}

void VarIsNull(VirtualMachine& machine) { machine.SetResult(machine.GetArg(0).IsNull()); }

void Round(VirtualMachine& machine) { machine.SetResult(RoundToInt32(machine.GetArgAsFloat(0))); }

void Trunc(VirtualMachine& machine) {
  machine.SetResult(WholeToInt32(std::trunc(machine.GetArgAsFloat(0))));
}

void VarToStr(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  text.SetResultPart(machine, text.View());
}

void Dec(VirtualMachine& machine) { Step(machine, -1); }

void Inc(VirtualMachine& machine) { Step(machine, 1); }

void Random(VirtualMachine& machine) { machine.SetResult(RandomUnit()); }

void Sin(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::sin(x); });
}

void Cos(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::cos(x); });
}

void Abs(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::fabs(x); });
}

void ArcTan(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::atan(x); });
}

void Exp(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::exp(x); });
}

void Frac(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return x - std::trunc(x); });
}

void Int(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::trunc(x); });
}

void Ln(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::log(x); });
}

void Odd(VirtualMachine& machine) { machine.SetResult((machine.GetArgAsInteger(0) & 1) != 0); }

void Sqr(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return x * x; });
}

void Sqrt(VirtualMachine& machine) {
  SetFiniteResult(machine, [](double x) { return std::sqrt(x); });
}

}  // namespace vantrel::system_functions
