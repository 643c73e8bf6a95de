#include "tests/support/test_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace vantrel::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

}  // namespace

TestClient::~TestClient() { Close(); }

TestClient::TestClient(TestClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      server_closed_(other.server_closed_),
      pending_(std::move(other.pending_)) {}

TestClient& TestClient::operator=(TestClient&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    server_closed_ = other.server_closed_;
    pending_ = std::move(other.pending_);
  }
  return *this;
}

bool TestClient::Connect(int port, std::chrono::milliseconds timeout) {
  return ConnectSocket(port, timeout, 0);
}

bool TestClient::ConnectWithReceiveBuffer(int port, int bytes) {
  return ConnectSocket(port, kDefaultTimeout, bytes);
}

bool TestClient::ConnectSocket(int port, std::chrono::milliseconds timeout, int receive_buffer) {
  Close();
  server_closed_ = false;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return false;
  if (receive_buffer > 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) {
      Close();
      return false;
    }
    pollfd polled{fd_, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (::poll(&polled, 1, static_cast<int>(timeout.count())) != 1 ||
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      Close();
      return false;
    }
  }
  const int flags = ::fcntl(fd_, F_GETFL);
  ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  return true;
}

int TestClient::LocalPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  return ntohs(address.sin_port);
}

bool TestClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool TestClient::ReceiveOnce(std::string& out, Clock::time_point deadline) {
  if (fd_ < 0 || server_closed_) return false;
  pollfd polled{fd_, POLLIN, 0};
  const int ready = ::poll(&polled, 1, MillisecondsUntil(deadline));
  if (ready < 0 && errno == EINTR) return true;
  if (ready <= 0) return false;
  char buffer[16384];
  const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
  if (count < 0 && errno == EINTR) return true;
  if (count <= 0) {
    server_closed_ = true;
    return false;
  }
  out.append(buffer, static_cast<size_t>(count));
  return true;
}

std::string TestClient::ReadUntilClose(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string received = std::exchange(pending_, {});
  while (ReceiveOnce(received, deadline)) {
  }
  return received;
}

std::string TestClient::ReadUntil(std::string_view text, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string received = std::exchange(pending_, {});
  for (;;) {
    const size_t found = received.find(text);
    if (found != std::string::npos) {
      pending_ = received.substr(found + text.size());
      received.resize(found + text.size());
      return received;
    }
    if (!ReceiveOnce(received, deadline)) return received;
  }
}

std::string TestClient::ReadFor(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string received = std::exchange(pending_, {});
  while (ReceiveOnce(received, deadline)) {
  }
  return received;
}

void TestClient::ShutdownWrite() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void TestClient::ResetClose() {
  if (fd_ < 0) return;
  const linger no_linger{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &no_linger, sizeof no_linger);
  Close();
}

void TestClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace vantrel::test
