// The character buffer behind string values of the script engine.
//
// A VariantString is a block of 8-bit characters (no encoding assumed) with
// an intrusive reference count, allocated together with its header. Copying
// a string value only counts one more holder; the characters are copied
// only when a holder changes a buffer that another holder still shares.
//
// The count is atomic, so values may be handed between threads; each value
// itself (the Variant holding the pointer) is used by one thread at a time.
// A buffer that only one holder references may be changed in place: that
// holder is the only one who can see it, and no other thread can start
// sharing it without going through that holder.
#ifndef VANTREL_SCRIPT_VALUES_VARIANT_STRING_H_
#define VANTREL_SCRIPT_VALUES_VARIANT_STRING_H_

#include <atomic>
#include <cstddef>
#include <string_view>

namespace vantrel {

class VariantString {
 public:
  VariantString(const VariantString&) = delete;
  VariantString& operator=(const VariantString&) = delete;

  // A new buffer holding `text` with room for at least `capacity`
  // characters; its count is 1.
  static VariantString* Create(std::string_view text, std::size_t capacity = 0);

  // A new buffer holding `head` followed by `tail`; its count is 1.
  static VariantString* Concat(std::string_view head, std::string_view tail);

  // Appends `tail` to `buffer`, which must have no other holder (count 1).
  // Extends it in place when its capacity allows, otherwise moves the text
  // to a buffer of at least twice the size and frees the old one. Returns
  // the buffer now holding the text. `tail` may point into `buffer`.
  static VariantString* Append(VariantString* buffer, std::string_view tail);

  void Retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }

  // Drops one holder; frees the buffer when it was the last.
  void Release() noexcept {
    // With a count of 1 the caller is the only holder: nobody else can
    // raise the count meanwhile, so the atomic decrement can be skipped.
    if (refs_.load(std::memory_order_acquire) == 1 ||
        refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      Free(this);
    }
  }

  // True when the caller's reference is the only one.
  bool IsUnique() const noexcept { return refs_.load(std::memory_order_acquire) == 1; }

  std::size_t Size() const noexcept { return size_; }
  std::size_t Capacity() const noexcept { return capacity_; }
  std::string_view View() const noexcept { return std::string_view(Data(), size_); }
  const char* Data() const noexcept { return reinterpret_cast<const char*>(this + 1); }
  // Writable characters; only for a buffer with no other holder.
  char* MutableData() noexcept { return reinterpret_cast<char*>(this + 1); }

 private:
  explicit VariantString(std::size_t capacity) noexcept : capacity_(capacity) {}
  ~VariantString() = default;

  static VariantString* Allocate(std::size_t capacity);
  static void Free(VariantString* buffer) noexcept;

  std::atomic<std::size_t> refs_{1};
  std::size_t size_ = 0;
  std::size_t capacity_;  // Characters that fit behind the header.
  // The characters follow the header in the same allocation.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_VARIANT_STRING_H_
