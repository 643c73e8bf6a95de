// A request's bytes held in memory, read through HttpByteSource: what
// tests, the benchmark and the fuzz target feed the request parser. The
// end of the bytes is the end of input. The viewed bytes must outlive the
// source.
#ifndef VANTREL_HTTP_MEMORY_BYTE_SOURCE_H_
#define VANTREL_HTTP_MEMORY_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/http_byte_source.h"

namespace vantrel {

class MemoryByteSource final : public HttpByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}

  std::string ReadLine(std::size_t max_bytes) override;
  void ReadExact(std::int64_t count, std::string& out) override;
  void ReadToClose(std::string& out, std::int64_t max_bytes) override;

  // The bytes not yet read.
  std::string_view Remaining() const { return bytes_.substr(position_); }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;  // <= bytes_.size().
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_MEMORY_BYTE_SOURCE_H_
