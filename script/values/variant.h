// The value type of the script engine.
//
// A Variant is 16 bytes: a one-byte type tag and an 8-byte payload. Numbers,
// Booleans, dates, object and class references and references to other
// variants live in the payload, so copying or dropping them is a pair of
// plain stores. Strings and arrays live on the heap behind a reference
// count: copying one counts one more holder; the characters or elements
// are copied only when a holder changes what another holder still shares
// (so assigning an array behaves as a copy of the array).
//
// Kinds (VariantType) and the names conversion errors give them:
//   kUnassigned  "Empty"    no value yet; reads as 0 and as ""
//   kNull        "Null"     the Null constant; no standard conversion
//   kBoolean     "Boolean"  reads as -1 (True) or 0, prints True / False
//   kInteger     "Integer"  32-bit signed
//   kByte        "Byte"     8-bit unsigned
//   kDouble      "Double"
//   kDate        "Date"     days since 30 December 1899, time as fraction
//   kString      "String"   8-bit characters, no encoding assumed
//   kObject      "Integer"  an object (not owned): a pointer or a handle
//   kClass       "Integer"  a registered class (not owned); see below
//   kArray       "Array"    a variant array of 1 to 5 dimensions
//   kReference   "Reference" points at another variant (not owned)
//
// An object is held in one of two ways. A host object (a default instance,
// a library, what a host handler returns) is held by pointer: the host
// keeps it alive. An object the script created (TObject.Create, AssignFile)
// belongs to the scripter's object table (script/machine/object_table.h)
// and is held by handle: a positive 32-bit number naming a slot of the table
// and the slot's generation, so that a freed object is recognised instead of
// being touched. A handle reads as its number, as objects were carried in
// 32-bit integers; a pointer reads as 1 (an address does not fit the
// integers scripts compute with), none as 0. A class reference reads as 1,
// or 0 when it is none. Two objects or classes compare by identity.
//
// A reference is followed by Dereference() and by every conversion; the
// machine never chains references, and Dereference() stops after
// kMaxReferenceDepth steps, so a broken chain cannot loop forever.
//
// A Variant is used by one thread at a time; values may be handed between
// threads (the counts are atomic).
#ifndef VANTREL_SCRIPT_VALUES_VARIANT_H_
#define VANTREL_SCRIPT_VALUES_VARIANT_H_

#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "script/values/variant_string.h"

namespace vantrel {

class TObject;
struct ClassInfo;
class VariantArray;
struct VariantArrayBounds;

// The errors of value conversions and operations.
VANTREL_ERROR_CLASS(VariantError, Exception);
// "Could not convert variant of type (%s) into type (%s)".
VANTREL_ERROR_CLASS(VariantTypeCastError, VariantError);
// "Variant overflow": a number outside the range of the type asked for.
VANTREL_ERROR_CLASS(VariantOverflowError, VariantError);

enum class VariantType : std::uint8_t {
  kUnassigned,
  kNull,
  kBoolean,
  kInteger,
  kByte,
  kDouble,
  kDate,
  kString,
  kObject,
  kClass,
  kArray,
  kReference,
};

class Variant {
 public:
  static constexpr int kMaxReferenceDepth = 4;

  // Unassigned.
  Variant() noexcept : type_(VariantType::kUnassigned), bits_(0) {}
  // The plain constructors are implicit: a Variant stands in for any of
  // these values. A uint8_t becomes an Integer; use Byte() for a byte.
  Variant(bool value) noexcept : type_(VariantType::kBoolean), bits_(value) {}  // NOLINT
  Variant(std::int32_t value) noexcept                                          // NOLINT
      : type_(VariantType::kInteger), bits_(IntegerBits(value)) {}
  Variant(double value) noexcept  // NOLINT
      : type_(VariantType::kDouble), bits_(std::bit_cast<std::uint64_t>(value)) {}
  Variant(std::string_view text);                                        // NOLINT
  Variant(const std::string& text) : Variant(std::string_view(text)) {}  // NOLINT
  Variant(const char* text) : Variant(std::string_view(text)) {}         // NOLINT
  // Any other pointer would silently become a Boolean; Object(), Class()
  // and ReferenceTo() say what is meant.
  template <typename T>
  Variant(T*) = delete;

  static Variant Null() noexcept { return Variant(VariantType::kNull, 0); }
  static Variant Byte(std::uint8_t value) noexcept { return Variant(VariantType::kByte, value); }
  static Variant Date(double value) noexcept {
    return Variant(VariantType::kDate, std::bit_cast<std::uint64_t>(value));
  }
  static Variant Object(TObject* object) noexcept {
    return Variant(VariantType::kObject, PointerBits(object));
  }
  // An object of the scripter's object table, by its handle.
  static Variant ObjectHandle(std::uint32_t handle) noexcept {
    return Variant(VariantType::kObject, kObjectHandleTag | handle);
  }
  static Variant Class(const ClassInfo* class_info) noexcept {
    return Variant(VariantType::kClass, PointerBits(class_info));
  }
  // A reference to `target`, which must outlive every use of the reference.
  static Variant ReferenceTo(Variant* target) noexcept {
    return Variant(VariantType::kReference, PointerBits(target));
  }
  // The String `head` followed by `tail`.
  static Variant Concatenation(std::string_view head, std::string_view tail);
  // A one-dimensional array with bounds 0..n-1 holding `elements`.
  static Variant ArrayOf(std::vector<Variant> elements);
  // An array with the given bounds per dimension (1 to 5 of them), every
  // element Unassigned. Raises VariantArrayCreateError (variant_array.h)
  // for another number of dimensions or a high bound below low - 1.
  static Variant ArrayWithBounds(std::span<const VariantArrayBounds> bounds);

  Variant(const Variant& other) noexcept : type_(other.type_), bits_(other.bits_) {
    if (IsHeapType(type_)) RetainHeap();
  }
  Variant(Variant&& other) noexcept : type_(other.type_), bits_(other.bits_) {
    other.type_ = VariantType::kUnassigned;
  }
  Variant& operator=(const Variant& other) noexcept {
    // Fields are taken first: `other` may live inside what this value
    // releases (an element of its own array).
    const VariantType type = other.type_;
    const std::uint64_t bits = other.bits_;
    if (IsHeapType(type)) RetainHeap(type, bits);
    if (IsHeapType(type_)) ReleaseHeap();
    type_ = type;
    bits_ = bits;
    return *this;
  }
  Variant& operator=(Variant&& other) noexcept {
    const VariantType type = other.type_;
    const std::uint64_t bits = other.bits_;
    other.type_ = VariantType::kUnassigned;
    if (IsHeapType(type_)) ReleaseHeap();
    type_ = type;
    bits_ = bits;
    return *this;
  }
  ~Variant() {
    if (IsHeapType(type_)) ReleaseHeap();
  }

  VariantType Type() const noexcept { return type_; }
  bool IsUnassigned() const noexcept { return type_ == VariantType::kUnassigned; }
  bool IsNull() const noexcept { return type_ == VariantType::kNull; }
  bool IsString() const noexcept { return type_ == VariantType::kString; }
  bool IsArray() const noexcept { return type_ == VariantType::kArray; }
  bool IsReference() const noexcept { return type_ == VariantType::kReference; }

  // The name of this value's kind, as conversion errors print it.
  const char* TypeName() const noexcept { return TypeName(type_); }
  static const char* TypeName(VariantType type) noexcept;

  // The variant a reference points at (this one when it is no reference).
  const Variant& Dereference() const noexcept {
    const Variant* v = this;
    for (int i = 0; i < kMaxReferenceDepth && v->type_ == VariantType::kReference &&
                    v->RawReference() != nullptr;
         ++i) {
      v = v->RawReference();
    }
    return *v;
  }
  Variant& Dereference() noexcept {
    return const_cast<Variant&>(static_cast<const Variant*>(this)->Dereference());
  }

  // Raw payload, unchecked: the caller has tested Type().
  bool RawBoolean() const noexcept { return bits_ != 0; }
  std::int32_t RawInteger() const noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits_));
  }
  std::uint8_t RawByte() const noexcept { return static_cast<std::uint8_t>(bits_); }
  // Double and Date.
  double RawDouble() const noexcept { return std::bit_cast<double>(bits_); }
  // An Object held by pointer; null for none and for an object held by
  // handle, which only the object table can resolve.
  TObject* RawObject() const noexcept {
    return (bits_ & kObjectHandleTag) != 0 ? nullptr : BitsPointer<TObject>();
  }
  // An Object held by handle (IsObjectHandle), and its handle.
  bool IsObjectHandle() const noexcept {
    return type_ == VariantType::kObject && (bits_ & kObjectHandleTag) != 0;
  }
  std::uint32_t RawObjectHandle() const noexcept { return static_cast<std::uint32_t>(bits_); }
  const ClassInfo* RawClass() const noexcept { return BitsPointer<const ClassInfo>(); }
  Variant* RawReference() const noexcept { return BitsPointer<Variant>(); }
  // The characters of a String; valid while this value holds them.
  std::string_view StringView() const noexcept {
    const VariantString* buffer = BitsPointer<const VariantString>();
    return buffer != nullptr ? buffer->View() : std::string_view();
  }
  // The array of an Array value, shared with other holders.
  const VariantArray& ArrayValue() const noexcept { return *BitsPointer<VariantArray>(); }

  // The array of an Array value, made this value's own first (copied when
  // other holders share it), so it may be changed.
  VariantArray& MutableArray();

  // String changes, in place when nobody else holds the characters. The
  // value must be a String. `text` may point into this value's characters.
  void AppendString(std::string_view text);
  // Replaces `count` characters from 0-based `position` (both within the
  // string) by `text`.
  void ReplaceString(std::size_t position, std::size_t count, std::string_view text);

  // Setters for the machine's fast paths.
  void SetInteger(std::int32_t value) noexcept {
    SetScalar(VariantType::kInteger, IntegerBits(value));
  }
  void SetDouble(double value) noexcept {
    SetScalar(VariantType::kDouble, std::bit_cast<std::uint64_t>(value));
  }
  void SetDate(double value) noexcept {
    SetScalar(VariantType::kDate, std::bit_cast<std::uint64_t>(value));
  }
  void SetBoolean(bool value) noexcept { SetScalar(VariantType::kBoolean, value); }
  void SetNull() noexcept { SetScalar(VariantType::kNull, 0); }
  void Clear() noexcept { SetScalar(VariantType::kUnassigned, 0); }

  // Standard conversions; they follow a reference. Failures raise
  // VariantTypeCastError, numbers outside the target's range
  // VariantOverflowError. Null converts to nothing; Unassigned to 0 and "".
  //
  // To a double. Strings must read wholly as a decimal number.
  double ToDouble() const {
    if (type_ == VariantType::kInteger) return RawInteger();
    if (type_ == VariantType::kDouble) return RawDouble();
    return ToDoubleSlow();
  }
  // To a 32-bit integer; fractions round half to even (2.5 gives 2).
  std::int32_t ToInteger() const {
    if (type_ == VariantType::kInteger) return RawInteger();
    return ToIntegerSlow();
  }
  // Through a double, rounded half to even to 64 bits: the operands of the
  // bitwise and shift operators.
  std::int64_t ToInt64Rounded() const;
  // Numbers: not 0. Strings: "True" or "False" in any letter case, or a
  // number.
  bool ToBoolean() const;
  // Numbers as number_text.h prints them, Booleans as "True" and "False",
  // dates in the locale's short date and long time form (time left out at
  // midnight).
  std::string ToString() const;
  // Numbers as they are. A string converts only when it reads as a number:
  // texts of dates are read by the date functions of the libraries.
  double ToDate() const;

 private:
  // The payload is one 64-bit word, always written whole: a narrower store
  // followed by a full-width read (the next copy) would stall the
  // processor's store forwarding on every operation.
  static constexpr std::uint64_t IntegerBits(std::int32_t value) noexcept {
    return static_cast<std::uint32_t>(value);
  }
  static std::uint64_t PointerBits(const void* pointer) noexcept {
    return reinterpret_cast<std::uintptr_t>(pointer);
  }
  template <typename T>
  T* BitsPointer() const noexcept {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(bits_));
  }

  // Marks the payload of an Object held by handle. No user-space address
  // has its top bit set, so a pointer never carries the mark.
  static constexpr std::uint64_t kObjectHandleTag = std::uint64_t{1} << 63;

  // The number an Object or Class reads as.
  std::int32_t ReferenceNumber() const noexcept;

  static constexpr std::uint32_t kHeapTypes = (1u << static_cast<unsigned>(VariantType::kString)) |
                                              (1u << static_cast<unsigned>(VariantType::kArray));
  static constexpr bool IsHeapType(VariantType type) noexcept {
    return ((kHeapTypes >> static_cast<unsigned>(type)) & 1u) != 0;
  }

  Variant(VariantType type, std::uint64_t bits) noexcept : type_(type), bits_(bits) {}

  // Drops a heap payload, then sets tag and payload.
  void SetScalar(VariantType type, std::uint64_t bits) noexcept {
    if (IsHeapType(type_)) ReleaseHeap();
    type_ = type;
    bits_ = bits;
  }

  void RetainHeap() const noexcept { RetainHeap(type_, bits_); }
  static void RetainHeap(VariantType type, std::uint64_t bits) noexcept;
  void ReleaseHeap() noexcept;

  [[noreturn]] void ThrowCast(const char* target) const;
  double ToDoubleSlow() const;
  std::int32_t ToIntegerSlow() const;

  VariantType type_;
  // By kind: Boolean 0 or 1; Integer and Byte zero-extended; Double and
  // Date the bits of the double; String the VariantString (0 for the empty
  // string); Array the VariantArray (never 0); Object the pointer or
  // kObjectHandleTag plus the handle; Class and Reference the pointer;
  // unused for Unassigned and Null.
  std::uint64_t bits_;
};

static_assert(sizeof(Variant) == 16, "a value is a tag and an 8-byte payload");

// Raise the conversion errors with their texts: "Could not convert variant
// of type (`source`) into type (`target`)" and "Variant overflow".
[[noreturn]] void ThrowVariantTypeCast(const char* source, const char* target);
[[noreturn]] void ThrowVariantOverflow();

// `value` rounded to the nearest whole number, halves to the even one.
double RoundHalfEven(double value) noexcept;

// `value` rounded half to even as a 32-bit integer; VariantOverflowError
// when it does not fit (also for infinities and NaN).
std::int32_t RoundToInt32(double value);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_VARIANT_H_
