#include "http/response_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "base/deadline.h"
#include "base/retry_on_interrupt.h"
#include "base/windows_error_code.h"
#include "http/net_errors.h"
#include "http/tcp_connection.h"

namespace vantrel {
namespace {

// Bytes a client sends on a stream are read in pieces of this size.
constexpr int kDiscardChunk = 512;

}  // namespace

ResponseStream::ResponseStream(TcpConnection& connection) : connection_(connection) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw SocketError(WinsockCodeFromErrno(errno));
  wake_read_ = ends[0];
  wake_write_ = ends[1];
}

ResponseStream::~ResponseStream() {
  ::close(wake_read_);
  ::close(wake_write_);
}

void ResponseStream::Write(std::string_view bytes) { connection_.WriteText(bytes); }

ResponseStream::WaitResult ResponseStream::Wait(std::chrono::milliseconds timeout) {
  const Deadline deadline = Deadline::After(timeout.count());
  for (;;) {
    if (!connection_.IsConnected()) return WaitResult::kClosed;
    const int socket = connection_.Socket().Handle;
    std::vector<int> ready{socket, wake_read_};
    if (connection_.Stack().WaitForReadable(ready, deadline.MillisecondsLeft()) == 0) {
      return WaitResult::kTimedOut;
    }
    if (ready.front() == socket && !ClientStillThere()) return WaitResult::kClosed;
    if (ready.back() == wake_read_) {
      // Every wake-up so far is answered by this one return.
      std::array<char, 64> scratch;
      while (RetryOnInterrupt([&] { return ::read(wake_read_, scratch.data(), scratch.size()); }) >
             0) {
      }
      return WaitResult::kWoken;
    }
    // Only the client spoke; its bytes are gone, the wait goes on.
  }
}

void ResponseStream::Wake() {
  const char byte = 1;
  // A full pipe wakes the producer already: a failed write loses nothing.
  [[maybe_unused]] const ssize_t written =
      RetryOnInterrupt([&] { return ::write(wake_write_, &byte, 1); });
}

bool ResponseStream::ClientStillThere() {
  std::array<char, kDiscardChunk> scratch;
  int error = 0;
  const int count = connection_.Stack().Receive(connection_.Socket().Handle, scratch.data(),
                                                static_cast<int>(scratch.size()), error);
  return count > 0;
}

}  // namespace vantrel
