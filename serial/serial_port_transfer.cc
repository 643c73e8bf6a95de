// Transfers: writing and reading bytes within the time-outs, and aborting
// the transfers in progress. A transfer counts itself as running from start
// to end, so that closing and AbortTransfers can wait for it to leave; an
// abort wakes its waits through the abort pipe.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "serial/serial_port.h"
#include "serial/wake_pipe.h"

namespace vantrel {
namespace {

// Keeps the `n` bytes just read at `begin`, dropping NUL bytes when
// `discard_null`; returns how many are kept.
int KeepRead(char* begin, std::size_t n, bool discard_null) {
  if (!discard_null) return static_cast<int>(n);
  return static_cast<int>(std::remove(begin, begin + n, '\0') - begin);
}

}  // namespace

// Counts a transfer as running for its lifetime.
class SerialPort::TransferScope {
 public:
  explicit TransferScope(SerialPort& port) : port_(port) {}
  ~TransferScope() { port_.EndTransfer(); }
  TransferScope(const TransferScope&) = delete;
  TransferScope& operator=(const TransferScope&) = delete;

 private:
  SerialPort& port_;
};

SerialPort::Transfer SerialPort::BeginTransfer(int error_code) {
  std::unique_lock lock(mutex_);
  state_changed_.wait(lock, [&] { return !aborting_; });
  if (fd_ < 0) throw SerialPortError::FromErrno(error_code, EBADF);
  if (device_lost_) throw SerialPortError::FromErrno(error_code, EIO);
  ++active_transfers_;
  return Transfer{fd_, abort_read_, timeouts_, discard_null_};
}

void SerialPort::EndTransfer() {
  std::lock_guard lock(mutex_);
  --active_transfers_;
  state_changed_.notify_all();
}

void SerialPort::Abort(std::unique_lock<std::mutex>& lock) {
  if (fd_ < 0) throw SerialPortError::FromErrno(kPurgeFailed, EBADF);
  if (aborting_) {
    state_changed_.wait(lock, [&] { return !aborting_; });
    return;
  }
  aborting_ = true;
  PokePipe(tty_, abort_write_);
  state_changed_.wait(lock, [&] { return active_transfers_ == 0; });
  DrainPipe(tty_, abort_read_);
  aborting_ = false;
  state_changed_.notify_all();
}

void SerialPort::AbortTransfers() {
  std::unique_lock lock(mutex_);
  Abort(lock);
}

void SerialPort::WaitForDevice(const Transfer& transfer, short events, const Deadline& deadline,
                               int error_code) {
  pollfd fds[2] = {{transfer.fd, events, 0}, {transfer.abort_fd, POLLIN, 0}};
  int ready = 0;
  if (const int error = tty_.Poll(fds, 2, deadline.MillisecondsLeft(), &ready); error != 0) {
    throw SerialPortError::FromErrno(error_code, error);
  }
  if (fds[1].revents != 0) throw SerialPortError::FromErrno(error_code, ECANCELED);
}

int SerialPort::WriteText(std::string_view text) { return WriteText(text, Deadline::Never()); }

int SerialPort::WriteText(std::string_view text, const Deadline& limit) {
  const int count = static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX));
  if (count <= 0) return 0;
  const Transfer transfer = BeginTransfer(kWriteFailed);
  int written;
  {
    TransferScope scope(*this);
    written = WriteSome(transfer, text.data(), count, limit);
  }
  NoteWritten(written);
  return written;
}

int SerialPort::WriteBuffer(const void* data, int count) {
  if (count <= 0) return 0;
  if (data == nullptr) throw SerialPortError(kInvalidAsyncParameter, -1);
  return WriteText(
      std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(count)));
}

int SerialPort::WriteSome(const Transfer& transfer, const char* bytes, int count,
                          const Deadline& limit) {
  const Deadline deadline = Deadline::Earlier(
      Deadline::ForTransfer(transfer.timeouts.WriteTotalMultiplier,
                            transfer.timeouts.WriteTotalConstant, static_cast<std::size_t>(count)),
      limit);
  int written = 0;
  while (written < count) {
    std::size_t n = 0;
    const int error =
        tty_.Write(transfer.fd, bytes + written, static_cast<std::size_t>(count - written), &n);
    if (error == 0 && n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (error != 0 && error != EAGAIN) throw SerialPortError::FromErrno(kWriteFailed, error);
    if (deadline.Passed()) break;
    WaitForDevice(transfer, POLLOUT, deadline, kWriteFailed);
  }
  return written;
}

// A finished write has the event thread watch for the empty output queue.
void SerialPort::NoteWritten(int written) {
  std::lock_guard lock(mutex_);
  if (written <= 0 || fd_ < 0) return;
  tx_check_ = true;
  PokePipe(tty_, wake_write_);
}

std::string SerialPort::ReadText(int count) {
  if (count <= 0) return std::string();
  std::string text(static_cast<std::size_t>(count), '\0');
  text.resize(static_cast<std::size_t>(ReadBuffer(text.data(), count)));
  return text;
}

int SerialPort::ReadBuffer(void* buffer, int count) {
  if (count <= 0) return 0;
  if (buffer == nullptr) throw SerialPortError(kInvalidAsyncParameter, -1);
  const Transfer transfer = BeginTransfer(kReadFailed);
  TransferScope scope(*this);
  const int got = ReadSome(transfer, static_cast<char*>(buffer), count);
  std::lock_guard lock(mutex_);
  bytes_read_ += static_cast<std::uint64_t>(got);
  return got;
}

// Reads as the time-outs say: with the defaults it returns at once with
// what has arrived; otherwise it waits until the total time or the gap
// after the last byte passes.
int SerialPort::ReadSome(const Transfer& transfer, char* bytes, int count) {
  const SerialTimeouts& t = transfer.timeouts;
  const bool at_once =
      t.ReadInterval == -1 && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0;
  const Deadline total = Deadline::ForTransfer(t.ReadTotalMultiplier, t.ReadTotalConstant,
                                               static_cast<std::size_t>(count));
  Deadline gap = Deadline::Never();
  int got = 0;
  while (got < count) {
    std::size_t n = 0;
    const int error =
        tty_.Read(transfer.fd, bytes + got, static_cast<std::size_t>(count - got), &n);
    if (error == 0 && n > 0) {
      got += KeepRead(bytes + got, n, transfer.discard_null);
      if (t.ReadInterval > 0) gap = Deadline::After(t.ReadInterval);
      continue;
    }
    if (error != EAGAIN) {
      // A hung-up terminal reads as end of file. Bytes already read are not
      // lost: they are returned, and the next read fails.
      if (got > 0) break;
      throw SerialPortError::FromErrno(kReadFailed, error == 0 ? EIO : error);
    }
    const Deadline wait = Deadline::Earlier(total, gap);
    if (at_once || wait.Passed()) break;
    WaitForDevice(transfer, POLLIN, wait, kReadFailed);
  }
  return got;
}

std::uint64_t SerialPort::BytesRead() const {
  std::lock_guard lock(mutex_);
  return bytes_read_;
}

}  // namespace vantrel
