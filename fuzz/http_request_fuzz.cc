// Feeds arbitrary bytes to the request parser as one request. Every
// failure must be one of the system's own errors; crashes, leaks and
// undefined behaviour are findings.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "http/http_request_parser.h"
#include "http/memory_byte_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantrel::MemoryByteSource source(std::string_view(reinterpret_cast<const char*>(data), size));
  vantrel::HttpRequestLine line;
  vantrel::HttpRequestInfo request;
  try {
    vantrel::ParseRequest(source, /*parse_params=*/true, line, request);
  } catch (const vantrel::Exception&) {
    // Malformed requests are refused with an error: the expected outcome.
  }
  return 0;
}
