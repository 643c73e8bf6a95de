#include "script/values/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

namespace vantrel {
namespace {

constexpr int kMaxSignificantDigits = 15;
// Decimal exponents printed in positional form: 1E-4 <= |value| < 1E15.
constexpr int kLowestPlainExponent = -4;
constexpr int kFirstScientificExponent = 15;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// For a number the double cannot hold: true when it is too large rather
// than too small. `number` has passed the syntax check, has no sign and is
// not zero.
bool TooLarge(std::string_view number) {
  // Written as d.ddd x 10^e with d its first non-zero digit: the sign of e
  // decides.
  const std::size_t e_position = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, e_position);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  const long long digits_before_point =
      static_cast<long long>(point) - static_cast<long long>(first);
  long long exponent = first < point ? digits_before_point - 1 : digits_before_point;
  if (e_position != std::string_view::npos) {
    std::string_view written = number.substr(e_position + 1);
    const bool negative = written.front() == '-';
    if (written.front() == '+' || written.front() == '-') written.remove_prefix(1);
    long long value = 0;
    // Exponents too long to read are beyond any mantissa's reach.
    if (std::from_chars(written.data(), written.data() + written.size(), value).ec != std::errc()) {
      value = std::numeric_limits<long long>::max() / 2;
    }
    exponent = negative ? exponent - std::min(value, std::numeric_limits<long long>::max() / 2)
                        : exponent + std::min(value, std::numeric_limits<long long>::max() / 2);
  }
  return exponent > 0;
}

// The significant digits of `value` (finite, positive) and its decimal
// exponent: value = d1.d2d3... x 10^exponent. A negative precision asks for
// the shortest digits that read back as `value`.
struct Decimal {
  char digits[24];
  int count = 0;
  int exponent = 0;
};

Decimal Decompose(double value, int precision) {
  char text[48];
  const std::to_chars_result result =
      precision < 0 ? std::to_chars(text, text + sizeof text, value, std::chars_format::scientific)
                    : std::to_chars(text, text + sizeof text, value, std::chars_format::scientific,
                                    precision);
  Decimal decimal;
  const char* p = text;
  for (; p < result.ptr && *p != 'e'; ++p) {
    if (IsDigit(*p) && decimal.count < static_cast<int>(sizeof decimal.digits)) {
      decimal.digits[decimal.count++] = *p;
    }
  }
  if (p < result.ptr) std::from_chars(p[1] == '+' ? p + 2 : p + 1, result.ptr, decimal.exponent);
  return decimal;
}

}  // namespace

std::optional<double> ParseNumberText(std::string_view text, bool* integral) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Syntax check: digits, optional point and digits, optional exponent.
  std::size_t i = 0;
  std::size_t mantissa_digits = 0;
  bool whole = true;
  while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    whole = false;
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    whole = false;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent_start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == exponent_start) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    value = TooLarge(text) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if (integral != nullptr) *integral = whole;
  return negative ? -value : value;
}

std::string FormatNumberText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  const bool negative = value < 0;
  const double magnitude = std::fabs(value);
  Decimal decimal = Decompose(magnitude, -1);
  if (decimal.count > kMaxSignificantDigits) {
    decimal = Decompose(magnitude, kMaxSignificantDigits - 1);
  }
  while (decimal.count > 1 && decimal.digits[decimal.count - 1] == '0') --decimal.count;
  const std::string_view digits(decimal.digits, static_cast<std::size_t>(decimal.count));
  const int exponent = decimal.exponent;

  std::string text;
  if (negative) text += '-';
  if (exponent >= kLowestPlainExponent && exponent < kFirstScientificExponent) {
    if (exponent >= 0) {
      const std::size_t whole_digits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= whole_digits) {
        text += digits;
        text.append(whole_digits - digits.size(), '0');
      } else {
        text += digits.substr(0, whole_digits);
        text += '.';
        text += digits.substr(whole_digits);
      }
    } else {
      text += "0.";
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    }
  } else {
    text += digits.front();
    if (digits.size() > 1) {
      text += '.';
      text += digits.substr(1);
    }
    text += 'E';
    text += std::to_string(exponent);
  }
  return text;
}

}  // namespace vantrel
