#include "http/byte_buffer.h"

#include <algorithm>
#include <cstring>

#include "http/net_errors.h"

namespace vantrel {

std::int64_t ByteBuffer::Read(void* buffer, std::int64_t count) {
  const std::int64_t available = Size() - position_;
  if (count <= 0 || available <= 0) return 0;
  const std::int64_t n = std::min(count, available);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

std::int64_t ByteBuffer::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const std::int64_t end = position_ + count;
  if (end > Size()) bytes_.resize(static_cast<size_t>(end));
  std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

void ByteBuffer::SetSize(std::int64_t size) {
  size = std::max<std::int64_t>(0, size);
  bytes_.resize(static_cast<size_t>(size));
  position_ = std::min(position_, size);
}

std::int64_t ByteBuffer::Seek(std::int64_t offset, SeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == SeekOrigin::kCurrent) base = position_;
  if (origin == SeekOrigin::kEnd) base = Size();
  position_ = std::max<std::int64_t>(0, base + offset);
  return position_;
}

void ByteBuffer::Append(const void* buffer, std::int64_t count) {
  if (count <= 0) return;
  const char* bytes = static_cast<const char*>(buffer);
  bytes_.insert(bytes_.end(), bytes, bytes + count);
}

void ByteBuffer::Remove(std::int64_t count) {
  if (count <= 0) return;
  if (count > Size()) throw NotEnoughDataInBufferError(kNotEnoughDataInBufferMessage);
  if (count == Size()) {
    bytes_.clear();
  } else {
    bytes_.erase(bytes_.begin(), bytes_.begin() + count);
  }
  position_ = std::max<std::int64_t>(0, position_ - count);
}

void ByteBuffer::Clear() {
  bytes_.clear();
  position_ = 0;
}

}  // namespace vantrel
