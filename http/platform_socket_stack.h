// The socket stack on POSIX sockets: the only place that calls the
// platform's socket functions.
//
// IPv4 only. Every descriptor is created close-on-exec, so child processes
// inherit none. A call interrupted by a signal is retried (RetryOnInterrupt
// in the .cc); native errno values become Windows Sockets codes through
// WinsockCodeFromErrno. Stateless: safe to call from any thread.
#ifndef VANTREL_HTTP_PLATFORM_SOCKET_STACK_H_
#define VANTREL_HTTP_PLATFORM_SOCKET_STACK_H_

#include <string>
#include <vector>

#include "http/socket_stack.h"

namespace vantrel {

class PlatformSocketStack final : public SocketStack {
 public:
  PlatformSocketStack() = default;

  int CreateSocket() override;
  void SetReuseAddress(int handle) override;
  void Bind(int handle, const std::string& ip, int port) override;
  void Listen(int handle, int backlog) override;
  void DeferAccept(int handle, int seconds) override;
  void SetSendTimeout(int handle, int milliseconds) override;
  int WaitForReadable(std::vector<int>& handles, int timeout_ms) override;
  int Accept(int handle, std::string& peer_ip, int& peer_port) override;
  int TryAccept(int handle, std::string& peer_ip, int& peer_port) override;
  void LocalAddress(int handle, std::string& ip, int& port) override;
  void PeerAddress(int handle, std::string& ip, int& port) override;
  int Receive(int handle, void* buffer, int length, int& error) override;
  int ReceiveReady(int handle, void* buffer, int length, int& error) override;
  int Send(int handle, const void* buffer, int length, int& error) override;
  std::int64_t SendFile(int handle, int file_descriptor, std::int64_t offset, std::int64_t count,
                        int& error) override;
  void Shutdown(int handle, ShutdownDirection direction) override;
  void Close(int handle) override;
  std::string HostByAddress(const std::string& ip) override;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_PLATFORM_SOCKET_STACK_H_
