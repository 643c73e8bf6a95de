#include "base/format_directives.h"

#include <charconv>
#include <climits>

#include "base/ascii.h"
#include "base/convert_error.h"
#include "base/decimal_digits.h"

namespace vantrel {
namespace {

// A directive as read, its "*" values taken from the arguments.
struct Directive {
  bool left = false;   // Pad on the right.
  int width = -1;      // -1: none.
  int precision = -1;  // -1: none.
  char type = 0;       // Lower case.
  const FormatValue* value = nullptr;
};

// Reads one directive from just after its "%". Arguments are only used up
// when the whole directive reads: Read works on its own argument cursor.
class DirectiveReader {
 public:
  DirectiveReader(std::string_view pattern, std::size_t at, std::span<const FormatValue> args,
                  std::size_t next_arg)
      : pattern_(pattern), at_(at), args_(args), next_arg_(next_arg) {}

  bool Read(Directive& directive) {
    int number = 0;
    bool present = false;
    if (Skip('-')) directive.left = true;
    if (!ReadNumber(number, present)) return false;
    if (present && Skip(':')) {
      if (number < 0) return false;
      next_arg_ = static_cast<std::size_t>(number);
      if (Skip('-')) directive.left = true;
      if (!ReadNumber(number, present)) return false;
    }
    if (present) {
      if (number < 0) directive.left = true;  // A negative "*" width.
      directive.width = number < 0 ? -number : number;
    }
    if (Skip('.')) {
      if (!ReadNumber(number, present)) return false;
      directive.precision = !present ? 0 : number < 0 ? -1 : number;
    }
    if (at_ >= pattern_.size()) return false;
    directive.type = ToLowerAscii(pattern_[at_++]);
    if (std::string_view("duefgnmpsx").find(directive.type) == std::string_view::npos) {
      return false;
    }
    if (next_arg_ >= args_.size()) return false;
    directive.value = &args_[next_arg_++];
    return true;
  }

  // After a successful Read: where the pattern goes on, and the argument
  // the next directive takes.
  std::size_t End() const { return at_; }
  std::size_t NextArg() const { return next_arg_; }

 private:
  bool Skip(char c) {
    if (at_ >= pattern_.size() || pattern_[at_] != c) return false;
    ++at_;
    return true;
  }

  // Decimal digits or "*" (the next argument, an integer); `present` is
  // false when there is neither. False for values above kMaxFormatWidth.
  bool ReadNumber(int& number, bool& present) {
    present = false;
    if (Skip('*')) {
      if (next_arg_ >= args_.size()) return false;
      const FormatValue& arg = args_[next_arg_++];
      if (arg.kind != FormatValue::Kind::kInteger || arg.integer > kMaxFormatWidth ||
          arg.integer < -kMaxFormatWidth) {
        return false;
      }
      number = static_cast<int>(arg.integer);
      present = true;
      return true;
    }
    number = 0;
    while (at_ < pattern_.size() && pattern_[at_] >= '0' && pattern_[at_] <= '9') {
      number = number * 10 + (pattern_[at_++] - '0');
      if (number > kMaxFormatWidth) return false;
      present = true;
    }
    return true;
  }

  std::string_view pattern_;
  std::size_t at_;
  std::span<const FormatValue> args_;
  std::size_t next_arg_;
};

// The integer as %u, %x and %p read it: a negative 32-bit value as its
// 32-bit pattern.
std::uint64_t AsUnsigned(std::int64_t value) {
  if (value < 0 && value >= INT32_MIN) return static_cast<std::uint32_t>(value);
  return static_cast<std::uint64_t>(value);
}

// Digits of `value` in `base`, upper case, at least `least` of them.
void AppendUnsigned(std::string& out, std::uint64_t value, int base, int least) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, base);
  const auto n = static_cast<int>(result.ptr - digits);
  if (least > n) out.append(static_cast<std::size_t>(least - n), '0');
  if (base > 10) {
    for (char* p = digits; p < result.ptr; ++p) *p = ToUpperAscii(*p);
  }
  out.append(digits, static_cast<std::size_t>(n));
}

void AppendDecimal(std::string& out, std::int64_t value, int least) {
  if (value < 0) out += '-';
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  AppendUnsigned(out, magnitude, 10, least);
}

// "d.dddE+ddd" with `significant` digits.
void AppendScientific(std::string& out, double value, int significant, char decimal_separator) {
  if (AppendNonFinite(out, value)) return;
  DecimalDigits number = ToDecimalDigits(value);
  RoundToSignificant(number, significant);
  if (number.negative && !number.IsZero()) out += '-';
  out += number.At(0);
  if (significant > 1) out += decimal_separator;
  for (int i = 1; i < significant; ++i) out += number.At(i);
  const int exponent = number.IsZero() ? 0 : number.Exponent();
  out += exponent < 0 ? "E-" : "E+";
  AppendUnsigned(out, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent), 10, 3);
}

bool IsNumber(const FormatValue& value) {
  return value.kind == FormatValue::Kind::kInteger || value.kind == FormatValue::Kind::kFloat ||
         value.kind == FormatValue::Kind::kCurrency;
}

double NumberOf(const FormatValue& value) {
  return value.kind == FormatValue::Kind::kInteger ? static_cast<double>(value.integer)
                                                   : value.number;
}

void AppendText(std::string& out, const FormatValue& value, const FormatSettings& settings) {
  switch (value.kind) {
    case FormatValue::Kind::kText:
      out.append(value.text);
      break;
    case FormatValue::Kind::kBoolean:
      out += value.integer != 0 ? "True" : "False";
      break;
    case FormatValue::Kind::kInteger:
      AppendDecimal(out, value.integer, 0);
      break;
    case FormatValue::Kind::kFloat:
    case FormatValue::Kind::kCurrency:
      if (!AppendNonFinite(out, value.number)) {
        AppendGeneral(out, ToDecimalDigits(value.number), DecimalDigits::kSignificant,
                      settings.decimal_separator);
      }
      break;
  }
}

// Appends the directive's value, unpadded; false (nothing appended) when
// the value does not fit the type.
bool AppendValue(std::string& out, const Directive& directive, const FormatSettings& settings) {
  const FormatValue& value = *directive.value;
  const int precision = directive.precision;
  const bool integer = value.kind == FormatValue::Kind::kInteger;
  switch (directive.type) {
    case 'd':
      if (!integer) return false;
      AppendDecimal(out, value.integer, precision);
      return true;
    case 'u':
    case 'x':
      if (!integer) return false;
      AppendUnsigned(out, AsUnsigned(value.integer), directive.type == 'u' ? 10 : 16, precision);
      return true;
    case 'p':
      if (!integer) return false;
      AppendUnsigned(out, AsUnsigned(value.integer), 16, 8);
      return true;
    case 's': {
      const std::size_t start = out.size();
      AppendText(out, value, settings);
      if (precision >= 0 && out.size() - start > static_cast<std::size_t>(precision)) {
        out.resize(start + static_cast<std::size_t>(precision));
      }
      return true;
    }
    default:
      break;
  }
  if (!IsNumber(value)) return false;
  const double number = NumberOf(value);
  const int significant =
      precision < 0 ? DecimalDigits::kSignificant : (precision < 1 ? 1 : precision);
  switch (directive.type) {
    case 'e':
      AppendScientific(out, number, significant, settings.decimal_separator);
      break;
    case 'g':
      if (!AppendNonFinite(out, number)) {
        AppendGeneral(out, ToDecimalDigits(number), significant, settings.decimal_separator);
      }
      break;
    case 'f':
    case 'n':
      out += FormatFixed(number, precision < 0 ? 2 : precision, directive.type == 'n', settings);
      break;
    default:  // 'm'
      out += FormatCurrencyText(number, precision < 0 ? settings.currency_decimals : precision,
                                settings);
      break;
  }
  return true;
}

// Reads and fills the directive whose "%" is at `percent`; false (nothing
// appended, nothing used up) when it cannot be filled.
bool FillDirective(std::string& out, std::string_view pattern, std::size_t percent,
                   std::span<const FormatValue> args, const FormatSettings& settings,
                   std::size_t& end, std::size_t& next_arg) {
  DirectiveReader reader(pattern, percent + 1, args, next_arg);
  Directive directive;
  const std::size_t start = out.size();
  if (!reader.Read(directive) || !AppendValue(out, directive, settings)) return false;
  const std::size_t length = out.size() - start;
  if (directive.width > 0 && static_cast<std::size_t>(directive.width) > length) {
    const std::size_t pad = static_cast<std::size_t>(directive.width) - length;
    if (directive.left) {
      out.append(pad, ' ');
    } else {
      out.insert(start, pad, ' ');
    }
  }
  end = reader.End();
  next_arg = reader.NextArg();
  return true;
}

}  // namespace

void AppendDirectives(std::string& out, std::string_view pattern, std::span<const FormatValue> args,
                      const FormatSettings& settings, DirectiveFailure on_failure) {
  std::size_t next_arg = 0;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t percent = pattern.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(pattern.substr(i));
      break;
    }
    out.append(pattern.substr(i, percent - i));
    if (percent + 1 < pattern.size() && pattern[percent + 1] == '%') {
      out += '%';
      i = percent + 2;
    } else if (FillDirective(out, pattern, percent, args, settings, i, next_arg)) {
      continue;
    } else if (on_failure == DirectiveFailure::kRaise) {
      throw ConvertError("Format '" + std::string(pattern) +
                         "' invalid or incompatible with argument");
    } else {
      out += '%';
      i = percent + 1;
    }
  }
}

std::string FormatDirectives(std::string_view pattern, std::span<const FormatValue> args,
                             const FormatSettings& settings) {
  std::string out;
  out.reserve(pattern.size() + 16);
  AppendDirectives(out, pattern, args, settings, DirectiveFailure::kRaise);
  return out;
}

}  // namespace vantrel
