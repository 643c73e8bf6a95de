// An abstract byte stream with a position: the common shape of in-memory
// buffers and files that the network layer reads from and writes to.
//
// A stream is used by one thread at a time; none of the implementations
// locks. Positions and sizes are byte counts from the start.
#ifndef VANTREL_BASE_STREAM_H_
#define VANTREL_BASE_STREAM_H_

#include <cstdint>

#include "base/exception.h"

namespace vantrel {

// A stream operation the stream cannot carry out (a failed read, a write to
// a stream opened for reading).
VANTREL_ERROR_CLASS(StreamError, Exception);

enum class SeekOrigin { kBegin, kCurrent, kEnd };

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  virtual ~Stream() = default;

  // Copies up to `count` bytes from the position into `buffer` and advances
  // the position by the number copied, which is returned. 0 means the end of
  // the stream (or `count` <= 0).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;

  // Writes `count` bytes at the position, growing the stream when needed,
  // and advances the position. Returns the number written.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;

  virtual std::int64_t Size() const = 0;

  // Grows or cuts the stream to `size` bytes. A position beyond the new end
  // moves to the end.
  virtual void SetSize(std::int64_t size) = 0;

  virtual std::int64_t Position() const = 0;

  // Moves the position to `offset` from `origin` and returns the new
  // position. The position never becomes negative; it may lie beyond the
  // end, where a read returns 0 and a write first fills the gap with zeros.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin = SeekOrigin::kBegin) = 0;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_STREAM_H_
