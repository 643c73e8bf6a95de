#include "script/values/variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "base/ascii.h"
#include "base/date_time_format.h"
#include "base/date_time_text.h"
#include "base/format.h"
#include "script/values/number_text.h"
#include "script/values/variant_array.h"
#include "script/values/variant_string.h"

namespace vantrel {
namespace {

constexpr char kCouldNotConvert[] = "Could not convert variant of type (%s) into type (%s)";
constexpr char kOverflow[] = "Variant overflow";

// Dates that name a day of the years 1 to 9999, the range of every date
// function; only these print as dates.
constexpr double kFirstDate = -693593.0;  // 1 January of the year 1.
constexpr double kEndOfDates = 2958466.0;

// The number a string reads as; `target` names the conversion in errors.
double StringToNumber(std::string_view text, const char* target) {
  const std::optional<double> value = ParseNumberText(text);
  if (!value) ThrowVariantTypeCast("String", target);
  if (std::isinf(*value)) ThrowVariantOverflow();
  return *value;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string IntegerText(std::int64_t value) {
  char text[24];
  const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

void ThrowVariantTypeCast(const char* source, const char* target) {
  throw VariantTypeCastError(Format(kCouldNotConvert, {source, target}));
}

void ThrowVariantOverflow() { throw VariantOverflowError(kOverflow); }

double RoundHalfEven(double value) noexcept {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double fraction = value - floor;  // Exact for every finite double.
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int32_t RoundToInt32(double value) {
  const double rounded = RoundHalfEven(value);
  // Written so that NaN fails too.
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    ThrowVariantOverflow();
  }
  return static_cast<std::int32_t>(rounded);
}

Variant::Variant(std::string_view text)
    : type_(VariantType::kString),
      bits_(text.empty() ? 0 : PointerBits(VariantString::Create(text))) {}

Variant Variant::Concatenation(std::string_view head, std::string_view tail) {
  if (head.empty() && tail.empty()) return Variant(VariantType::kString, 0);
  return Variant(VariantType::kString, PointerBits(VariantString::Concat(head, tail)));
}

Variant Variant::ArrayOf(std::vector<Variant> elements) {
  return Variant(VariantType::kArray, PointerBits(VariantArray::FromElements(std::move(elements))));
}

Variant Variant::ArrayWithBounds(std::span<const VariantArrayBounds> bounds) {
  return Variant(VariantType::kArray, PointerBits(VariantArray::Create(bounds)));
}

const char* Variant::TypeName(VariantType type) noexcept {
  switch (type) {
    case VariantType::kUnassigned:
      return "Empty";
    case VariantType::kNull:
      return "Null";
    case VariantType::kBoolean:
      return "Boolean";
    case VariantType::kInteger:
    case VariantType::kObject:
    case VariantType::kClass:
      return "Integer";
    case VariantType::kByte:
      return "Byte";
    case VariantType::kDouble:
      return "Double";
    case VariantType::kDate:
      return "Date";
    case VariantType::kString:
      return "String";
    case VariantType::kArray:
      return "Array";
    case VariantType::kReference:
      return "Reference";
  }
  return "Unknown";
}

void Variant::RetainHeap(VariantType type, std::uint64_t bits) noexcept {
  if (bits == 0) return;  // The empty string.
  if (type == VariantType::kString) {
    reinterpret_cast<VariantString*>(static_cast<std::uintptr_t>(bits))->Retain();
  } else {
    reinterpret_cast<VariantArray*>(static_cast<std::uintptr_t>(bits))->Retain();
  }
}

void Variant::ReleaseHeap() noexcept {
  if (type_ == VariantType::kString) {
    if (VariantString* buffer = BitsPointer<VariantString>()) buffer->Release();
  } else {
    BitsPointer<VariantArray>()->Release();
  }
}

VariantArray& Variant::MutableArray() {
  VariantArray* array = BitsPointer<VariantArray>();
  if (!array->IsUnique()) {
    VariantArray* copy = array->Clone();
    array->Release();
    bits_ = PointerBits(copy);
    array = copy;
  }
  return *array;
}

void Variant::AppendString(std::string_view text) {
  if (text.empty()) return;
  VariantString* buffer = BitsPointer<VariantString>();
  if (buffer == nullptr) {
    bits_ = PointerBits(VariantString::Create(text));
  } else if (buffer->IsUnique()) {
    bits_ = PointerBits(VariantString::Append(buffer, text));
  } else {
    VariantString* joined = VariantString::Concat(buffer->View(), text);
    buffer->Release();
    bits_ = PointerBits(joined);
  }
}

void Variant::ReplaceString(std::size_t position, std::size_t count, std::string_view text) {
  VariantString* buffer = BitsPointer<VariantString>();
  if (buffer != nullptr && text.size() == count && buffer->IsUnique()) {
    if (count != 0) std::memmove(buffer->MutableData() + position, text.data(), count);
    return;
  }
  const std::string_view current = StringView();
  std::string replaced;
  replaced.reserve(current.size() - count + text.size());
  replaced.append(current.substr(0, position));
  replaced.append(text);
  replaced.append(current.substr(position + count));
  *this = Variant(replaced);
}

std::int32_t Variant::ReferenceNumber() const noexcept {
  if (IsObjectHandle()) return static_cast<std::int32_t>(RawObjectHandle());
  return bits_ != 0 ? 1 : 0;
}

void Variant::ThrowCast(const char* target) const { ThrowVariantTypeCast(TypeName(), target); }

double Variant::ToDoubleSlow() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kUnassigned:
      return 0;
    case VariantType::kBoolean:
      return v.RawBoolean() ? -1 : 0;
    case VariantType::kInteger:
      return v.RawInteger();
    case VariantType::kByte:
      return v.RawByte();
    case VariantType::kDouble:
    case VariantType::kDate:
      return v.RawDouble();
    case VariantType::kString:
      return StringToNumber(v.StringView(), "Double");
    case VariantType::kObject:
    case VariantType::kClass:
      return v.ReferenceNumber();
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      break;
  }
  v.ThrowCast("Double");
}

std::int32_t Variant::ToIntegerSlow() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kUnassigned:
      return 0;
    case VariantType::kBoolean:
      return v.RawBoolean() ? -1 : 0;
    case VariantType::kInteger:
      return v.RawInteger();
    case VariantType::kByte:
      return v.RawByte();
    case VariantType::kDouble:
    case VariantType::kDate:
      return RoundToInt32(v.RawDouble());
    case VariantType::kString:
      return RoundToInt32(StringToNumber(v.StringView(), "Integer"));
    case VariantType::kObject:
    case VariantType::kClass:
      return v.ReferenceNumber();
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      break;
  }
  v.ThrowCast("Integer");
}

std::int64_t Variant::ToInt64Rounded() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kInteger:
      return v.RawInteger();
    case VariantType::kByte:
      return v.RawByte();
    default:
      break;
  }
  const double rounded = RoundHalfEven(v.ToDouble());
  // 2^63 is exact as a double; NaN fails the test as well.
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
    ThrowVariantOverflow();
  }
  return static_cast<std::int64_t>(rounded);
}

bool Variant::ToBoolean() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kUnassigned:
      return false;
    case VariantType::kBoolean:
      return v.RawBoolean();
    case VariantType::kInteger:
      return v.RawInteger() != 0;
    case VariantType::kByte:
      return v.RawByte() != 0;
    case VariantType::kDouble:
    case VariantType::kDate:
      return v.RawDouble() != 0;
    case VariantType::kString: {
      const std::string_view text = TrimBlanks(v.StringView());
      if (EqualsIgnoreCase(text, "True")) return true;
      if (EqualsIgnoreCase(text, "False")) return false;
      const std::optional<double> number = ParseNumberText(text);
      if (!number) ThrowVariantTypeCast("String", "Boolean");
      return *number != 0;
    }
    case VariantType::kObject:
    case VariantType::kClass:
      return v.ReferenceNumber() != 0;
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      break;
  }
  v.ThrowCast("Boolean");
}

std::string Variant::ToString() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kUnassigned:
      return std::string();
    case VariantType::kBoolean:
      return v.RawBoolean() ? "True" : "False";
    case VariantType::kInteger:
      return IntegerText(v.RawInteger());
    case VariantType::kByte:
      return IntegerText(v.RawByte());
    case VariantType::kDouble:
      return FormatNumberText(v.RawDouble());
    case VariantType::kDate:
      if (!(v.RawDouble() >= kFirstDate && v.RawDouble() < kEndOfDates)) break;
      // A time of day alone (day 0) prints as the time, as a date with no
      // time prints as the date ("c" leaves a midnight time out).
      return FormatDateTime(std::trunc(v.RawDouble()) == 0 ? "tt" : "c", v.RawDouble());
    case VariantType::kString:
      return std::string(v.StringView());
    case VariantType::kObject:
    case VariantType::kClass:
      return IntegerText(v.ReferenceNumber());
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      break;
  }
  v.ThrowCast("String");
}

double Variant::ToDate() const {
  const Variant& v = Dereference();
  switch (v.type_) {
    case VariantType::kString: {
      // A number of days, else a date or time text in the locale's order
      // ("12/24/2026", "19:34", both).
      if (const std::optional<double> days = ParseNumberText(v.StringView())) return *days;
      double date = 0;
      if (TryStrToDateTime(v.StringView(), date)) return date;
      return StringToNumber(v.StringView(), "Date");
    }
    case VariantType::kNull:
    case VariantType::kArray:
    case VariantType::kReference:
      v.ThrowCast("Date");
    default:
      return v.ToDouble();
  }
}

}  // namespace vantrel
