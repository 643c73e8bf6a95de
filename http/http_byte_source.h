// The bytes of one request, as the request parser reads them.
//
// The parser reads only through this interface, so the same parsing code
// runs on a live connection (ConnectionByteSource) and on bytes in memory
// (MemoryByteSource, for tests and fuzzing). A source is used by one
// thread.
//
// End of input: a read that needs bytes the source will never deliver
// raises ConnClosedGracefullyError (ReadToClose excepted, which simply
// stops there). No source reserves memory ahead of the bytes it actually
// holds: a count or limit is never allocated up front.
#ifndef VANTREL_HTTP_HTTP_BYTE_SOURCE_H_
#define VANTREL_HTTP_HTTP_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel {

class HttpByteSource {
 public:
  HttpByteSource() = default;
  HttpByteSource(const HttpByteSource&) = delete;
  HttpByteSource& operator=(const HttpByteSource&) = delete;
  virtual ~HttpByteSource() = default;

  // Reads up to the next LF and returns the bytes before it, without the
  // LF and without one CR right before it. Raises HttpRequestTooLargeError
  // when the line with its LF would exceed `max_bytes` (some bytes past
  // the limit may have been read by then) and ConnClosedGracefullyError
  // when input ends before the LF.
  virtual std::string ReadLine(std::size_t max_bytes) = 0;

  // Appends exactly `count` bytes to `out`. Raises
  // ConnClosedGracefullyError when input ends first (what arrived may have
  // been appended).
  virtual void ReadExact(std::int64_t count, std::string& out) = 0;

  // Appends everything up to the end of input to `out`. Raises
  // HttpRequestTooLargeError as soon as more than `max_bytes` would be
  // appended.
  virtual void ReadToClose(std::string& out, std::int64_t max_bytes) = 0;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_BYTE_SOURCE_H_
