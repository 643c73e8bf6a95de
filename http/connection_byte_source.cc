#include "http/connection_byte_source.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <utility>

#include "http/http_errors.h"

namespace vantrel {
namespace {

// An append-only Stream over a string, so the connection's reads land in
// the caller's string without a second copy. Refuses to grow past its
// limit: the read then stops with HttpRequestTooLargeError. `on_grow`,
// when given, hears the new size after every write.
class StringSinkStream final : public Stream {
 public:
  StringSinkStream(std::string& out, std::int64_t max_bytes,
                   std::function<void(std::int64_t)> on_grow = nullptr)
      : out_(out), start_(out.size()), max_bytes_(max_bytes), on_grow_(std::move(on_grow)) {}

  std::int64_t Read(void*, std::int64_t) override { return 0; }
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    if (count <= 0) return 0;
    if (count > max_bytes_ - Size()) throw HttpRequestTooLargeError(kRequestBodyTooLargeMessage);
    out_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    if (on_grow_) on_grow_(Size());
    return count;
  }
  std::int64_t Size() const override { return static_cast<std::int64_t>(out_.size() - start_); }
  void SetSize(std::int64_t size) override {
    if (size >= 0 && size <= Size()) out_.resize(start_ + static_cast<std::size_t>(size));
  }
  // Always at the end: every write appends.
  std::int64_t Position() const override { return Size(); }
  std::int64_t Seek(std::int64_t, SeekOrigin) override { return Size(); }

 private:
  std::string& out_;
  const std::size_t start_;  // Size of out_ before the first write.
  const std::int64_t max_bytes_;
  const std::function<void(std::int64_t)> on_grow_;
};

// True when the first `max_bytes` of `buffered` cannot hold a whole line.
bool LineExceeds(std::string_view buffered, std::size_t max_bytes) {
  return buffered.size() >= max_bytes && std::memchr(buffered.data(), '\n', max_bytes) == nullptr;
}

// Watches the connection's receives for the time of one line read.
class LineBudgetGuard {
 public:
  LineBudgetGuard(TcpConnection& connection, std::size_t max_bytes) : connection_(connection) {
    connection_.SetOnWork([this, max_bytes](NetComponent&, WorkMode mode, std::int64_t) {
      // Runs after each receive has been appended to the read buffer: stop
      // the read once the buffer holds more than the limit without an LF.
      if (mode == WorkMode::kRead && LineExceeds(connection_.InputBuffer().View(), max_bytes)) {
        throw HttpRequestTooLargeError(kRequestLineTooLargeMessage);
      }
    });
  }
  ~LineBudgetGuard() { connection_.SetOnWork(nullptr); }
  LineBudgetGuard(const LineBudgetGuard&) = delete;
  LineBudgetGuard& operator=(const LineBudgetGuard&) = delete;

 private:
  TcpConnection& connection_;
};

// Puts read limits on the connection for the time of one read.
class ReadLimitGuard {
 public:
  ReadLimitGuard(TcpConnection& connection, Deadline deadline, int stall_ms)
      : connection_(connection) {
    connection_.SetReadDeadline(deadline);
    connection_.SetReadStallTimeout(stall_ms);
  }
  ~ReadLimitGuard() {
    connection_.SetReadDeadline(Deadline::Never());
    connection_.SetReadStallTimeout(TcpConnection::kNoTimeout);
  }
  ReadLimitGuard(const ReadLimitGuard&) = delete;
  ReadLimitGuard& operator=(const ReadLimitGuard&) = delete;

 private:
  TcpConnection& connection_;
};

}  // namespace

ConnectionByteSource::ConnectionByteSource(TcpConnection& connection, int header_timeout_ms,
                                           int body_stall_ms, int min_body_rate)
    : connection_(connection),
      header_timeout_ms_(header_timeout_ms),
      header_deadline_(Deadline::After(header_timeout_ms, start_)),
      body_stall_ms_(body_stall_ms),
      min_body_rate_(min_body_rate) {}

Deadline ConnectionByteSource::BodyDeadline(std::int64_t body_bytes) const {
  if (min_body_rate_ <= 0 || header_timeout_ms_ == TcpConnection::kNoTimeout) {
    return Deadline::Never();
  }
  // Bytes are at most a few GiB, so the product stays far from overflow.
  return Deadline::After(header_timeout_ms_ + body_bytes * 1000 / min_body_rate_, start_);
}

std::string ConnectionByteSource::ReadLine(std::size_t max_bytes) {
  const std::string_view buffered = connection_.InputBuffer().View();
  if (LineExceeds(buffered, max_bytes)) throw HttpRequestTooLargeError(kRequestLineTooLargeMessage);
  std::string line;
  if (buffered.find('\n') != std::string_view::npos) {
    line = connection_.ReadTextLine();  // Whole line buffered: no receive.
  } else {
    LineBudgetGuard budget(connection_, max_bytes);
    ReadLimitGuard limits(connection_, header_deadline_, TcpConnection::kNoTimeout);
    line = connection_.ReadTextLine();
  }
  // The line may have arrived together with bytes past the limit.
  if (line.size() >= max_bytes) throw HttpRequestTooLargeError(kRequestLineTooLargeMessage);
  return line;
}

void ConnectionByteSource::ReadExact(std::int64_t count, std::string& out) {
  StringSinkStream sink(out, count);
  ReadLimitGuard limits(connection_, BodyDeadline(count), body_stall_ms_);
  connection_.ReadExactToStream(sink, count);
}

void ConnectionByteSource::ReadToClose(std::string& out, std::int64_t max_bytes) {
  // Every byte that arrives moves the deadline on by its share of the time.
  StringSinkStream sink(out, max_bytes, [this](std::int64_t size) {
    connection_.SetReadDeadline(BodyDeadline(size));
  });
  ReadLimitGuard limits(connection_, BodyDeadline(0), body_stall_ms_);
  connection_.ReadToCloseStream(sink);
}

}  // namespace vantrel
