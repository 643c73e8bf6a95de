// The decimal digits of a double, the common ground of every number text
// (pictures, "%" directives, currency texts).
//
// A double is read as its first 15 significant decimal digits, the way
// people read it: 1.005 is 1.005 and not 1.00499999999999989..., so that
// rounding it to two decimals gives 1.01 as on paper. Rounding then works
// on those digits, half away from zero. Digits beyond the 15th print as 0.
//
// Nothing here allocates: the digits live in the struct and the writers
// append to a caller's string.
#ifndef VANTREL_BASE_DECIMAL_DIGITS_H_
#define VANTREL_BASE_DECIMAL_DIGITS_H_

#include <string>

namespace vantrel {

struct DecimalDigits {
  static constexpr int kSignificant = 15;

  // The significant digits as characters, without leading or trailing
  // zeros; empty (count 0) for zero.
  char digits[kSignificant + 1] = {};
  int count = 0;
  // Where the decimal point sits: the value is 0.d1 d2 ... dn x 10^point,
  // so point is the number of digits before the point (123.4 has point 3,
  // 0.05 has point -1).
  int point = 0;
  bool negative = false;

  // The digit at `index` counted from the first significant one (index
  // point is the first decimal); '0' outside the significant digits.
  char At(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }
  bool IsZero() const { return count == 0; }
  // The power of ten of the first significant digit (123.4 gives 2).
  int Exponent() const { return point - 1; }
};

// The digits of a finite `value`; -0.0 gives a zero that is not negative.
DecimalDigits ToDecimalDigits(double value);

// Rounds to `decimals` places after the point, half away from zero; a
// number that rounds to nothing becomes zero (keeping its sign flag, which
// writers ignore for zero).
void RoundToDecimals(DecimalDigits& number, int decimals);
// Rounds to `significant` digits (at least 1), half away from zero.
void RoundToSignificant(DecimalDigits& number, int significant);

// Appends the integer digits (at least "0"), grouped by threes with
// `thousands` when it is not 0, then `decimals` digits after
// `decimal_separator`. No sign.
void AppendFixedDigits(std::string& out, const DecimalDigits& number, int decimals,
                       char decimal_separator, char thousands);

// The general text of a number rounded to `significant` digits: positional
// when its exponent lies in -4 .. significant-1 (0.0001, 3.5, 12345),
// otherwise mantissa, "E" and exponent without "+" or leading zeros (1E-5,
// 2.5E20); no trailing zeros. Writes the sign of a negative non-zero number.
void AppendGeneral(std::string& out, DecimalDigits number, int significant, char decimal_separator);

// NaN and the infinities as "NAN", "INF" and "-INF"; false (and nothing
// appended) for a finite value.
bool AppendNonFinite(std::string& out, double value);

}  // namespace vantrel

#endif  // VANTREL_BASE_DECIMAL_DIGITS_H_
