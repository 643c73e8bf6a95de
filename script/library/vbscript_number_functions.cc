// The VBScript library's number functions, conversions and tests of values
// that differ from the system library's (Atn, CStr, LBound, Log, UBound and
// Rnd use the system handlers, CLng CInt's and CSng CDbl's). Integer results
// beyond 32 bits raise VariantOverflowError rather than wrapping.
#include <cmath>
#include <optional>
#include <string_view>

#include "base/ascii.h"
#include "script/library/library_arguments.h"
#include "script/library/vbscript_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/lenient_conversion.h"

namespace vantrel::vbscript_functions {
namespace {

// 2^63 ten-thousandths: the range of currency values.
constexpr double kCurrencyLimit = 9223372036854775808.0;

}  // namespace

// Booleans as they are and the texts "True" and "False" (any letter case)
// as what they say; anything else is True when its lenient number, rounded,
// is not 0 (also beyond 32 bits, where the lenient integer would overflow).
void CBool(VirtualMachine& machine) {
  const Variant& value = machine.GetArg(0);
  if (value.Type() == VariantType::kBoolean) {
    machine.SetResult(value);
    return;
  }
  if (value.IsString()) {
    const std::string_view text = TrimSpacesAndTabs(value.StringView());
    if (EqualsIgnoreCase(text, "True") || EqualsIgnoreCase(text, "False")) {
      machine.SetResult(EqualsIgnoreCase(text, "True"));
      return;
    }
  }
  machine.SetResult(RoundHalfEven(machine.GetArgAsFloat(0)) != 0);
}

void CByte(VirtualMachine& machine) {
  machine.SetResult(Variant::Byte(static_cast<std::uint8_t>(machine.GetArgAsInteger(0) & 0xFF)));
}

// Rounded to four decimals, halves to even; beyond the currency range
// VariantOverflowError.
void CCur(VirtualMachine& machine) {
  const double scaled = machine.GetArgAsFloat(0) * 10000;
  if (!(std::fabs(scaled) < kCurrencyLimit)) ThrowVariantOverflow();
  machine.SetResult(RoundHalfEven(scaled) / 10000);
}

void CDate(VirtualMachine& machine) {
  machine.SetResult(Variant::Date(machine.GetArg(0).ToDate()));
}

void CDbl(VirtualMachine& machine) { machine.SetResult(machine.GetArgAsFloat(0)); }

void CInt(VirtualMachine& machine) { machine.SetResult(machine.GetArgAsInteger(0)); }

void Hex(VirtualMachine& machine) {
  machine.SetResult(Variant(HexText(machine.GetArgAsInteger(0), 0)));
}

void VbInt(VirtualMachine& machine) {
  machine.SetResult(WholeToInt32(std::floor(machine.GetArgAsFloat(0))));
}

void Fix(VirtualMachine& machine) {
  const double x = machine.GetArgAsFloat(0);
  machine.SetResult(FiniteResult(machine, std::trunc(x), x));
}

void IsArray(VirtualMachine& machine) { machine.SetResult(machine.GetArg(0).IsArray()); }

void IsDate(VirtualMachine& machine) {
  machine.SetResult(machine.GetArg(0).Type() == VariantType::kDate);
}

void IsEmpty(VirtualMachine& machine) { machine.SetResult(machine.GetArg(0).IsUnassigned()); }

void IsNull(VirtualMachine& machine) { machine.SetResult(machine.GetArg(0).IsNull()); }

void IsNumeric(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::optional<double> number = ReadLenientNumber(text.View());
  machine.SetResult(number.has_value() && std::isfinite(*number));
}

// Not-a-number has no sign and is refused.
void Sgn(VirtualMachine& machine) {
  const double x = machine.GetArgAsFloat(0);
  if (std::isnan(x)) FiniteResult(machine, x, x);
  machine.SetResult((x > 0) - (x < 0));
}

}  // namespace vantrel::vbscript_functions
