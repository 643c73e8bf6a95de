#include "script/values/variant_string.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace vantrel {
namespace {

// Largest text a buffer may hold, so that header plus characters never
// overflows a size_t.
constexpr std::size_t kMaxCapacity =
    std::numeric_limits<std::size_t>::max() / 2 - sizeof(std::size_t) * 8;

}  // namespace

VariantString* VariantString::Allocate(std::size_t capacity) {
  if (capacity > kMaxCapacity) throw std::bad_alloc();
  void* memory = ::operator new(sizeof(VariantString) + capacity);
  return new (memory) VariantString(capacity);
}

void VariantString::Free(VariantString* buffer) noexcept {
  buffer->~VariantString();
  ::operator delete(static_cast<void*>(buffer));
}

VariantString* VariantString::Create(std::string_view text, std::size_t capacity) {
  VariantString* buffer = Allocate(std::max(capacity, text.size()));
  if (!text.empty()) std::memcpy(buffer->MutableData(), text.data(), text.size());
  buffer->size_ = text.size();
  return buffer;
}

VariantString* VariantString::Concat(std::string_view head, std::string_view tail) {
  if (tail.size() > kMaxCapacity - head.size()) throw std::bad_alloc();
  VariantString* buffer = Allocate(head.size() + tail.size());
  char* data = buffer->MutableData();
  if (!head.empty()) std::memcpy(data, head.data(), head.size());
  if (!tail.empty()) std::memcpy(data + head.size(), tail.data(), tail.size());
  buffer->size_ = head.size() + tail.size();
  return buffer;
}

VariantString* VariantString::Append(VariantString* buffer, std::string_view tail) {
  const std::size_t size = buffer->size_;
  if (tail.size() > kMaxCapacity - size) throw std::bad_alloc();
  const std::size_t needed = size + tail.size();
  if (needed <= buffer->capacity_) {
    // `tail` may lie inside this buffer, but only below `size`, so the
    // source and the destination never overlap.
    if (!tail.empty()) std::memcpy(buffer->MutableData() + size, tail.data(), tail.size());
    buffer->size_ = needed;
    return buffer;
  }
  // Doubling keeps a run of appends linear in the final length.
  const std::size_t grown = buffer->capacity_ <= kMaxCapacity / 2 ? buffer->capacity_ * 2 : needed;
  VariantString* larger = Allocate(std::max({needed, grown, std::size_t{16}}));
  char* data = larger->MutableData();
  if (size != 0) std::memcpy(data, buffer->Data(), size);
  // Copied before the old buffer goes, in case `tail` points into it.
  if (!tail.empty()) std::memcpy(data + size, tail.data(), tail.size());
  larger->size_ = needed;
  Free(buffer);
  return larger;
}

}  // namespace vantrel
