// A buffered TCP connection: reading lines and byte counts, writing text,
// bytes, streams and files, and dropping the socket.
//
// A connection is used by one thread, its owner (for an accepted
// connection, the peer thread serving it). The one exception is
// RequestDrop, which another thread may call to make the owner let go of
// the connection. Bytes received but not yet consumed wait in the read
// buffer; one receive reads at most RecvBufferSize bytes, so memory grows
// only with bytes that actually arrived. A line has no length limit here.
//
// End of input: when the peer closes, reads that still need bytes raise
// ConnClosedGracefullyError "Connection Closed Gracefully." once the read
// buffer cannot satisfy them; the socket is then dropped and
// ClosedGracefully() is true. Socket failures raise SocketError with the
// Windows Sockets code.
#ifndef VANTREL_HTTP_TCP_CONNECTION_H_
#define VANTREL_HTTP_TCP_CONNECTION_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/deadline.h"
#include "base/stream.h"
#include "http/byte_buffer.h"
#include "http/net_component.h"
#include "http/socket_handle.h"

namespace vantrel {

class FileStream;

class TcpServer;

class TcpConnection : public NetComponent {
 public:
  static constexpr int kDefaultRecvBufferSize = 32768;
  static constexpr int kDefaultSendBufferSize = 32768;
  // Time-out value meaning "wait without limit".
  static constexpr int kNoTimeout = -1;

  using DisconnectedEvent = std::function<void(TcpConnection& sender)>;

  TcpConnection() = default;
  // Closes the socket if still open, without status reports or events.
  ~TcpConnection() override;

  // The socket record. Read PeerIP and PeerPort before the socket is
  // dropped: dropping clears them.
  const SocketHandle& Socket() const { return socket_; }

  int RecvBufferSize() const { return recv_buffer_size_; }
  void SetRecvBufferSize(int size);  // At least 1.
  int SendBufferSize() const { return send_buffer_size_; }
  void SetSendBufferSize(int size);  // At least 1.

  // The last receive or send returned 0 bytes, or the socket was dropped.
  bool ClosedGracefully() const { return closed_gracefully_; }
  // The last ReadTextLine ended by its time-out.
  bool ReadTimedOut() const { return read_timed_out_; }
  // Bytes received and not yet consumed.
  const ByteBuffer& InputBuffer() const { return input_buffer_; }

  // Limits on every wait for bytes, on top of a read's own time-out: no
  // wait goes past the read deadline, and none lasts longer than the stall
  // time-out (ms). A read that reaches either limit raises SocketError
  // 10060 ("Connection timed out."), keeping what arrived in the read
  // buffer. Both are off (Deadline::Never(), kNoTimeout) unless set.
  void SetReadDeadline(Deadline deadline) { read_deadline_ = deadline; }
  void SetReadStallTimeout(int milliseconds) { read_stall_timeout_ = milliseconds; }

  // Raised on the owner when the socket is dropped.
  void SetOnDisconnected(DisconnectedEvent handler) { on_disconnected_ = std::move(handler); }

  // Reads up to `terminator` (empty: LF) and returns the bytes before it;
  // with the default terminator a CR before the LF is removed too, with any
  // other terminator it stays. Waits at most `timeout_ms` for each arrival
  // of bytes (kNoTimeout: no limit); when that passes, ReadTimedOut() is
  // set and "" is returned, the partial line staying in the buffer. Raises
  // ConnClosedGracefullyError when the peer closes before the terminator,
  // even with a partial line buffered.
  std::string ReadTextLine(std::string_view terminator = {}, int timeout_ms = kNoTimeout);

  // Writes exactly `count` bytes into `stream` at its position, then cuts
  // the stream off after them. Raises ConnClosedGracefullyError when the
  // peer closes first. Memory grows only as bytes arrive, whatever `count`.
  void ReadExactToStream(Stream& stream, std::int64_t count);

  // Writes everything until the peer closes into `stream` at its position,
  // then cuts the stream off after it. The close itself is not an error.
  void ReadToCloseStream(Stream& stream);

  // Sends the bytes of `text` (nothing for "").
  void WriteText(std::string_view text);
  // Sends `text` followed by CR LF.
  void WriteLine(std::string_view text);

  // Sends `count` bytes (nothing for count <= 0), or appends them to the
  // write buffer while one exists. Raises ConnClosedGracefullyError when the
  // connection is closed, SocketError when sending fails.
  void SendBytes(const void* data, std::int64_t count);

  // Sends the whole stream from its start, in chunks of SendBufferSize.
  // Raises NoDataToReadError "No data to read." when the stream ends before
  // its size.
  void SendStream(Stream& stream);
  // Sends exactly the first `count` bytes of the stream, from its start:
  // the caller read the size once (for a Content-Length, say), and bytes
  // the stream gains meanwhile are not sent. Raises NoDataToReadError when
  // the stream ends before `count`.
  void SendStream(Stream& stream, std::int64_t count);

  // Sends the contents of a file (opened for reading while others may read
  // and write it) as large as it is when opened, and returns the number of
  // bytes sent. Raises
  // FileOpenError when it cannot be opened.
  std::int64_t SendFileContents(const std::string& file_name);

  // Collects written bytes in a write buffer instead of sending them. With
  // `threshold` > 0, whenever the buffer holds at least `threshold` bytes,
  // that many are sent from its front; with `threshold` <= 0 nothing leaves
  // before EndBufferedWrite. Calling it again keeps what is buffered.
  void BeginBufferedWrite(int threshold);
  // Discards the write buffer and sends what it held. The buffer is gone
  // even when sending fails.
  void EndBufferedWrite();

  // Checks for a disconnection (dropping the socket if the peer has closed
  // or a drop was requested), without raising; returns whether a socket is
  // open.
  bool IsConnected();

  // Drops the socket.
  void CloseConnection() { DropSocket(); }

  // Ends a connection whose peer may still be sending what the owner chose
  // not to read (the body of a refused request): shuts the sending side
  // down, so the peer sees the end of the answer, then throws away what
  // arrives until the peer closes, `max_bytes` have come or `max_ms` have
  // passed (with 0, only what has arrived already), and drops the socket. Closing with unread bytes
  // waiting makes the system reset the connection, and the peer could lose the answer before
  // reading it. Never raises.
  void DiscardInputAndClose(int max_ms, std::int64_t max_bytes);

  // If a socket is open: reports "Disconnecting from <PeerIP>.", shuts down
  // and closes the socket, resets the whole socket record, sets
  // ClosedGracefully, reports "Not connected." and raises OnDisconnected.
  void DropSocket();

  // May be called from any thread. Shuts the socket down in both
  // directions, so that a receive, wait or send of the owner returns at
  // once, and marks the connection so that the owner's next check for a
  // disconnection drops the socket. The descriptor itself is closed only
  // by the owner, so it can never be closed under the owner's feet.
  void RequestDrop();

 protected:
  // Accepts a connection waiting on `listening_handle` into the socket
  // record. Called before the connection is handed to its owner.
  void AcceptFrom(int listening_handle);
  // The same without waiting; false when no connection is waiting.
  bool TryAcceptFrom(int listening_handle);

 private:
  // If the peer has closed, a drop was requested or no socket is open:
  // drops the socket if still open, and with `raise` raises
  // ConnClosedGracefullyError when the read buffer is empty or
  // `ignore_buffer` is set.
  void CheckForDisconnect(bool raise, bool ignore_buffer);

  // One receive: waits up to `timeout_ms` for bytes, then receives at most
  // RecvBufferSize of them into the read buffer, or at most `target_size`
  // into `target` when given. Returns the count; 0 after a time-out or when
  // the peer has closed (raising instead when `raise` is set and the read
  // buffer is empty).
  int ReceiveStep(bool raise, int timeout_ms, char* target = nullptr, int target_size = 0);
  // Receives at most `length` bytes into `into`, waiting up to `timeout_ms`
  // (kNoTimeout: no limit) for them within the read limits. Returns what the
  // stack's receive returns; -1 with kWsaWouldBlock in `error` when the
  // caller's time-out passed first.
  int WaitAndReceive(int timeout_ms, char* into, int length, int& error);
  // The longest the next wait may last under the read limits, in ms, or
  // kNoTimeout. Raises SocketError 10060 once the deadline has passed.
  int ReadLimitWait() const;

  // Sends all `count` bytes directly, in a loop.
  void SendAll(const char* data, std::int64_t count);
  // Sends the first `size` bytes of the stream; returns `size`.
  std::int64_t SendStreamContents(Stream& stream, std::int64_t size);
  // The same straight from a file's descriptor (no write buffer open).
  std::int64_t SendFileDirect(FileStream& file, std::int64_t size);
  char* Scratch();

  // The socket. Written only by the owner (and by AcceptFrom before the
  // connection has an owner), always under socket_mutex_; the owner reads
  // it without the lock, RequestDrop reads it under the lock.
  SocketHandle socket_;
  std::mutex socket_mutex_;
  std::atomic<bool> drop_requested_{false};  // Set by RequestDrop, never cleared.

  ByteBuffer input_buffer_;  // Received, not yet consumed.
  // Receive scratch of scratch_size_ bytes, allocated (not zero-filled) at
  // the first receive; none before.
  std::unique_ptr<char[]> scratch_;
  int scratch_size_ = 0;
  std::unique_ptr<ByteBuffer> write_buffer_;  // Present between Begin- and EndBufferedWrite.
  int write_threshold_ = 0;
  int recv_buffer_size_ = kDefaultRecvBufferSize;  // >= 1
  int send_buffer_size_ = kDefaultSendBufferSize;  // >= 1
  bool closed_gracefully_ = false;
  bool read_timed_out_ = false;
  Deadline read_deadline_ = Deadline::Never();
  int read_stall_timeout_ = kNoTimeout;  // kNoTimeout or >= 0
  DisconnectedEvent on_disconnected_;
};

// A connection accepted by a TcpServer. Created by the server's listener
// and owned by the peer thread that serves it.
class TcpServerConnection final : public TcpConnection {
 public:
  explicit TcpServerConnection(TcpServer& server) : server_(server) {}

  // The server that accepted the connection; it outlives the connection's
  // use by its peer thread.
  TcpServer& Server() const { return server_; }

  // Accepts a waiting connection from `listening_handle` (the listener).
  void Accept(int listening_handle) { AcceptFrom(listening_handle); }
  bool TryAccept(int listening_handle) { return TryAcceptFrom(listening_handle); }

 private:
  TcpServer& server_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_TCP_CONNECTION_H_
