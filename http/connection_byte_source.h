// A live connection read through HttpByteSource: the request parser's view
// of the TcpConnection of a peer thread.
//
// Reads use the connection's own buffered reads, so bytes the parser does
// not consume stay in the connection's read buffer. To hold a line within
// its limit while it is still arriving, the source watches the
// connection's read progress (its OnWork event) during ReadLine and stops
// the read once the connection buffers more than the limit without an LF.
// The event is cleared afterwards, so the connection must not carry an
// OnWork handler of its own (the server's connections carry none). Used by
// the thread that owns the connection; the connection must outlive the
// source.
#ifndef VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_
#define VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_byte_source.h"
#include "http/tcp_connection.h"

namespace vantrel {

class ConnectionByteSource final : public HttpByteSource {
 public:
  explicit ConnectionByteSource(TcpConnection& connection) : connection_(connection) {}

  std::string ReadLine(std::size_t max_bytes) override;
  void ReadExact(std::int64_t count, std::string& out) override;
  void ReadToClose(std::string& out, std::int64_t max_bytes) override;

 private:
  TcpConnection& connection_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_
