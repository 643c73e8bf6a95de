// Number texts by picture and by directive: the languages of FormatFloat,
// of Format's "%" directives and of currency texts. One implementation,
// used by the script libraries and by the server log.
//
// Numbers are read as their first 15 significant digits and rounded on
// those digits, half away from zero (decimal_digits.h): 1.005 with two
// decimals is 1.01, 2.5 with none is 3. A number that rounds to zero is
// written without a sign. Separators come from the settings.
//
// Every function is bounded: no width, precision or number of decimals
// above kMaxFormatWidth is accepted, so no text can ask for an unbounded
// result; the picture language accepts any text.
#ifndef VANTREL_BASE_NUMBER_FORMAT_H_
#define VANTREL_BASE_NUMBER_FORMAT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/date_time_format.h"

namespace vantrel {

// The largest width, precision or number of decimals any format accepts.
inline constexpr int kMaxFormatWidth = 1'000'000;

// The picture language of FormatFloat:
//   0        a digit, or 0 when the number has none there
//   #        a digit, or nothing
//   .        the decimal separator (the first one counts; it is left out
//            when no decimal follows)
//   ,        thousands separators in the integer part (anywhere before ".")
//   E+ E- e+ e-  scientific notation; 1 to 4 following "0" give the exponent's
//            least number of digits; "E+" always shows the sign, "E-" only "-"
//            (without a following "0" they are plain text)
//   'xx' "xx"  literal text
//   ;        separates sections: positive;negative;zero (a negative number
//            in its own section is written without its "-")
// Any other character is copied, in place: the placeholders of the integer
// part take the digits from the right ("000-000" writes 123456 as
// 123-456), and digits that find no placeholder go before the first one.
// In scientific notation the mantissa has as many integer digits as the
// picture has integer placeholders (at least one).
//
// A negative number in the positive section starts with "-" (before any
// literal text). A number that rounds to zero takes the zero section when
// there is a non-empty one, else the positive section. An empty negative
// or zero section counts as absent. An empty picture (or positive section)
// gives the number's general text (15 significant digits, as %g). NaN and
// infinities give "NAN", "INF" and "-INF". Never raises.
std::string FormatFloat(std::string_view picture, double value,
                        const FormatSettings& settings = FormatSettings::Locale());

// A number with exactly `digits` decimals, with thousands separators when
// `thousands` (Format's %f and %n). NaN and infinities as FormatFloat.
// Raises ConvertError for digits outside 0..kMaxFormatWidth.
std::string FormatFixed(double value, int digits, bool thousands,
                        const FormatSettings& settings = FormatSettings::Locale());

// A currency text in the settings' currency format (currency string and
// sign placed as currency_format and negative_currency_format say) with
// `digits` decimals and thousands separators (Format's %m and the currency
// functions of scripts). Raises ConvertError for digits outside
// 0..kMaxFormatWidth.
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
// next argument, which must be an integer; a negative "*" width pads on
// the right, a negative "*" precision counts as none), and the types
//   d  decimal integer (precision: least number of digits)
//   u  unsigned decimal integer (a negative 32-bit value read as unsigned)
//   e  scientific "d.dddE+ddd" (precision: significant digits, default 15;
//      the exponent has a sign and at least three digits)
//   f  fixed (precision: decimals, default 2)
//   g  general, the shorter of e and f (precision: significant digits,
//      default 15), as FormatFloat's general text
//   n  fixed with thousands separators (precision: decimals, default 2)
//   m  currency (precision: decimals, default the currency's)
//   p  pointer (the integer as at least 8 hexadecimal digits)
//   s  text (precision: at most that many characters); Booleans print
//      "True" or "False", numbers their general text
//   x  hexadecimal integer, upper case (precision: least digits; a
//      negative 32-bit value as its 32-bit pattern)
// Integers are taken by the number types e, f, g, n and m as well; d, u, p
// and x take integers only. Letters may be of either case; "%%" is a
// percent sign. Width pads on the left ("-": on the right) with spaces. An
// index selects the argument and the following directives go on from
// there. A directive that does not fit its argument, a missing argument or
// a broken directive raises ConvertError "Format '<pattern>' invalid or
// incompatible with argument"; so do widths, precisions and indexes above
// kMaxFormatWidth.
std::string FormatDirectives(std::string_view pattern, std::span<const FormatValue> args,
                             const FormatSettings& settings = FormatSettings::Locale());

}  // namespace vantrel

#endif  // VANTREL_BASE_NUMBER_FORMAT_H_
