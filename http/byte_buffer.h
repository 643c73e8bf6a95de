// A growable in-memory byte stream: the read and write buffers of a
// connection, and a place to collect a body.
//
// Besides the Stream operations it can drop bytes from its front
// (Remove), which is how a connection consumes what it has read. Owned by
// one object and used by one thread at a time.
#ifndef VANTREL_HTTP_BYTE_BUFFER_H_
#define VANTREL_HTTP_BYTE_BUFFER_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/stream.h"

namespace vantrel {

class ByteBuffer final : public Stream {
 public:
  ByteBuffer() = default;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
  void SetSize(std::int64_t size) override;
  std::int64_t Position() const override { return position_; }
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin = SeekOrigin::kBegin) override;

  // Appends at the end, whatever the position; the position is unchanged.
  void Append(const void* buffer, std::int64_t count);

  // Drops the first `count` bytes: the rest moves to the front (all of it
  // goes when `count` equals the size). The position moves back by `count`,
  // not below 0, so it keeps pointing at the same byte. Raises
  // NotEnoughDataInBufferError "Not enough data in buffer." when `count`
  // exceeds the size; the buffer is then unchanged. `count` <= 0 does
  // nothing.
  void Remove(std::int64_t count);

  // Empties the buffer and moves the position to 0.
  void Clear();

  // The contents; valid until the next change.
  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  const char* Data() const { return bytes_.data(); }

 private:
  std::vector<char> bytes_;    // The contents; size() is the stream size.
  std::int64_t position_ = 0;  // >= 0, may exceed the size (see Stream::Seek).
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_BYTE_BUFFER_H_
