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
  // `header_timeout_ms` have passed since the source was made; ReadExact
  // and ReadToClose once no byte has arrived for `body_stall_ms`, or once
  // the whole request has taken longer than `header_timeout_ms` plus its
  // body at `min_body_rate` bytes a second (0: no such limit). The body is
  // the count ReadExact is to read; for ReadToClose, what has arrived so
  // far, so a client that keeps sending at the rate may go on to the
  // reader's limit. The connection carries the limits only during reads.
  ConnectionByteSource(TcpConnection& connection, int header_timeout_ms, int body_stall_ms,
                       int min_body_rate = 0);

  std::string ReadLine(std::size_t max_bytes) override;
  void ReadExact(std::int64_t count, std::string& out) override;
  void ReadToClose(std::string& out, std::int64_t max_bytes) override;

 private:
  // The deadline of the whole request when its body has `body_bytes`.
  Deadline BodyDeadline(std::int64_t body_bytes) const;

  TcpConnection& connection_;
  const Deadline::Clock::time_point start_ = Deadline::Clock::now();
  const int header_timeout_ms_ = TcpConnection::kNoTimeout;  // kNoTimeout or >= 0
  const Deadline header_deadline_ = Deadline::Never();
  const int body_stall_ms_ = TcpConnection::kNoTimeout;
  const int min_body_rate_ = 0;  // Bytes a second; 0: no limit.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_CONNECTION_BYTE_SOURCE_H_
