// Number texts by picture and by directive: the languages of FormatFloat,
// of Format's "%" directives and of currency texts. One implementation,
// used by the script libraries and by the server log.
#ifndef VANTREL_BASE_NUMBER_FORMAT_H_
#define VANTREL_BASE_NUMBER_FORMAT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/date_time_format.h"

namespace vantrel {

// The picture language of FormatFloat:
//   0        a digit, or 0 when the number has none there
//   #        a digit, or nothing
//   .        the decimal separator (the first one counts)
//   ,        thousands separators in the integer part (anywhere before ".")
//   E+ E- e+ e-  scientific notation; 1 to 4 following "0" give the exponent's
//            least number of digits; "E+" always shows the sign, "E-" only "-"
//   'xx' "xx"  literal text
//   ;        separates sections: positive;negative;zero (a negative number
//            in its own section is written without its "-")
// Any other character is copied. An empty picture (or section) gives the
// number's general text (15 significant digits). NaN and infinities give
// "NAN", "INF" and "-INF". Never raises.
std::string FormatFloat(std::string_view picture, double value,
                        const FormatSettings& settings = FormatSettings::Locale());

// A number with exactly `digits` decimals (0..18), rounded half away from
// zero, with thousands separators when `thousands` (Format's %n).
std::string FormatFixed(double value, int digits, bool thousands,
                        const FormatSettings& settings = FormatSettings::Locale());

// A currency text in the settings' currency format with `digits` decimals
// (Format's %m and the currency functions of scripts).
std::string FormatCurrencyText(double value, int digits,
                               const FormatSettings& settings = FormatSettings::Locale());

// One argument of FormatDirectives.
struct FormatValue {
  enum class Kind : std::uint8_t { kInteger, kFloat, kCurrency, kText, kBoolean };
  Kind kind = Kind::kInteger;
  std::int64_t integer = 0;  // kInteger; kBoolean as 0 or 1.
  double number = 0;         // kFloat, kCurrency.
  std::string_view text;     // kText.
};

// The "%" directive language of Format:
//   "%" ["-"] [index ":"] ["-"] [width] ["." precision] type
// with index, width and precision as decimal digits or "*" (taken from the
// next argument, which must be an integer), and the types
//   d  decimal integer (precision: least number of digits)
//   u  unsigned decimal integer (the 32-bit value read as unsigned)
//   e  scientific (precision: significant digits, default 15)
//   f  fixed (precision: decimals, default 2)
//   g  general, the shorter of e and f (precision: significant digits)
//   n  fixed with thousands separators (precision: decimals, default 2)
//   m  currency (precision: decimals, default the currency's)
//   p  pointer (the integer as 8 hexadecimal digits)
//   s  text (precision: at most that many characters); Booleans print
//      "True" or "False", numbers their general text
//   x  hexadecimal integer, upper case (precision: least digits)
// Letters may be of either case; "%%" is a percent sign. Width pads on the
// left ("-": on the right) with spaces. An index selects the argument and
// the following directives go on from there. A directive that does not fit
// its argument, a missing argument or a broken directive raises
// ConvertError "Format '<pattern>' invalid or incompatible with argument".
// Widths and precisions above 1,000,000 are refused the same way, so no
// pattern can ask for an unbounded text.
std::string FormatDirectives(std::string_view pattern, std::span<const FormatValue> args,
                             const FormatSettings& settings = FormatSettings::Locale());

}  // namespace vantrel

#endif  // VANTREL_BASE_NUMBER_FORMAT_H_
