#include "tests/support/ports.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/test_client.h"

namespace vantrel::test {
namespace {

// Binds a new socket to port 0 of all addresses; returns the socket and
// sets `port` to the port it got, or returns -1.
int BindAnyPort(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

int FreePort() {
  int port = 0;
  const int fd = BindAnyPort(port);
  if (fd >= 0) close(fd);
  return port;
}

bool CanConnect(int port) {
  TestClient client;
  return client.Connect(port, std::chrono::milliseconds(2000));
}

ListeningSocket::ListeningSocket() {
  fd_ = BindAnyPort(port_);
  if (fd_ >= 0 && listen(fd_, 5) != 0) Close();
}

void ListeningSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace vantrel::test
