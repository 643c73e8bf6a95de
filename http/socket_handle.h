// The socket record: one open socket with its local and peer address, and
// the collection of them that a server listens on.
//
// A record is plain data plus the socket operations that fill it. It does
// not own its descriptor by itself: whoever holds the record closes it
// (CloseSocket) before dropping it. A record is used by one thread at a
// time; the owners document any exception.
#ifndef VANTREL_HTTP_SOCKET_HANDLE_H_
#define VANTREL_HTTP_SOCKET_HANDLE_H_

#include <deque>
#include <string>

namespace vantrel {

class SocketStack;

struct SocketHandle {
  int Handle = -1;               // The descriptor; -1 when no socket.
  bool HandleAllocated = false;  // A socket is open (Handle >= 0).
  std::string LocalIP;           // Dotted IPv4; for a binding, the address to bind ("" = any).
  std::string PeerIP;            // Dotted IPv4 of the peer.
  int LocalPort = 0;             // For a binding, the port to bind.
  int PeerPort = 0;

  // Forgets the socket (without closing it) and the peer address; with
  // `reset_local` the local address too.
  void Reset(bool reset_local);

  // Opens a new socket into the record. Raises InvalidSocketError.
  void AllocateSocket(SocketStack& stack);

  // Binds the open socket to LocalIP:LocalPort with the reuse-address option
  // set, then reads the bound address and port back into the record.
  // Raises CouldNotBindSocketError "Could not bind socket. Address and port
  // are already in use." when they are taken, SocketError otherwise.
  void Bind(SocketStack& stack);

  // Listens with room for `backlog` waiting connections; with
  // `defer_accept_seconds` > 0, a connection waits in the system until it
  // has sent something or that time has passed.
  void Listen(SocketStack& stack, int backlog, int defer_accept_seconds = 0);

  // Accepts a connection waiting on `listening_handle` into this record,
  // filling the peer and the local address and port. Raises SocketError.
  void Accept(SocketStack& stack, int listening_handle);
  // The same without waiting: false, and the record left empty, when no
  // connection is waiting.
  bool TryAccept(SocketStack& stack, int listening_handle);

  // If a socket is open: shuts sending down, closes it and resets the
  // record (the local side too with `reset_local`). Never raises.
  void CloseSocket(SocketStack& stack, bool reset_local);
};

// The ordered bindings of a server. Owns its records; references to them
// stay valid until Clear or destruction.
class SocketHandles {
 public:
  SocketHandles() = default;
  SocketHandles(const SocketHandles&) = delete;
  SocketHandles& operator=(const SocketHandles&) = delete;

  // Appends a binding for every interface on DefaultPort.
  SocketHandle& Add();
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  SocketHandle& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
  const SocketHandle& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  int DefaultPort() const { return default_port_; }
  void SetDefaultPort(int port) { default_port_ = port; }

 private:
  std::deque<SocketHandle> items_;  // A deque keeps references stable across Add.
  int default_port_ = 0;            // LocalPort of bindings added from now on.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_SOCKET_HANDLE_H_
