#include "base/decimal_digits.h"

#include <charconv>
#include <cmath>

namespace vantrel {
namespace {

void StripTrailingZeros(DecimalDigits& number) {
  while (number.count > 0 && number.digits[number.count - 1] == '0') --number.count;
  if (number.count == 0) number.point = 0;
}

// Keeps the first `keep` digits, rounding half away from zero on the next.
void RoundAt(DecimalDigits& number, int keep) {
  if (keep >= number.count) return;
  if (keep < 0) {
    number.count = 0;
    number.point = 0;
    return;
  }
  const bool up = number.digits[keep] >= '5';
  number.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && number.digits[i] == '9') --i;  // Nines become zeros, dropped below.
    if (i < 0) {
      number.digits[0] = '1';
      number.count = 1;
      ++number.point;
      return;
    }
    ++number.digits[i];
    number.count = i + 1;
  }
  StripTrailingZeros(number);
}

void AppendDigitRun(std::string& out, const DecimalDigits& number, int from, int to) {
  for (int i = from; i < to; ++i) out += number.At(i);
}

}  // namespace

DecimalDigits ToDecimalDigits(double value) {
  DecimalDigits number;
  if (value == 0 || !std::isfinite(value)) return number;
  number.negative = value < 0;
  // "d.dddddddddddddde+XX": the value rounded to 15 significant digits.
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, std::fabs(value),
                                    std::chars_format::scientific, DecimalDigits::kSignificant - 1);
  const char* p = text;
  number.digits[number.count++] = *p++;
  if (*p == '.') ++p;
  while (p < result.ptr && *p >= '0' && *p <= '9') number.digits[number.count++] = *p++;
  int exponent = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, exponent);  // Skips "e" and "+".
  number.point = exponent + 1;
  StripTrailingZeros(number);
  return number;
}

void RoundToDecimals(DecimalDigits& number, int decimals) {
  RoundAt(number, number.point + decimals);
}

void RoundToSignificant(DecimalDigits& number, int significant) {
  RoundAt(number, significant < 1 ? 1 : significant);
}

void AppendFixedDigits(std::string& out, const DecimalDigits& number, int decimals,
                       char decimal_separator, char thousands) {
  if (number.point <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < number.point; ++i) {
      out += number.At(i);
      const int left = number.point - 1 - i;  // Digits still to come.
      if (thousands != 0 && left > 0 && left % 3 == 0) out += thousands;
    }
  }
  if (decimals <= 0) return;
  out += decimal_separator;
  AppendDigitRun(out, number, number.point, number.point + decimals);
}

void AppendGeneral(std::string& out, DecimalDigits number, int significant,
                   char decimal_separator) {
  RoundToSignificant(number, significant);
  if (number.IsZero()) {
    out += '0';
    return;
  }
  if (number.negative) out += '-';
  const int exponent = number.Exponent();
  if (exponent >= -4 && exponent < significant) {
    const int decimals = number.count > number.point ? number.count - number.point : 0;
    AppendFixedDigits(out, number, decimals, decimal_separator, 0);
    return;
  }
  out += number.digits[0];
  if (number.count > 1) {
    out += decimal_separator;
    AppendDigitRun(out, number, 1, number.count);
  }
  out += 'E';
  char text[8];
  const auto result = std::to_chars(text, text + sizeof text, exponent);
  out.append(text, result.ptr);
}

bool AppendNonFinite(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NAN";
  } else if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
  } else {
    return false;
  }
  return true;
}

}  // namespace vantrel
