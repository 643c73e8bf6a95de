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
// source. Slow clients are held to the read limits given at construction.
#ifndef VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_
#define VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/deadline.h"
#include "http/http_byte_source.h"
#include "http/tcp_connection.h"

namespace vantrel {

class ConnectionByteSource final : public HttpByteSource {
 public:
  // Without read limits: reads wait as long as the peer keeps the
  // connection open.
  explicit ConnectionByteSource(TcpConnection& connection) : connection_(connection) {}
  // With read limits: ReadLine raises SocketError 10060 once
  // `header_timeout_ms` have passed since the source was made, ReadExact
  // and ReadToClose once no byte has arrived for `body_stall_ms`. The
  // connection carries the limits only during those reads.
  ConnectionByteSource(TcpConnection& connection, int header_timeout_ms, int body_stall_ms);

  std::string ReadLine(std::size_t max_bytes) override;
  void ReadExact(std::int64_t count, std::string& out) override;
  void ReadToClose(std::string& out, std::int64_t max_bytes) override;

 private:
  TcpConnection& connection_;
  const Deadline header_deadline_ = Deadline::Never();
  const int body_stall_ms_ = TcpConnection::kNoTimeout;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_
