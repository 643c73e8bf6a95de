#include "http/platform_socket_stack.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "base/deadline.h"
#include "base/retry_on_interrupt.h"
#include "base/windows_error_code.h"
#include "http/net_errors.h"
#include "http/socket_error_text.h"

namespace vantrel {
namespace {

// A connection's socket blocks, so a send that "would block" is one that
// moved no byte within the send time-out.
int SendErrorCode(int errno_value) {
  return errno_value == EAGAIN || errno_value == EWOULDBLOCK ? kWsaTimedOut
                                                             : WinsockCodeFromErrno(errno_value);
}

[[noreturn]] void RaiseSocketError(int errno_value) {
  throw SocketError(WinsockCodeFromErrno(errno_value));
}

// Dotted decimal text of an IPv4 address: the four bytes in network order,
// written directly (inet_ntop goes through sprintf, twice per connection).
std::string AddressText(const sockaddr_in& address) {
  unsigned char bytes[4];
  std::memcpy(bytes, &address.sin_addr.s_addr, sizeof bytes);
  char text[16];
  char* out = text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) *out++ = '.';
    const unsigned value = bytes[i];
    if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
  }
  return std::string(text, out);
}

}  // namespace

int PlatformSocketStack::CreateSocket() {
  const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) throw InvalidSocketError(kCannotAllocateSocketMessage);
  return handle;
}

void PlatformSocketStack::SetReuseAddress(int handle) {
  const int on = 1;
  if (::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    RaiseSocketError(errno);
  }
}

void PlatformSocketStack::Bind(int handle, const std::string& ip, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (port < 0 || port > 65535) RaiseSocketError(EINVAL);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (ip.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
    RaiseSocketError(EADDRNOTAVAIL);
  }
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    RaiseSocketError(errno);
  }
}

void PlatformSocketStack::Listen(int handle, int backlog) {
  if (::listen(handle, backlog) != 0) RaiseSocketError(errno);
  // Accepting never blocks, so the listener can take all waiting
  // connections after one wait (TryAccept); accepted sockets block as usual.
  const int flags = ::fcntl(handle, F_GETFL);
  if (flags < 0 || ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) < 0) RaiseSocketError(errno);
}

void PlatformSocketStack::DeferAccept(int handle, int seconds) {
  if (::setsockopt(handle, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds) != 0) {
    RaiseSocketError(errno);
  }
}

void PlatformSocketStack::SetSendTimeout(int handle, int milliseconds) {
  // The system copies the setting into every socket it accepts.
  const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  if (::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    RaiseSocketError(errno);
  }
}

int PlatformSocketStack::WaitForReadable(std::vector<int>& handles, int timeout_ms) {
  if (handles.size() > static_cast<size_t>(kMaxSocketsPerWait)) {
    throw StackSetSizeExceededError(kSetSizeExceededMessage);
  }
  std::array<pollfd, kMaxSocketsPerWait> polled{};
  for (size_t i = 0; i < handles.size(); ++i) polled[i] = {handles[i], POLLIN, 0};

  const Deadline deadline = timeout_ms >= 0 ? Deadline::After(timeout_ms) : Deadline::Never();
  const int ready = RetryOnInterrupt(
      [&] { return ::poll(polled.data(), handles.size(), deadline.MillisecondsLeft()); });
  if (ready < 0) RaiseSocketError(errno);

  // Any event counts as ready: a hang-up or error is reported by the receive
  // or accept that follows.
  size_t kept = 0;
  for (size_t i = 0; i < handles.size(); ++i) {
    if (polled[i].revents != 0) handles[kept++] = handles[i];
  }
  handles.resize(kept);
  return static_cast<int>(kept);
}

int PlatformSocketStack::TryAccept(int handle, std::string& peer_ip, int& peer_port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int accepted = RetryOnInterrupt([&] {
    length = sizeof address;
    return ::accept4(handle, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  });
  if (accepted < 0) {
    // Nothing waiting, or a connection that went away before it was taken.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) return -1;
    RaiseSocketError(errno);
  }
  peer_ip = AddressText(address);
  peer_port = ntohs(address.sin_port);
  return accepted;
}

int PlatformSocketStack::Accept(int handle, std::string& peer_ip, int& peer_port) {
  // Listening sockets do not block (see Listen): wait for a connection.
  for (;;) {
    const int accepted = TryAccept(handle, peer_ip, peer_port);
    if (accepted >= 0) return accepted;
    pollfd waiting{handle, POLLIN, 0};
    if (RetryOnInterrupt([&] { return ::poll(&waiting, 1, -1); }) < 0) RaiseSocketError(errno);
  }
}

void PlatformSocketStack::LocalAddress(int handle, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    RaiseSocketError(errno);
  }
  ip = AddressText(address);
  port = ntohs(address.sin_port);
}

void PlatformSocketStack::PeerAddress(int handle, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    RaiseSocketError(errno);
  }
  ip = AddressText(address);
  port = ntohs(address.sin_port);
}

int PlatformSocketStack::Receive(int handle, void* buffer, int length, int& error) {
  const ssize_t count =
      RetryOnInterrupt([&] { return ::recv(handle, buffer, static_cast<size_t>(length), 0); });
  error = count < 0 ? WinsockCodeFromErrno(errno) : 0;
  return static_cast<int>(count);
}

int PlatformSocketStack::ReceiveReady(int handle, void* buffer, int length, int& error) {
  const ssize_t count = RetryOnInterrupt(
      [&] { return ::recv(handle, buffer, static_cast<size_t>(length), MSG_DONTWAIT); });
  error = count < 0 ? WinsockCodeFromErrno(errno) : 0;
  return static_cast<int>(count);
}

int PlatformSocketStack::Send(int handle, const void* buffer, int length, int& error) {
  const ssize_t count = RetryOnInterrupt(
      [&] { return ::send(handle, buffer, static_cast<size_t>(length), MSG_NOSIGNAL); });
  error = count < 0 ? SendErrorCode(errno) : 0;
  return static_cast<int>(count);
}

std::int64_t PlatformSocketStack::SendFile(int handle, int file_descriptor, std::int64_t offset,
                                           std::int64_t count, int& error) {
  // The server ignores SIGPIPE, but a library must not rely on it: block
  // it on this thread for the call, as sendfile has no MSG_NOSIGNAL.
  sigset_t pipe_signal;
  sigset_t previous;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  off_t position = static_cast<off_t>(offset);
  const ssize_t sent = RetryOnInterrupt(
      [&] { return ::sendfile(handle, file_descriptor, &position, static_cast<size_t>(count)); });
  const int saved_errno = errno;
  if (sent < 0 && saved_errno == EPIPE) {
    // Take back the signal the failed call raised before unblocking.
    const timespec no_wait{0, 0};
    sigtimedwait(&pipe_signal, nullptr, &no_wait);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  error = sent < 0 ? SendErrorCode(saved_errno) : 0;
  return sent;
}

void PlatformSocketStack::Shutdown(int handle, ShutdownDirection direction) {
  int how = SHUT_RDWR;
  if (direction == ShutdownDirection::kReceive) how = SHUT_RD;
  if (direction == ShutdownDirection::kSend) how = SHUT_WR;
  ::shutdown(handle, how);
}

void PlatformSocketStack::Close(int handle) {
  ::shutdown(handle, SHUT_WR);
  ::close(handle);
}

std::string PlatformSocketStack::HostByAddress(const std::string& ip) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) return {};
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                    nullptr, 0, NI_NAMEREQD) != 0) {
    return {};
  }
  return host;
}

}  // namespace vantrel
