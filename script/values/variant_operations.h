// The operators of the script language on values.
//
// Two-operand operators work in place: the result replaces the left
// operand (the machine's slot SP-2), the right one is only read. Either
// operand may be a reference; it is followed, and the result replaces the
// reference in `left` (it is not written through). `left` and `right` may
// be the same variant.
//
// Integer and double operands take the inline paths below; every other
// combination goes to the out-of-line rules in variant_operations.cc:
//
// - Null as either operand gives Null (concatenation excepted, see there).
// - Numbers: Integer, Byte, Boolean (True -1, False 0), Unassigned (0) and
//   object or class references (0 none, 1 otherwise) compute as integers;
//   Double as double; Date as date. A string operand reads as a number: an
//   integer when written as a whole number that fits 32 bits, otherwise a
//   double; text that is no number raises VariantTypeCastError.
// - Integer results that do not fit 32 bits become doubles.
//
// Comparison orders Null below every other value and equal only to Null;
// strings compare by character codes (case-sensitive); a string against a
// number compares numerically after converting the string (text that is
// no number raises VariantTypeCastError); Unassigned equals 0 and "".
// A Boolean against a string: the string reads as a number when it is one,
// else "True" / "False" in any letter case stand for -1 / 0, else
// VariantTypeCastError. Two object or class references compare by
// identity. Not-a-number orders below every other number and equals
// itself, so comparisons stay a total order.
#ifndef VANTREL_SCRIPT_VALUES_VARIANT_OPERATIONS_H_
#define VANTREL_SCRIPT_VALUES_VARIANT_OPERATIONS_H_

#include <cstdint>
#include <limits>

#include "base/exception.h"
#include "script/values/variant.h"

namespace vantrel {

// "Division by zero": div, mod or / with a zero divisor.
VANTREL_ERROR_CLASS(DivisionByZeroError, Exception);

enum class VariantOrder : std::int8_t { kLess = -1, kEqual = 0, kGreater = 1 };

namespace variant_internal {

void AddSlow(Variant& left, const Variant& right);
void SubSlow(Variant& left, const Variant& right);
void MultiplySlow(Variant& left, const Variant& right);
void DivideSlow(Variant& left, const Variant& right);
void IntDivSlow(Variant& left, const Variant& right);
void ModSlow(Variant& left, const Variant& right);
void BitwiseSlow(Variant& left, const Variant& right, char operation);
void NegateSlow(Variant& value);
void NotSlow(Variant& value);
VariantOrder CompareSlow(const Variant& a, const Variant& b);
bool IsFalseSlow(const Variant& value);

constexpr std::uint32_t kIntegerOrDouble = (1u << static_cast<unsigned>(VariantType::kInteger)) |
                                           (1u << static_cast<unsigned>(VariantType::kDouble));

inline bool BothIntegers(const Variant& a, const Variant& b) {
  return a.Type() == VariantType::kInteger && b.Type() == VariantType::kInteger;
}
// Both Integer or Double (in any mix).
inline bool BothNumbers(const Variant& a, const Variant& b) {
  return ((kIntegerOrDouble >> static_cast<unsigned>(a.Type())) &
          (kIntegerOrDouble >> static_cast<unsigned>(b.Type())) & 1u) != 0;
}
// The value of an Integer or Double.
inline double NumberOf(const Variant& v) {
  return v.Type() == VariantType::kInteger ? v.RawInteger() : v.RawDouble();
}
// The value of an Integer, or of a Double holding a whole 32-bit number.
inline bool ExactInt32(const Variant& v, std::int32_t& out) {
  if (v.Type() == VariantType::kInteger) {
    out = v.RawInteger();
    return true;
  }
  if (v.Type() == VariantType::kDouble) {
    const double d = v.RawDouble();
    if (d >= -2147483648.0 && d <= 2147483647.0) {
      out = static_cast<std::int32_t>(d);
      return out == d;
    }
  }
  return false;
}

// Sets an integer result, or a Double when it does not fit 32 bits. Always
// inlined: the integer operators' fast paths end here, and a
// call would cost more than the operation.
[[gnu::always_inline]] inline void SetInt64Result(Variant& left, std::int64_t value) {
  if (value == static_cast<std::int32_t>(value)) [[likely]] {
    left.SetInteger(static_cast<std::int32_t>(value));
  } else {
    left.SetDouble(static_cast<double>(value));
  }
}

}  // namespace variant_internal

// left := left + right. Integer + Integer stays Integer; strings join; a
// string with a number reads as a number; Unassigned + a string gives the
// string; Date + number and number + Date give a Date.
inline void VariantAdd(Variant& left, const Variant& right) {
  if (variant_internal::BothIntegers(left, right)) {
    variant_internal::SetInt64Result(left, std::int64_t{left.RawInteger()} + right.RawInteger());
  } else if (variant_internal::BothNumbers(left, right)) {
    left.SetDouble(variant_internal::NumberOf(left) + variant_internal::NumberOf(right));
  } else {
    variant_internal::AddSlow(left, right);
  }
}

// left := left - right. Both read as numbers (strings too); Date - Date
// gives a Double, Date - number and number - Date a Date.
inline void VariantSub(Variant& left, const Variant& right) {
  if (variant_internal::BothIntegers(left, right)) {
    variant_internal::SetInt64Result(left, std::int64_t{left.RawInteger()} - right.RawInteger());
  } else if (variant_internal::BothNumbers(left, right)) {
    left.SetDouble(variant_internal::NumberOf(left) - variant_internal::NumberOf(right));
  } else {
    variant_internal::SubSlow(left, right);
  }
}

// left := left * right as a Double (2 * 3 is the Double 6).
inline void VariantMultiply(Variant& left, const Variant& right) {
  if (variant_internal::BothNumbers(left, right)) {
    left.SetDouble(variant_internal::NumberOf(left) * variant_internal::NumberOf(right));
  } else {
    variant_internal::MultiplySlow(left, right);
  }
}

// left := left / right as a Double (7 / 2 is 3.5). A zero divisor raises
// DivisionByZeroError.
inline void VariantDivide(Variant& left, const Variant& right) {
  if (variant_internal::BothNumbers(left, right) && variant_internal::NumberOf(right) != 0) {
    left.SetDouble(variant_internal::NumberOf(left) / variant_internal::NumberOf(right));
  } else {
    variant_internal::DivideSlow(left, right);
  }
}

// left := left div right: both converted to 32-bit integers (rounding half
// to even), the quotient truncated toward zero. A zero divisor raises
// DivisionByZeroError; -2147483648 div -1 gives the Double 2147483648.
inline void VariantIntDiv(Variant& left, const Variant& right) {
  std::int32_t a;
  std::int32_t b;
  if (variant_internal::ExactInt32(left, a) && variant_internal::ExactInt32(right, b) && b != 0 &&
      b != -1) {
    left.SetInteger(a / b);
  } else {
    variant_internal::IntDivSlow(left, right);
  }
}

// left := left mod right: both converted to 32-bit integers, the remainder
// taking the sign of the dividend. A zero divisor raises
// DivisionByZeroError.
inline void VariantMod(Variant& left, const Variant& right) {
  std::int32_t a;
  std::int32_t b;
  if (variant_internal::ExactInt32(left, a) && variant_internal::ExactInt32(right, b) && b != 0 &&
      b != -1) {
    left.SetInteger(a % b);
  } else {
    variant_internal::ModSlow(left, right);
  }
}

// left := left or / and / xor right: both converted to doubles, rounded to
// 64-bit integers and combined; the low 32 bits are stored as an Integer
// (True or False is -1, 1 and 2 is 0).
inline void VariantOr(Variant& left, const Variant& right) {
  if (variant_internal::BothIntegers(left, right)) {
    left.SetInteger(left.RawInteger() | right.RawInteger());
  } else {
    variant_internal::BitwiseSlow(left, right, '|');
  }
}
inline void VariantAnd(Variant& left, const Variant& right) {
  if (variant_internal::BothIntegers(left, right)) {
    left.SetInteger(left.RawInteger() & right.RawInteger());
  } else {
    variant_internal::BitwiseSlow(left, right, '&');
  }
}
inline void VariantXor(Variant& left, const Variant& right) {
  if (variant_internal::BothIntegers(left, right)) {
    left.SetInteger(left.RawInteger() ^ right.RawInteger());
  } else {
    variant_internal::BitwiseSlow(left, right, '^');
  }
}

// left := left shl / shr right: left rounded to 64 bits and shifted
// (logically) by right rounded; the low 32 bits are stored as an Integer.
// Shift counts outside 0..63 shift every bit out and give 0.
void VariantShl(Variant& left, const Variant& right);
void VariantShr(Variant& left, const Variant& right);

// left := left raised to the power right, as a Double.
void VariantPower(Variant& left, const Variant& right);

// left := the texts of both joined. Appends in place when `left` holds a
// String that nobody else shares, so `s := s & x` repeated stays linear
// when the machine moves s into the slot rather than copying it. Null
// counts as the empty text; Null & Null stays Null.
void VariantConcat(Variant& left, const Variant& right);

// value := -value. Integers stay integers (-(-2147483648) becomes a
// Double); a Date stays a Date; a string reads as a number.
inline void VariantNegate(Variant& value) {
  if (value.Type() == VariantType::kInteger &&
      value.RawInteger() != std::numeric_limits<std::int32_t>::min()) {
    value.SetInteger(-value.RawInteger());
  } else if (value.Type() == VariantType::kDouble) {
    value.SetDouble(-value.RawDouble());
  } else {
    variant_internal::NegateSlow(value);
  }
}

// value := the Boolean "value converted to a double and rounded is 0": not 0
// is True, not 5 is False, not True is False. Null stays Null.
inline void VariantNot(Variant& value) {
  if (value.Type() == VariantType::kInteger) {
    value.SetBoolean(value.RawInteger() == 0);
  } else if (value.Type() == VariantType::kBoolean) {
    value.SetBoolean(!value.RawBoolean());
  } else {
    variant_internal::NotSlow(value);
  }
}

// The order of `a` and `b` under the comparison rules above.
inline VariantOrder VariantCompare(const Variant& a, const Variant& b) {
  if (variant_internal::BothIntegers(a, b)) {
    const std::int32_t x = a.RawInteger();
    const std::int32_t y = b.RawInteger();
    return static_cast<VariantOrder>((x > y) - (x < y));
  }
  if (variant_internal::BothNumbers(a, b)) {
    const double x = variant_internal::NumberOf(a);
    const double y = variant_internal::NumberOf(b);
    if (x < y) return VariantOrder::kLess;
    if (x > y) return VariantOrder::kGreater;
    if (x == y) return VariantOrder::kEqual;
  }
  return variant_internal::CompareSlow(a, b);
}

inline bool VariantEquals(const Variant& a, const Variant& b) {
  if (variant_internal::BothIntegers(a, b)) return a.RawInteger() == b.RawInteger();
  return VariantCompare(a, b) == VariantOrder::kEqual;
}
inline bool VariantNotEquals(const Variant& a, const Variant& b) { return !VariantEquals(a, b); }
inline bool VariantLess(const Variant& a, const Variant& b) {
  return VariantCompare(a, b) == VariantOrder::kLess;
}
inline bool VariantLessOrEqual(const Variant& a, const Variant& b) {
  return VariantCompare(a, b) != VariantOrder::kGreater;
}
inline bool VariantGreater(const Variant& a, const Variant& b) {
  return VariantCompare(a, b) == VariantOrder::kGreater;
}
inline bool VariantGreaterOrEqual(const Variant& a, const Variant& b) {
  return VariantCompare(a, b) != VariantOrder::kLess;
}

// True when `value` equals the constant False under the comparison rules:
// numeric 0, False, Unassigned, the strings "False" and "0". Null does not
// equal False. A string that is neither a number nor True / False raises
// VariantTypeCastError. The conditional jumps test with this.
inline bool IsFalse(const Variant& value) {
  switch (value.Type()) {
    case VariantType::kBoolean:
      return !value.RawBoolean();
    case VariantType::kInteger:
      return value.RawInteger() == 0;
    case VariantType::kDouble:
      return value.RawDouble() == 0;
    default:
      return variant_internal::IsFalseSlow(value);
  }
}

// The one-character String at 1-based `index` of the String `text`.
// Raises VariantIndexError "String index out of bounds" outside
// 1..length, VariantTypeCastError when `text` holds no String.
Variant VariantStringCharAt(const Variant& text, std::int32_t index);

// Deletes the character at 1-based `index` of the String in `target` and
// inserts the text of `value` there ("xy" into position 2 of "abc" gives
// "axyc"). A reference in `target` is followed: the String it points at
// changes. Errors as VariantStringCharAt; `value` converts as ToString().
void VariantStringSetCharAt(Variant& target, std::int32_t index, const Variant& value);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_VARIANT_OPERATIONS_H_
