// The socket operations the network layer needs, behind one interface, and
// the single process-wide instance that provides them.
//
// The instance exists while at least one NetComponent lives: the first
// component's constructor creates it (Acquire) and the last one's destructor
// frees it (Release); the count is guarded by a mutex. A component keeps the
// reference Acquire returned and uses it for its whole life.
//
// The operations keep no per-call state, so every thread may call them at
// once. Failures are raised: SocketError with the Windows Sockets code of
// the failure (see socket_error_text.h), except Receive and Send, which
// report the code to the caller so it can treat some codes as an orderly
// end. Handles are plain descriptors; -1 means "no socket".
#ifndef VANTREL_HTTP_SOCKET_STACK_H_
#define VANTREL_HTTP_SOCKET_STACK_H_

#include <string>
#include <vector>

namespace vantrel {

// The most sockets one WaitForReadable call accepts.
inline constexpr int kMaxSocketsPerWait = 64;

enum class ShutdownDirection { kReceive, kSend, kBoth };

class SocketStack {
 public:
  SocketStack() = default;
  SocketStack(const SocketStack&) = delete;
  SocketStack& operator=(const SocketStack&) = delete;
  virtual ~SocketStack() = default;

  // Counts one more user, creating the instance for the first; the result
  // stays valid until the matching Release.
  static SocketStack& Acquire();
  // Counts one user less, freeing the instance with the last.
  static void Release();

  // A new IPv4 stream socket, not inherited by child processes. Raises
  // InvalidSocketError "Cannot allocate socket.".
  virtual int CreateSocket() = 0;

  // Sets the reuse-address option to 1 (before Bind on a listening socket).
  virtual void SetReuseAddress(int handle) = 0;

  // Binds to `ip` (dotted IPv4; "" = every interface) and `port`.
  virtual void Bind(int handle, const std::string& ip, int port) = 0;

  virtual void Listen(int handle, int backlog) = 0;

  // Has the system hold a connection on the listening socket `handle`
  // until its first bytes arrive, or about `seconds` have passed, before
  // the connection can be accepted. Only for protocols whose client speaks
  // first.
  virtual void DeferAccept(int handle, int seconds) = 0;
  // A send or file send on `handle` that can move no byte for
  // `milliseconds` fails with kWsaTimedOut. Set on a listening socket, it
  // holds for every connection accepted from it.
  virtual void SetSendTimeout(int handle, int milliseconds) = 0;

  // Waits until one of `handles` (at most kMaxSocketsPerWait) can be read,
  // or a listening one has a connection waiting, or `timeout_ms` passes
  // (negative: no limit). Leaves only the ready handles in `handles`, in
  // their order, and returns their count (0 after the time-out). Raises
  // StackSetSizeExceededError "Set Size Exceeded." for too many handles.
  virtual int WaitForReadable(std::vector<int>& handles, int timeout_ms) = 0;

  // Accepts a connection on a listening socket: returns the new socket (not
  // inherited by child processes) and fills the peer's address and port.
  virtual int Accept(int handle, std::string& peer_ip, int& peer_port) = 0;
  // The same without waiting: -1 at once when no connection is waiting, so
  // that a listener can take every waiting connection after one wait.
  virtual int TryAccept(int handle, std::string& peer_ip, int& peer_port) = 0;

  virtual void LocalAddress(int handle, std::string& ip, int& port) = 0;
  virtual void PeerAddress(int handle, std::string& ip, int& port) = 0;

  // Receives up to `length` bytes. Returns the count (0: the peer closed),
  // or -1 with the Windows Sockets code in `error`.
  virtual int Receive(int handle, void* buffer, int length, int& error) = 0;

  // Receive without waiting: -1 with kWsaWouldBlock in `error` when no
  // bytes are there yet.
  virtual int ReceiveReady(int handle, void* buffer, int length, int& error) = 0;

  // Sends up to `length` bytes, never raising a signal. Returns the count
  // sent (possibly less than `length`), or -1 with the code in `error`.
  virtual int Send(int handle, const void* buffer, int length, int& error) = 0;

  // Sends up to `count` bytes of the open file `file_descriptor` from
  // `offset` without copying them through the process, never raising a
  // signal. Returns the count sent (0: the file ends at `offset`), or -1
  // with the code in `error`.
  virtual std::int64_t SendFile(int handle, int file_descriptor, std::int64_t offset,
                                std::int64_t count, int& error) = 0;

  // Shuts one or both directions down, ignoring failures. The descriptor
  // stays open, so this is safe while another thread waits on it: its
  // receive or wait returns at once.
  virtual void Shutdown(int handle, ShutdownDirection direction) = 0;

  // Shuts sending down, then closes the descriptor; failures are ignored.
  virtual void Close(int handle) = 0;

  // The host name of a dotted IPv4 address by reverse lookup; "" when the
  // address has no name or is not an address.
  virtual std::string HostByAddress(const std::string& ip) = 0;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_SOCKET_STACK_H_
