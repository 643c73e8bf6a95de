#include "http/memory_byte_source.h"

#include <algorithm>

#include "http/http_errors.h"

namespace vantrel {

std::string MemoryByteSource::ReadLine(std::size_t max_bytes) {
  const std::string_view rest = Remaining();
  const std::string_view window = rest.substr(0, std::min(rest.size(), max_bytes));
  const std::size_t lf = window.find('\n');
  if (lf == std::string_view::npos) {
    // The line needs more than the limit allows, or the input ends first.
    if (rest.size() >= max_bytes) throw HttpRequestTooLargeError(kRequestLineTooLargeMessage);
    position_ = bytes_.size();
    throw ConnClosedGracefullyError(kConnClosedGracefullyMessage);
  }
  std::size_t length = lf;
  if (length > 0 && rest[length - 1] == '\r') --length;
  position_ += lf + 1;
  return std::string(rest.substr(0, length));
}

void MemoryByteSource::ReadExact(std::int64_t count, std::string& out) {
  if (count <= 0) return;
  const std::string_view rest = Remaining();
  if (static_cast<std::uint64_t>(count) > rest.size()) {
    out.append(rest);
    position_ = bytes_.size();
    throw ConnClosedGracefullyError(kConnClosedGracefullyMessage);
  }
  out.append(rest.substr(0, static_cast<std::size_t>(count)));
  position_ += static_cast<std::size_t>(count);
}

void MemoryByteSource::ReadToClose(std::string& out, std::int64_t max_bytes) {
  const std::string_view rest = Remaining();
  if (max_bytes < 0 || static_cast<std::uint64_t>(max_bytes) < rest.size()) {
    throw HttpRequestTooLargeError(kRequestBodyTooLargeMessage);
  }
  out.append(rest);
  position_ = bytes_.size();
}

}  // namespace vantrel
