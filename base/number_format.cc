#include "base/number_format.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "base/convert_error.h"
#include "base/decimal_digits.h"

namespace vantrel {
namespace {

// ---- The picture language of FormatFloat. ----

enum class PictureToken : std::uint8_t { kZero, kHash, kPoint, kComma, kExponent, kLiteral };

struct PictureItem {
  PictureToken kind = PictureToken::kLiteral;
  // The item as written (for a quoted literal: without its quotes), which
  // is what an item that has no effect where it stands writes.
  std::string_view text;
  bool sign_always = false;  // kExponent: "E+".
  int exponent_digits = 0;   // kExponent: least digits, 1 to 4.
};

// Reads the item at `i` of a section and moves past it.
PictureItem NextItem(std::string_view section, std::size_t& i) {
  PictureItem item;
  const char c = section[i];
  switch (c) {
    case '0':
      item.kind = PictureToken::kZero;
      break;
    case '#':
      item.kind = PictureToken::kHash;
      break;
    case '.':
      item.kind = PictureToken::kPoint;
      break;
    case ',':
      item.kind = PictureToken::kComma;
      break;
    case '"':
    case '\'': {
      const std::size_t close = section.find(c, i + 1);
      const std::size_t end = close == std::string_view::npos ? section.size() : close;
      item.text = section.substr(i + 1, end - i - 1);
      i = end == section.size() ? end : end + 1;
      return item;
    }
    case 'E':
    case 'e':
      if (i + 2 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-') &&
          section[i + 2] == '0') {
        item.kind = PictureToken::kExponent;
        item.sign_always = section[i + 1] == '+';
        std::size_t end = i + 2;
        while (end < section.size() && section[end] == '0') ++end;
        const int zeros = static_cast<int>(end - i - 2);
        item.exponent_digits = zeros > 4 ? 4 : zeros;
        item.text = section.substr(i, end - i);
        i = end;
        return item;
      }
      break;
    default:
      break;
  }
  item.text = section.substr(i, 1);
  ++i;
  return item;
}

// Where an item falls: the integer part, the fraction or after the exponent.
enum class PicturePart : std::uint8_t { kInteger, kFraction, kAfterExponent };

// Moves `part` on past `item` and tells whether the item is an active one
// (a placeholder, the point, a comma or the exponent of its part) rather
// than text.
bool Advance(PicturePart& part, const PictureItem& item) {
  switch (item.kind) {
    case PictureToken::kZero:
    case PictureToken::kHash:
      return part != PicturePart::kAfterExponent;
    case PictureToken::kPoint:
      if (part != PicturePart::kInteger) return false;
      part = PicturePart::kFraction;
      return true;
    case PictureToken::kComma:
      return part == PicturePart::kInteger;
    case PictureToken::kExponent:
      if (part == PicturePart::kAfterExponent) return false;
      part = PicturePart::kAfterExponent;
      return true;
    case PictureToken::kLiteral:
      return false;
  }
  return false;
}

// What a section asks for, from one pass over it.
struct PictureLayout {
  int integer_places = 0;   // "0" and "#" before the point.
  int integer_min = 0;      // Integer digits always shown (from the first "0").
  int fraction_places = 0;  // "0" and "#" after the point.
  int fraction_min = 0;     // Decimals always shown (up to the last "0").
  bool thousands = false;
  bool scientific = false;
  bool has_placeholders = false;
};

PictureLayout ScanLayout(std::string_view section) {
  PictureLayout layout;
  int first_zero = -1;
  PicturePart part = PicturePart::kInteger;
  for (std::size_t i = 0; i < section.size();) {
    const PicturePart before = part;
    const PictureItem item = NextItem(section, i);
    if (!Advance(part, item)) continue;
    const bool zero = item.kind == PictureToken::kZero;
    if (item.kind == PictureToken::kComma) {
      layout.thousands = true;
    } else if (item.kind == PictureToken::kExponent) {
      layout.scientific = true;
    } else if (item.kind != PictureToken::kPoint && before == PicturePart::kInteger) {
      if (zero && first_zero < 0) first_zero = layout.integer_places;
      ++layout.integer_places;
    } else if (item.kind != PictureToken::kPoint) {
      ++layout.fraction_places;
      if (zero) layout.fraction_min = layout.fraction_places;
    }
  }
  layout.integer_min = first_zero < 0 ? 0 : layout.integer_places - first_zero;
  // A mantissa shows at least one digit, even of zero ("#.##E+00": 0E+00).
  if (layout.scientific && layout.integer_places > 0 && layout.integer_min == 0) {
    layout.integer_min = 1;
  }
  layout.has_placeholders = layout.integer_places + layout.fraction_places > 0;
  return layout;
}

// The digits a section shows for `value`, and the exponent in scientific
// notation.
DecimalDigits PrepareDigits(const PictureLayout& layout, double value, int& exponent) {
  DecimalDigits number = ToDecimalDigits(value);
  exponent = 0;
  if (!layout.scientific) {
    RoundToDecimals(number, layout.fraction_places);
    return number;
  }
  const int mantissa_digits = layout.integer_places > 0 ? layout.integer_places : 1;
  if (number.IsZero()) return number;
  RoundToSignificant(number, mantissa_digits + layout.fraction_places);
  exponent = number.point - mantissa_digits;
  number.point = mantissa_digits;
  return number;
}

// Writes one section for prepared digits: the second pass over the items.
class SectionWriter {
 public:
  SectionWriter(std::string& out, const PictureLayout& layout, const DecimalDigits& number,
                int exponent, const FormatSettings& settings)
      : out_(out), layout_(layout), number_(number), exponent_(exponent), settings_(settings) {
    integer_digits_ = number.point > 0 ? number.point : 0;
    const int decimals = number.count - number.point;
    shown_decimals_ = decimals < layout.fraction_min ? layout.fraction_min : decimals;
    if (shown_decimals_ > layout.fraction_places) shown_decimals_ = layout.fraction_places;
  }

  void Write(std::string_view section) {
    PicturePart part = PicturePart::kInteger;
    for (std::size_t i = 0; i < section.size();) {
      const PicturePart before = part;
      const PictureItem item = NextItem(section, i);
      if (!Advance(part, item)) {
        out_.append(item.text);
        continue;
      }
      switch (item.kind) {
        case PictureToken::kZero:
        case PictureToken::kHash:
          if (before == PicturePart::kInteger) {
            WriteIntegerPlace();
          } else {
            WriteFractionPlace();
          }
          break;
        case PictureToken::kPoint:
          if (layout_.integer_places == 0) WriteLeadingDigits(0);
          if (shown_decimals_ > 0) out_ += settings_.decimal_separator;
          break;
        case PictureToken::kExponent:
          if (!layout_.has_placeholders) WriteLeadingDigits(0);
          WriteExponent(item);
          break;
        default:
          break;  // Commas only switch grouping on.
      }
    }
  }

 private:
  // Digits of the integer part from the highest down to `position` (counted
  // from the right, 0 the units), once.
  void WriteLeadingDigits(int position) {
    if (leading_written_) return;
    leading_written_ = true;
    for (int r = integer_digits_ - 1; r >= position; --r) WriteIntegerDigit(r);
  }

  void WriteIntegerDigit(int r) {
    out_ += number_.At(integer_digits_ - 1 - r);
    if (layout_.thousands && r > 0 && r % 3 == 0 && settings_.thousand_separator != 0) {
      out_ += settings_.thousand_separator;
    }
  }

  void WriteIntegerPlace() {
    const int r = layout_.integer_places - 1 - integer_place_++;
    WriteLeadingDigits(r + 1);  // Digits beyond the placeholders come first.
    if (r < integer_digits_ || r < layout_.integer_min) WriteIntegerDigit(r);
  }

  void WriteFractionPlace() {
    const int j = fraction_place_++;
    if (j < shown_decimals_) out_ += number_.At(number_.point + j);
  }

  void WriteExponent(const PictureItem& item) {
    out_ += item.text[0];  // "E" or "e".
    if (exponent_ < 0) {
      out_ += '-';
    } else if (item.sign_always) {
      out_ += '+';
    }
    char digits[12];
    int n = 0;
    for (int e = std::abs(exponent_); e != 0; e /= 10) {
      digits[n++] = static_cast<char>('0' + e % 10);
    }
    for (int k = n; k < item.exponent_digits; ++k) out_ += '0';
    while (n > 0) out_ += digits[--n];
  }

  std::string& out_;
  const PictureLayout& layout_;
  const DecimalDigits& number_;
  int exponent_;
  const FormatSettings& settings_;
  int integer_digits_ = 0;  // Digits of the number before its point.
  int shown_decimals_ = 0;  // Decimals written, fraction_min..fraction_places.
  int integer_place_ = 0;   // Integer placeholders met so far.
  int fraction_place_ = 0;  // Fraction placeholders met so far.
  bool leading_written_ = false;
};

// The positive, negative and zero sections; absent ones are empty. A
// fourth section is ignored.
std::array<std::string_view, 3> SplitSections(std::string_view picture) {
  std::array<std::string_view, 3> sections;
  std::size_t start = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const char c = picture[i];
    if (c == '"' || c == '\'') {
      const std::size_t close = picture.find(c, i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == ';') {
      sections[n++] = picture.substr(start, i - start);
      start = i + 1;
      if (n == sections.size()) return sections;
    }
  }
  sections[n] = picture.substr(start);
  return sections;
}

// `value` rounded to `digits` decimals, for the fixed-point texts.
DecimalDigits RoundedToDecimals(double value, int digits) {
  if (digits < 0 || digits > kMaxFormatWidth) {
    throw ConvertError("Invalid number of decimals: " + std::to_string(digits));
  }
  DecimalDigits number = ToDecimalDigits(value);
  RoundToDecimals(number, digits);
  return number;
}

bool IsNegative(const DecimalDigits& number) { return number.negative && !number.IsZero(); }

}  // namespace
std::string FormatFloat(std::string_view picture, double value, const FormatSettings& settings) {
  std::string out;
  if (AppendNonFinite(out, value)) return out;
  const std::array<std::string_view, 3> sections = SplitSections(picture);
  if (sections[0].empty()) {
    AppendGeneral(out, ToDecimalDigits(value), DecimalDigits::kSignificant,
                  settings.decimal_separator);
    return out;
  }
  int chosen = value < 0 && !sections[1].empty() ? 1 : 0;
  PictureLayout layout = ScanLayout(sections[chosen]);
  int exponent = 0;
  DecimalDigits number = PrepareDigits(layout, value, exponent);
  if (number.IsZero() && (chosen == 1 || !sections[2].empty())) {
    chosen = sections[2].empty() ? 0 : 2;
    layout = ScanLayout(sections[chosen]);
    number = PrepareDigits(layout, 0.0, exponent);
  }
  out.reserve(sections[chosen].size() + 24);
  if (chosen == 0 && IsNegative(number) && layout.has_placeholders) out += '-';
  SectionWriter(out, layout, number, exponent, settings).Write(sections[chosen]);
  return out;
}

std::string FormatFixed(double value, int digits, bool thousands, const FormatSettings& settings) {
  std::string out;
  if (AppendNonFinite(out, value)) return out;
  const DecimalDigits number = RoundedToDecimals(value, digits);
  if (IsNegative(number)) out += '-';
  AppendFixedDigits(out, number, digits, settings.decimal_separator,
                    thousands ? settings.thousand_separator : 0);
  return out;
}

std::string FormatCurrencyText(double value, int digits, const FormatSettings& settings) {
  // "$" stands for the currency string, "1" for the number.
  static constexpr std::array<std::string_view, 4> kPositive = {"$1", "1$", "$ 1", "1 $"};
  static constexpr std::array<std::string_view, 16> kNegative = {
      "($1)", "-$1",  "$-1",  "$1-",  "(1$)", "-1$",  "1-$",   "1$-",
      "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
  std::string text;
  if (AppendNonFinite(text, value)) return text;
  const DecimalDigits number = RoundedToDecimals(value, digits);
  AppendFixedDigits(text, number, digits, settings.decimal_separator, settings.thousand_separator);
  const bool negative = IsNegative(number);
  const int format = negative ? settings.negative_currency_format : settings.currency_format;
  std::string_view pattern;
  if (negative) {
    pattern = format >= 0 && format < 16 ? kNegative[format] : kNegative[1];
  } else {
    pattern = format >= 0 && format < 4 ? kPositive[format] : kPositive[0];
  }
  std::string out;
  out.reserve(text.size() + settings.currency_string.size() + 4);
  for (const char c : pattern) {
    if (c == '$') {
      out += settings.currency_string;
    } else if (c == '1') {
      out += text;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace vantrel
