// The body of a streamed response: a response whose body its producer
// writes as it goes, for as long as it likes, instead of leaving it in the
// response record for the server to send (a stream of events, say).
//
// A handler asks for one by setting HttpResponseInfo::BodyWriter. After the
// handler returns, the server writes the header (without Content-Length:
// the closed connection ends the body) and calls the writer on the peer
// thread with a ResponseStream over the connection; the connection closes
// when the writer returns. The connection thread stays the stream's for
// that long, so every stream counts against TcpServer::MaxConnections.
//
// The writer waits for something to send with Wait, which returns as soon
// as another thread calls Wake, the client closes the connection, the
// server drops it (deactivation) or the time-out passes; so a stream never
// outlives its client or the server by more than a moment, and it costs no
// wake-ups while nothing happens. Bytes the client sends on the connection
// are read and thrown away.
//
// Threads: Write and Wait are for the peer thread only; Wake may be called
// from any thread while the stream exists, and never waits (a byte into a
// non-blocking pipe). Failures: Write raises what the connection raises
// when the client has gone (ConnClosedGracefullyError, SocketError), which
// the server takes as the end of the stream; the constructor raises
// SocketError when no wake-up pipe can be had.
#ifndef VANTREL_HTTP_RESPONSE_STREAM_H_
#define VANTREL_HTTP_RESPONSE_STREAM_H_

#include <chrono>
#include <string_view>

namespace vantrel {

class TcpConnection;

class ResponseStream {
 public:
  enum class WaitResult {
    kWoken,     // Wake was called (since the last Wait).
    kTimedOut,  // Nothing happened within the time-out.
    kClosed,    // The client closed the connection or the server dropped it.
  };

  // `connection` must outlive the stream.
  explicit ResponseStream(TcpConnection& connection);
  ~ResponseStream();
  ResponseStream(const ResponseStream&) = delete;
  ResponseStream& operator=(const ResponseStream&) = delete;

  // Sends `bytes` at once, waiting while the client's receive window is
  // full.
  void Write(std::string_view bytes);

  // Waits at most `timeout` for a wake-up or the end of the connection.
  WaitResult Wait(std::chrono::milliseconds timeout);

  // Ends the producer's current or next Wait with kWoken. Any thread.
  void Wake();

 private:
  // Reads what the client sent; false when it has closed or the
  // connection was dropped.
  bool ClientStillThere();

  TcpConnection& connection_;
  int wake_read_ = -1;   // Non-blocking pipe: a byte in it is a wake-up.
  int wake_write_ = -1;  // Written by Wake, from any thread.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_RESPONSE_STREAM_H_
