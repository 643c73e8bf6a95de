// A small blocking TCP client for tests: connects to a server on the
// loopback address, sends bytes and reads what comes back, every wait
// bounded by a time-out so a faulty server fails a test instead of hanging
// it. One client per thread; closes its socket on destruction.
#ifndef VANTREL_TESTS_SUPPORT_TEST_CLIENT_H_
#define VANTREL_TESTS_SUPPORT_TEST_CLIENT_H_

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::test {

class TestClient {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

  TestClient() = default;
  ~TestClient();
  TestClient(TestClient&& other) noexcept;
  TestClient& operator=(TestClient&& other) noexcept;
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  // Connects to 127.0.0.1:`port`; false when that fails or takes longer
  // than `timeout`.
  bool Connect(int port, std::chrono::milliseconds timeout = kDefaultTimeout);
  // The same with a receive buffer of about `bytes`: a client that does not
  // read then soon stalls the server's sends.
  bool ConnectWithReceiveBuffer(int port, int bytes);
  bool IsOpen() const { return fd_ >= 0; }
  // The client's own port, as the server sees it as the peer port.
  int LocalPort() const;

  // Sends all of `bytes`; false when the socket fails.
  bool Send(std::string_view bytes);

  // Reads until the server closes the connection or `timeout` passes, and
  // returns what arrived. ServerClosed() tells which ended the read.
  std::string ReadUntilClose(std::chrono::milliseconds timeout = kDefaultTimeout);
  // Reads until `text` has arrived (returning everything up to and
  // including it), the server closes or `timeout` passes (returning what
  // arrived).
  std::string ReadUntil(std::string_view text, std::chrono::milliseconds timeout = kDefaultTimeout);
  // Reads whatever arrives within `timeout`.
  std::string ReadFor(std::chrono::milliseconds timeout);

  // The server closed (or reset) the connection during a read.
  bool ServerClosed() const { return server_closed_; }

  // Closes the sending direction only: the server reads the end of input.
  void ShutdownWrite();
  // Closes with SO_LINGER 0, so the server sees a reset, not an orderly close.
  void ResetClose();
  void Close();

 private:
  // Connect, with the receive buffer set first when `receive_buffer` > 0.
  bool ConnectSocket(int port, std::chrono::milliseconds timeout, int receive_buffer);
  // Receives once, waiting at most until `deadline`; appends to `out`.
  // Returns false when nothing more can arrive (closed, failed, time-out).
  bool ReceiveOnce(std::string& out, std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  bool server_closed_ = false;
  std::string pending_;  // Read past the text ReadUntil looked for; handed out first next time.
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_TEST_CLIENT_H_
