#include "script/values/variant_operations.h"

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "script/values/number_text.h"
#include "script/values/variant_array.h"

namespace vantrel {
namespace {

constexpr char kDivisionByZero[] = "Division by zero";
constexpr char kStringIndexOutOfBounds[] = "String index out of bounds";

// An arithmetic operand read as a number.
struct Number {
  enum class Kind { kInteger, kDouble, kDate };
  Kind kind;
  std::int64_t integer;  // For kInteger.
  double real;           // The value for every kind.
};

Number IntegerNumber(std::int64_t value) {
  return {Number::Kind::kInteger, value, static_cast<double>(value)};
}

// `v` (dereferenced, not Null) as an arithmetic operand.
Number ReadNumber(const Variant& v) {
  switch (v.Type()) {
    case VariantType::kUnassigned:
      return IntegerNumber(0);
    case VariantType::kBoolean:
      return IntegerNumber(v.RawBoolean() ? -1 : 0);
    case VariantType::kInteger:
      return IntegerNumber(v.RawInteger());
    case VariantType::kByte:
      return IntegerNumber(v.RawByte());
    case VariantType::kDouble:
      return {Number::Kind::kDouble, 0, v.RawDouble()};
    case VariantType::kDate:
      return {Number::Kind::kDate, 0, v.RawDouble()};
    case VariantType::kString: {
      bool integral = false;
      const std::optional<double> value = ParseNumberText(v.StringView(), &integral);
      if (!value) ThrowVariantTypeCast("String", "Double");
      if (std::isinf(*value)) ThrowVariantOverflow();
      if (integral && *value >= -2147483648.0 && *value <= 2147483647.0) {
        return IntegerNumber(static_cast<std::int64_t>(*value));
      }
      return {Number::Kind::kDouble, 0, *value};
    }
    case VariantType::kObject:
    case VariantType::kClass:
      return IntegerNumber(v.ToInteger());
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      break;
  }
  ThrowVariantTypeCast(v.TypeName(), "Double");
}

void AddNumbers(Variant& left, const Number& x, const Number& y, bool subtract) {
  const bool x_date = x.kind == Number::Kind::kDate;
  const bool y_date = y.kind == Number::Kind::kDate;
  if (x_date || y_date) {
    const double result = subtract ? x.real - y.real : x.real + y.real;
    if (subtract && x_date && y_date) {
      left.SetDouble(result);  // The days between two dates.
    } else {
      left.SetDate(result);
    }
  } else if (x.kind == Number::Kind::kDouble || y.kind == Number::Kind::kDouble) {
    left.SetDouble(subtract ? x.real - y.real : x.real + y.real);
  } else {
    variant_internal::SetInt64Result(left,
                                     subtract ? x.integer - y.integer : x.integer + y.integer);
  }
}

// left := the String `head` followed by `tail`. In place when `head` is
// `left` itself (not reached through a reference, whose target must keep
// its value).
void JoinInto(Variant& left, const Variant& head, std::string_view tail) {
  if (&head == &left) {
    left.AppendString(tail);
  } else {
    left = Variant::Concatenation(head.StringView(), tail);
  }
}

std::int32_t Low32Bits(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

void Shift(Variant& left, const Variant& right, bool to_left) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const auto bits = static_cast<std::uint64_t>(a.ToInt64Rounded());
  const std::int64_t count = b.ToInt64Rounded();
  std::uint64_t result = 0;
  if (count >= 0 && count < 64) result = to_left ? bits << count : bits >> count;
  left.SetInteger(Low32Bits(static_cast<std::int64_t>(result)));
}

VariantOrder OrderOf(double x, double y) {
  if (x < y) return VariantOrder::kLess;
  if (x > y) return VariantOrder::kGreater;
  if (x == y) return VariantOrder::kEqual;
  // At least one is not a number: those order first and equal each other.
  const bool x_nan = std::isnan(x);
  const bool y_nan = std::isnan(y);
  if (x_nan && y_nan) return VariantOrder::kEqual;
  return x_nan ? VariantOrder::kLess : VariantOrder::kGreater;
}

VariantOrder OrderOf(std::string_view x, std::string_view y) {
  const int c = x.compare(y);  // By unsigned character codes.
  return c < 0 ? VariantOrder::kLess : (c > 0 ? VariantOrder::kGreater : VariantOrder::kEqual);
}

// A string set against a Boolean: its number, else True -1 or False 0.
double BooleanStringValue(std::string_view text) {
  if (const std::optional<double> number = ParseNumberText(text)) return *number;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (EqualsIgnoreCase(text, "True")) return -1;
  if (EqualsIgnoreCase(text, "False")) return 0;
  ThrowVariantTypeCast("String", "Boolean");
}

bool IsPointerKind(VariantType type) {
  return type == VariantType::kObject || type == VariantType::kClass;
}

const void* AddressOf(const Variant& v) {
  return v.Type() == VariantType::kObject ? static_cast<const void*>(v.RawObject())
                                          : static_cast<const void*>(v.RawClass());
}

// The String that `text` holds or points at.
const Variant& StringOperand(const Variant& text) {
  const Variant& s = text.Dereference();
  if (!s.IsString()) ThrowVariantTypeCast(s.TypeName(), "String");
  return s;
}

std::size_t StringPosition(const Variant& s, std::int32_t index) {
  if (index < 1 || static_cast<std::size_t>(index) > s.StringView().size()) {
    throw VariantIndexError(kStringIndexOutOfBounds);
  }
  return static_cast<std::size_t>(index) - 1;
}

}  // namespace

namespace variant_internal {

void AddSlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  if (a.IsString() && b.IsString()) return JoinInto(left, a, b.StringView());
  // Unassigned beside a string stands for the empty string, so that
  // s = s + "text" works on a variable not yet assigned.
  if (a.IsString() && b.IsUnassigned()) return JoinInto(left, a, std::string_view());
  if (a.IsUnassigned() && b.IsString()) {
    left = b;
    return;
  }
  const Number x = ReadNumber(a);
  const Number y = ReadNumber(b);
  AddNumbers(left, x, y, /*subtract=*/false);
}

void SubSlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const Number x = ReadNumber(a);
  const Number y = ReadNumber(b);
  AddNumbers(left, x, y, /*subtract=*/true);
}

void MultiplySlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  left.SetDouble(x * y);
}

void DivideSlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  if (y == 0) throw DivisionByZeroError(kDivisionByZero);
  left.SetDouble(x / y);
}

void IntDivSlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const std::int32_t x = a.ToInteger();
  const std::int32_t y = b.ToInteger();
  if (y == 0) throw DivisionByZeroError(kDivisionByZero);
  // Division by -1 is negation, which -2147483648 survives only as a double.
  SetInt64Result(left, y == -1 ? -std::int64_t{x} : x / y);
}

void ModSlow(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const std::int32_t x = a.ToInteger();
  const std::int32_t y = b.ToInteger();
  if (y == 0) throw DivisionByZeroError(kDivisionByZero);
  left.SetInteger(y == -1 ? 0 : x % y);
}

void BitwiseSlow(Variant& left, const Variant& right, char operation) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const std::int64_t x = a.ToInt64Rounded();
  const std::int64_t y = b.ToInt64Rounded();
  const std::int64_t result = operation == '|' ? (x | y) : operation == '&' ? (x & y) : (x ^ y);
  left.SetInteger(Low32Bits(result));
}

void NegateSlow(Variant& value) {
  const Variant& a = value.Dereference();
  if (a.IsNull()) return value.SetNull();
  const Number x = ReadNumber(a);
  switch (x.kind) {
    case Number::Kind::kInteger:
      return SetInt64Result(value, -x.integer);
    case Number::Kind::kDouble:
      return value.SetDouble(-x.real);
    case Number::Kind::kDate:
      return value.SetDate(-x.real);
  }
}

void NotSlow(Variant& value) {
  const Variant& a = value.Dereference();
  if (a.IsNull()) return value.SetNull();
  value.SetBoolean(RoundHalfEven(a.ToDouble()) == 0);
}

VariantOrder CompareSlow(const Variant& a_operand, const Variant& b_operand) {
  const Variant& a = a_operand.Dereference();
  const Variant& b = b_operand.Dereference();
  if (a.IsNull() || b.IsNull()) {
    if (a.IsNull() && b.IsNull()) return VariantOrder::kEqual;
    return a.IsNull() ? VariantOrder::kLess : VariantOrder::kGreater;
  }
  const VariantType x = a.Type();
  const VariantType y = b.Type();
  if (IsPointerKind(x) && IsPointerKind(y)) {
    const void* p = AddressOf(a);
    const void* q = AddressOf(b);
    if (p == q) return VariantOrder::kEqual;
    return std::less<const void*>()(p, q) ? VariantOrder::kLess : VariantOrder::kGreater;
  }
  if (x == VariantType::kString || y == VariantType::kString) {
    if (x == y) return OrderOf(a.StringView(), b.StringView());
    if (x == VariantType::kUnassigned) return OrderOf(std::string_view(), b.StringView());
    if (y == VariantType::kUnassigned) return OrderOf(a.StringView(), std::string_view());
    if (x == VariantType::kBoolean) {
      return OrderOf(a.ToDouble(), BooleanStringValue(b.StringView()));
    }
    if (y == VariantType::kBoolean) {
      return OrderOf(BooleanStringValue(a.StringView()), b.ToDouble());
    }
  }
  // Every other pair compares as numbers; a string reads as one.
  const double p = a.ToDouble();
  const double q = b.ToDouble();
  return OrderOf(p, q);
}

bool IsFalseSlow(const Variant& value) {
  return CompareSlow(value, Variant(false)) == VariantOrder::kEqual;
}

}  // namespace variant_internal

void VariantShl(Variant& left, const Variant& right) { Shift(left, right, /*to_left=*/true); }
void VariantShr(Variant& left, const Variant& right) { Shift(left, right, /*to_left=*/false); }

void VariantPower(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() || b.IsNull()) return left.SetNull();
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  left.SetDouble(std::pow(x, y));
}

void VariantConcat(Variant& left, const Variant& right) {
  const Variant& a = left.Dereference();
  const Variant& b = right.Dereference();
  if (a.IsNull() && b.IsNull()) return left.SetNull();
  // The right text first: `right` may be `left` itself.
  std::string converted_tail;
  std::string_view tail;
  if (b.IsString()) {
    tail = b.StringView();
  } else if (!b.IsNull()) {
    converted_tail = b.ToString();
    tail = converted_tail;
  }
  if (a.IsString()) return JoinInto(left, a, tail);
  const std::string head = a.IsNull() ? std::string() : a.ToString();
  if (head.empty() && b.IsString()) {
    left = b;  // Shares the characters.
    return;
  }
  left = Variant::Concatenation(head, tail);
}

Variant VariantStringCharAt(const Variant& text, std::int32_t index) {
  const Variant& s = StringOperand(text);
  return Variant(s.StringView().substr(StringPosition(s, index), 1));
}

void VariantStringSetCharAt(Variant& target, std::int32_t index, const Variant& value) {
  Variant& s = target.Dereference();
  const std::size_t position = StringPosition(StringOperand(s), index);
  const Variant& v = value.Dereference();
  if (v.IsString()) {
    s.ReplaceString(position, 1, v.StringView());
  } else {
    const std::string text = v.ToString();
    s.ReplaceString(position, 1, text);
  }
}

}  // namespace vantrel
