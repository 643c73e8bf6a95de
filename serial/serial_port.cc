#include "serial/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "base/deadline.h"
#include "serial/port_names.h"

namespace vantrel {
namespace {

// The order in which one dispatch raises its events.
constexpr std::array<SerialEvent, 10> kDispatchOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};
// How often the event thread looks again at a device whose state it cannot
// wait for: modem lines (which poll() does not report), an output queue
// draining after a write, and bytes left unread by a handler.
constexpr int kModemCheckMs = 50;
constexpr int kTxCheckMs = 10;
constexpr int kUnreadCheckMs = 20;

int MakePipe(int* read_end, int* write_end) {
  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return errno;
  *read_end = ends[0];
  *write_end = ends[1];
  return 0;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void Drain(int fd) {
  char scratch[64];
  while (::read(fd, scratch, sizeof scratch) > 0) {
  }
}

void Poke(int fd) {
  if (fd < 0) return;
  const char byte = 1;
  // A full pipe already wakes its reader; nothing is lost by failing.
  [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
}

// Poll that retries after signals; returns poll's result.
int PollRetry(pollfd* fds, nfds_t count, int timeout) {
  int result;
  do {
    result = ::poll(fds, count, timeout);
  } while (result < 0 && errno == EINTR);
  return result;
}

bool ModemEventsWanted(SerialEvents events) {
  return events.Contains(evCTS) || events.Contains(evDSR) || events.Contains(evRLSD) ||
         events.Contains(evRing);
}

SerialErrors ErrorsBetween(const TtyErrorCounts& before, const TtyErrorCounts& now,
                           bool parity_check) {
  SerialErrors errors = 0;
  if (now.framing != before.framing) errors |= kFramingError;
  if (parity_check && now.parity != before.parity) errors |= kParityError;
  if (now.overrun != before.overrun) errors |= kOverrunError;
  if (now.breaks != before.breaks) errors |= kBreakError;
  if (now.buffer_overrun != before.buffer_overrun) errors |= kReceiveOverflowError;
  return errors;
}

}  // namespace

// Counts a transfer as running for its lifetime, so that ClosePort and
// AbortTransfers can wait for it to leave.
class SerialPort::TransferScope {
 public:
  explicit TransferScope(SerialPort& port) : port_(port) {}
  ~TransferScope() { port_.EndTransfer(); }
  TransferScope(const TransferScope&) = delete;
  TransferScope& operator=(const TransferScope&) = delete;

 private:
  SerialPort& port_;
};

SerialPort::SerialPort(EventLoop& main_loop, TtyPlatform& tty)
    : loop_(main_loop), tty_(tty), sync_(std::make_shared<SyncState>()) {}

SerialPort::~SerialPort() {
  try {
    ClosePort();
  } catch (...) {
    // A handler refused the close; the device is released below all the same.
  }
  {
    std::unique_lock lock(mutex_);
    if (fd_ >= 0) {
      lock.unlock();
      StopEventThread();
      lock.lock();
      ReleaseDevice();
    }
  }
  JoinFinishedThreads();
  if (!loop_.IsLoopThread()) {
    std::unique_lock lock(sync_->mutex);
    sync_->changed.wait(lock, [&] { return sync_->running == 0; });
  }
}

// ---------------------------------------------------------------------------
// Handlers

template <typename Handler, typename... Args>
void SerialPort::Fire(Handler Handlers::*member, Args... args) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    handler = handlers_.*member;
  }
  if (handler) handler(*this, args...);
}

template <typename Handler>
void SerialPort::SetHandler(Handler Handlers::*member, Handler handler) {
  std::lock_guard lock(mutex_);
  handlers_.*member = std::move(handler);
}

void SerialPort::SetOnAfterOpen(NotifyEvent h) {
  SetHandler(&Handlers::on_after_open, std::move(h));
}
void SerialPort::SetOnAfterClose(NotifyEvent h) {
  SetHandler(&Handlers::on_after_close, std::move(h));
}
void SerialPort::SetOnBeforeOpen(NotifyEvent h) {
  SetHandler(&Handlers::on_before_open, std::move(h));
}
void SerialPort::SetOnBeforeClose(NotifyEvent h) {
  SetHandler(&Handlers::on_before_close, std::move(h));
}
void SerialPort::SetOnRxChar(RxCharEvent h) { SetHandler(&Handlers::on_rx_char, std::move(h)); }
void SerialPort::SetOnRxBuf(RxBufEvent h) { SetHandler(&Handlers::on_rx_buf, std::move(h)); }
void SerialPort::SetOnTxEmpty(NotifyEvent h) { SetHandler(&Handlers::on_tx_empty, std::move(h)); }
void SerialPort::SetOnBreak(NotifyEvent h) { SetHandler(&Handlers::on_break, std::move(h)); }
void SerialPort::SetOnRing(NotifyEvent h) { SetHandler(&Handlers::on_ring, std::move(h)); }
void SerialPort::SetOnCTSChange(SerialSignalEvent h) {
  SetHandler(&Handlers::on_cts_change, std::move(h));
}
void SerialPort::SetOnDSRChange(SerialSignalEvent h) {
  SetHandler(&Handlers::on_dsr_change, std::move(h));
}
void SerialPort::SetOnRLSDChange(SerialSignalEvent h) {
  SetHandler(&Handlers::on_rlsd_change, std::move(h));
}
void SerialPort::SetOnRxFlag(NotifyEvent h) { SetHandler(&Handlers::on_rx_flag, std::move(h)); }
void SerialPort::SetOnError(SerialErrorEvent h) { SetHandler(&Handlers::on_error, std::move(h)); }
void SerialPort::SetOnRx80Full(NotifyEvent h) { SetHandler(&Handlers::on_rx80_full, std::move(h)); }

// ---------------------------------------------------------------------------
// Opening and closing

bool SerialPort::InDispatch() const {
  if (std::this_thread::get_id() == event_thread_id_) return true;
  if (!loop_.IsLoopThread()) return false;
  std::lock_guard lock(sync_->mutex);
  return sync_->running > 0;
}

bool SerialPort::BeginLifecycle(State from, State to) {
  std::unique_lock lock(mutex_);
  const auto me = std::this_thread::get_id();
  const auto busy = [&] {
    return (state_ == State::kOpening || state_ == State::kClosing) && lifecycle_thread_ != me;
  };
  if (busy()) {
    // A handler must not wait for a step that waits for the handler.
    if (InDispatch()) return false;
    state_changed_.wait(lock, [&] { return !busy(); });
  }
  if (state_ != from) return false;
  state_ = to;
  lifecycle_thread_ = me;
  return true;
}

void SerialPort::EndLifecycle(State to) {
  std::lock_guard lock(mutex_);
  state_ = to;
  lifecycle_thread_ = std::thread::id();
  state_changed_.notify_all();
}

void SerialPort::ReleaseDevice() {
  if (fd_ >= 0) tty_.Close(fd_);
  fd_ = -1;
  CloseFd(wake_read_);
  CloseFd(wake_write_);
  CloseFd(abort_read_);
  CloseFd(abort_write_);
}

void SerialPort::JoinFinishedThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(finished_threads_);
  }
  std::vector<std::thread> keep;
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id()) {
      keep.push_back(std::move(thread));  // Joined later, from another thread.
    } else {
      thread.join();
    }
  }
  if (!keep.empty()) {
    std::lock_guard lock(mutex_);
    for (std::thread& thread : keep) finished_threads_.push_back(std::move(thread));
  }
}

void SerialPort::OpenPort() {
  if (!BeginLifecycle(State::kClosed, State::kOpening)) return;
  JoinFinishedThreads();
  try {
    Fire(&Handlers::on_before_open);
    const std::string path = ResolvePortPath(Port());
    int fd = -1;
    if (const int error = tty_.Open(path, &fd); error != 0) {
      throw SerialPortError(kOpenFailed, MapOsError(error));
    }
    std::unique_lock lock(mutex_);
    fd_ = fd;
    device_lost_ = false;
    tx_check_ = false;
    sticky_errors_ = 0;
    last_counts_ = TtyErrorCounts();
    try {
      int error = MakePipe(&wake_read_, &wake_write_);
      if (error == 0) error = MakePipe(&abort_read_, &abort_write_);
      if (error != 0) throw SerialPortError(kOpenFailed, MapOsError(error));
      // The queue sizes of a terminal are fixed by its driver: the buffer
      // sizes only set the XON/XOFF limits and the 80 % mark. The time-outs
      // are taken by each transfer as it starts.
      const int update_count = update_count_;
      update_count_ = 0;
      try {
        ApplyLineLocked();
      } catch (...) {
        update_count_ = update_count;
        throw;
      }
      update_count_ = update_count;
      ThreadStart start;
      start.has_counters = tty_.ErrorCounts(fd_, &last_counts_) == 0;
      start.counts = last_counts_;
      // The lines as opening reports them; the event thread reports changes
      // from these on.
      start.has_modem_lines = tty_.ModemSignals(fd_, &start.signals) == 0;
      if (!events_.Empty()) {
        start.fd = fd_;
        start.wake_fd = wake_read_;
        {
          std::lock_guard sync_lock(sync_->mutex);
          start.session = ++sync_->session;
          sync_->stop = false;
        }
        event_thread_ = std::thread(&SerialPort::EventThreadMain, this, start);
      }
    } catch (...) {
      ReleaseDevice();
      throw;
    }
  } catch (...) {
    EndLifecycle(State::kClosed);
    throw;
  }
  EndLifecycle(State::kOpen);
  Fire(&Handlers::on_after_open);
  const ModemSignalStates signals = ModemSignals();
  Fire(&Handlers::on_cts_change, signals.CTS);
  Fire(&Handlers::on_dsr_change, signals.DSR);
  Fire(&Handlers::on_rlsd_change, signals.RLSD);
}

void SerialPort::ClosePort() {
  if (!BeginLifecycle(State::kOpen, State::kClosing)) return;
  try {
    Fire(&Handlers::on_cts_change, false);
    Fire(&Handlers::on_dsr_change, false);
    Fire(&Handlers::on_rlsd_change, false);
    Fire(&Handlers::on_before_close);
    std::unique_lock lock(mutex_);
    Abort(lock);
  } catch (...) {
    EndLifecycle(State::kOpen);
    throw;
  }
  StopEventThread();
  {
    std::lock_guard lock(mutex_);
    if (!device_lost_) tty_.Discard(fd_, true, true);
    ReleaseDevice();
  }
  EndLifecycle(State::kClosed);
  Fire(&Handlers::on_after_close);
}

void SerialPort::StopEventThread() {
  {
    std::lock_guard lock(sync_->mutex);
    sync_->stop = true;
  }
  sync_->changed.notify_all();
  {
    std::lock_guard lock(mutex_);
    Poke(wake_write_);
  }
  if (event_thread_.joinable()) {
    if (event_thread_.get_id() == std::this_thread::get_id()) {
      // Closed by a handler on the event thread: it ends after the handler.
      std::lock_guard lock(mutex_);
      finished_threads_.push_back(std::move(event_thread_));
    } else {
      event_thread_.join();
    }
  }
  {
    std::lock_guard lock(mutex_);
    event_thread_id_ = std::thread::id();
  }
  // A hand-over already running on the main thread finishes before the
  // device goes, unless this thread is the one running it.
  if (!loop_.IsLoopThread()) {
    std::unique_lock lock(sync_->mutex);
    sync_->changed.wait(lock, [&] { return sync_->running == 0; });
  }
}

bool SerialPort::Connected() const {
  std::lock_guard lock(mutex_);
  return state_ == State::kOpen || state_ == State::kClosing;
}

void SerialPort::SetConnected(bool connected) {
  if (connected) {
    OpenPort();
  } else {
    ClosePort();
  }
}

// ---------------------------------------------------------------------------
// Settings

TtyLineSettings SerialPort::LineSettingsLocked() const {
  TtyLineSettings line;
  line.baud = BaudRateValue(baud_rate_, custom_baud_rate_);
  line.data_bits = 5 + static_cast<int>(data_bits_);
  line.parity = parity_.Bits;
  line.stop_bits = stop_bits_;
  line.parity_check = parity_.Check;
  line.parity_replace = parity_.Check && parity_.Replace;
  line.out_cts_flow = flow_.OutCTSFlow;
  line.out_dsr_flow = flow_.OutDSRFlow;
  line.dtr = flow_.ControlDTR;
  line.rts = flow_.ControlRTS;
  line.xon_xoff_out = flow_.XonXoffOut;
  line.xon_xoff_in = flow_.XonXoffIn;
  line.tx_continue_on_xoff = flow_.TxContinueOnXoff;
  line.xon_char = flow_.XonChar;
  line.xoff_char = flow_.XoffChar;
  return line;
}

void SerialPort::ApplyLineLocked() {
  if (fd_ < 0 || device_lost_ || update_count_ > 0) return;
  if (const int error = tty_.ApplyLineSettings(fd_, LineSettingsLocked()); error != 0) {
    throw SerialPortError(kSetStateFailed, MapOsError(error));
  }
}

void SerialPort::BeginUpdate() {
  std::lock_guard lock(mutex_);
  ++update_count_;
}

void SerialPort::EndUpdate() {
  std::lock_guard lock(mutex_);
  if (update_count_ > 0 && --update_count_ == 0) ApplyLineLocked();
}

BaudRate SerialPort::GetBaudRate() const {
  std::lock_guard lock(mutex_);
  return baud_rate_;
}
void SerialPort::SetBaudRate(BaudRate rate) {
  std::lock_guard lock(mutex_);
  baud_rate_ = rate;
  ApplyLineLocked();
}
int SerialPort::CustomBaudRate() const {
  std::lock_guard lock(mutex_);
  return custom_baud_rate_;
}
void SerialPort::SetCustomBaudRate(int rate) {
  std::lock_guard lock(mutex_);
  custom_baud_rate_ = rate;
  ApplyLineLocked();
}
std::string SerialPort::Port() const {
  std::lock_guard lock(mutex_);
  return port_;
}
void SerialPort::SetPort(std::string port) {
  bool reopen;
  {
    std::lock_guard lock(mutex_);
    if (port == port_) return;
    port_ = std::move(port);
    reopen = state_ == State::kOpen;
  }
  if (reopen) {
    ClosePort();
    OpenPort();
  }
}
SerialParity SerialPort::Parity() const {
  std::lock_guard lock(mutex_);
  return parity_;
}
void SerialPort::SetParity(const SerialParity& parity) {
  std::lock_guard lock(mutex_);
  parity_ = parity;
  ApplyLineLocked();
}
StopBits SerialPort::GetStopBits() const {
  std::lock_guard lock(mutex_);
  return stop_bits_;
}
void SerialPort::SetStopBits(StopBits bits) {
  std::lock_guard lock(mutex_);
  stop_bits_ = bits;
  ApplyLineLocked();
}
DataBits SerialPort::GetDataBits() const {
  std::lock_guard lock(mutex_);
  return data_bits_;
}
void SerialPort::SetDataBits(DataBits bits) {
  std::lock_guard lock(mutex_);
  data_bits_ = bits;
  ApplyLineLocked();
}
bool SerialPort::DiscardNull() const {
  std::lock_guard lock(mutex_);
  return discard_null_;
}
void SerialPort::SetDiscardNull(bool discard) {
  std::lock_guard lock(mutex_);
  discard_null_ = discard;
  ApplyLineLocked();
}
char SerialPort::EventChar() const {
  std::lock_guard lock(mutex_);
  return event_char_;
}
void SerialPort::SetEventChar(char event_char) {
  std::lock_guard lock(mutex_);
  event_char_ = event_char;
  ApplyLineLocked();
}
SerialEvents SerialPort::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}
void SerialPort::SetEvents(SerialEvents events) {
  std::lock_guard lock(mutex_);
  events_ = events;
}
SerialBuffer SerialPort::Buffer() const {
  std::lock_guard lock(mutex_);
  return buffer_;
}
void SerialPort::SetBuffer(const SerialBuffer& buffer) {
  std::lock_guard lock(mutex_);
  buffer_ = buffer;
}
SerialFlowControl SerialPort::GetFlowControl() const {
  std::lock_guard lock(mutex_);
  return flow_;
}
void SerialPort::SetFlowControl(const SerialFlowControl& flow) {
  std::lock_guard lock(mutex_);
  flow_ = flow;
  ApplyLineLocked();
}
SerialTimeouts SerialPort::Timeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}
void SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
}
SyncMethod SerialPort::GetSyncMethod() const {
  std::lock_guard lock(mutex_);
  return sync_method_;
}
void SerialPort::SetSyncMethod(SyncMethod method) {
  std::lock_guard lock(mutex_);
  if (state_ != State::kClosed) throw SerialPortError(kSetWhileConnected, -1);
  sync_method_ = method;
}

// ---------------------------------------------------------------------------
// Device queries

int SerialPort::InputQueueCount() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError(kClearErrorFailed, MapOsError(EBADF));
  int count = 0;
  if (const int error = tty_.InputQueueCount(fd_, &count); error != 0) {
    throw SerialPortError(kClearErrorFailed, MapOsError(error));
  }
  return count;
}

ModemSignalStates SerialPort::ModemSignals() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError(kModemStatusFailed, MapOsError(EBADF));
  ModemSignalStates signals;
  if (device_lost_) return signals;
  if (const int error = tty_.ModemSignals(fd_, &signals); error != 0) {
    if (!IsUnsupported(error)) throw SerialPortError(kModemStatusFailed, MapOsError(error));
    return ModemSignalStates();
  }
  return signals;
}

SerialErrors SerialPort::PendingErrors() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError(kClearErrorFailed, MapOsError(EBADF));
  SerialErrors errors = sticky_errors_;
  sticky_errors_ = 0;
  if (device_lost_) return errors;
  TtyErrorCounts counts;
  if (const int error = tty_.ErrorCounts(fd_, &counts); error != 0) {
    if (!IsUnsupported(error)) throw SerialPortError(kClearErrorFailed, MapOsError(error));
    return errors;
  }
  errors |= ErrorsBetween(last_counts_, counts, parity_.Check);
  last_counts_ = counts;
  return errors;
}

void SerialPort::SetDTRLine(bool on) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError(kEscapeFailed, MapOsError(EBADF));
  if (const int error = tty_.SetDtr(fd_, on); error != 0 && !IsUnsupported(error)) {
    throw SerialPortError(kEscapeFailed, MapOsError(error));
  }
}

// ---------------------------------------------------------------------------
// Transfers

SerialPort::Transfer SerialPort::BeginTransfer(int error_code) {
  std::unique_lock lock(mutex_);
  state_changed_.wait(lock, [&] { return !aborting_; });
  if (fd_ < 0) throw SerialPortError(error_code, MapOsError(EBADF));
  if (device_lost_) throw SerialPortError(error_code, MapOsError(EIO));
  ++active_transfers_;
  return Transfer{fd_, abort_read_, abort_generation_, timeouts_, discard_null_};
}

void SerialPort::EndTransfer() {
  std::lock_guard lock(mutex_);
  --active_transfers_;
  state_changed_.notify_all();
}

void SerialPort::Abort(std::unique_lock<std::mutex>& lock) {
  if (fd_ < 0) throw SerialPortError(kPurgeFailed, MapOsError(EBADF));
  if (aborting_) {
    state_changed_.wait(lock, [&] { return !aborting_; });
    return;
  }
  aborting_ = true;
  ++abort_generation_;
  Poke(abort_write_);
  state_changed_.wait(lock, [&] { return active_transfers_ == 0; });
  Drain(abort_read_);
  aborting_ = false;
  state_changed_.notify_all();
}

void SerialPort::AbortTransfers() {
  std::unique_lock lock(mutex_);
  Abort(lock);
}

int SerialPort::WriteText(std::string_view text) {
  return WriteBuffer(text.data(), static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX)));
}

int SerialPort::WriteBuffer(const void* data, int count) {
  if (count <= 0) return 0;
  if (data == nullptr) throw SerialPortError(kInvalidAsyncParameter, -1);
  const Transfer transfer = BeginTransfer(kWriteFailed);
  int written = 0;
  {
    TransferScope scope(*this);
    const auto* bytes = static_cast<const char*>(data);
    const Deadline deadline = Deadline::ForTransfer(transfer.timeouts.WriteTotalMultiplier,
                                                    transfer.timeouts.WriteTotalConstant,
                                                    static_cast<std::size_t>(count));
    while (written < count) {
      const ssize_t n =
          ::write(transfer.fd, bytes + written, static_cast<std::size_t>(count - written));
      if (n > 0) {
        written += static_cast<int>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) throw SerialPortError(kWriteFailed, MapOsError(errno));
      if (deadline.Passed()) break;
      pollfd fds[2] = {{transfer.fd, POLLOUT, 0}, {transfer.abort_fd, POLLIN, 0}};
      if (PollRetry(fds, 2, deadline.MillisecondsLeft()) < 0) {
        throw SerialPortError(kWriteFailed, MapOsError(errno));
      }
      if (fds[1].revents != 0) throw SerialPortError(kWriteFailed, MapOsError(ECANCELED));
    }
  }
  std::lock_guard lock(mutex_);
  if (written > 0 && fd_ >= 0) {
    tx_check_ = true;
    Poke(wake_write_);
  }
  return written;
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
  auto* bytes = static_cast<char*>(buffer);
  const SerialTimeouts& t = transfer.timeouts;
  const bool at_once =
      t.ReadInterval == -1 && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0;
  const Deadline total = Deadline::ForTransfer(t.ReadTotalMultiplier, t.ReadTotalConstant,
                                               static_cast<std::size_t>(count));
  const bool use_interval = t.ReadInterval > 0;
  Deadline gap = Deadline::Never();
  int got = 0;
  while (got < count) {
    const ssize_t n = ::read(transfer.fd, bytes + got, static_cast<std::size_t>(count - got));
    if (n > 0) {
      int kept = static_cast<int>(n);
      if (transfer.discard_null) {
        char* begin = bytes + got;
        kept = static_cast<int>(std::remove(begin, begin + n, '\0') - begin);
      }
      got += kept;
      if (use_interval) gap = Deadline::After(t.ReadInterval);
      continue;
    }
    if (n == 0) {
      // A hung-up terminal reads as end of file.
      if (got > 0) break;
      throw SerialPortError(kReadFailed, MapOsError(EIO));
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      if (got > 0) break;  // The bytes already read are not lost; the next read fails.
      throw SerialPortError(kReadFailed, MapOsError(errno));
    }
    if (at_once) break;
    const Deadline wait = Deadline::Earlier(total, gap);
    if (wait.Passed()) break;
    pollfd fds[2] = {{transfer.fd, POLLIN, 0}, {transfer.abort_fd, POLLIN, 0}};
    if (PollRetry(fds, 2, wait.MillisecondsLeft()) < 0) {
      throw SerialPortError(kReadFailed, MapOsError(errno));
    }
    if (fds[1].revents != 0) throw SerialPortError(kReadFailed, MapOsError(ECANCELED));
  }
  std::lock_guard lock(mutex_);
  bytes_read_ += static_cast<std::uint64_t>(got);
  return got;
}

std::uint64_t SerialPort::BytesRead() const {
  std::lock_guard lock(mutex_);
  return bytes_read_;
}

// ---------------------------------------------------------------------------
// The event thread

void SerialPort::EventThreadMain(ThreadStart start) {
  SerialEvents wanted;
  SyncMethod method;
  {
    std::lock_guard lock(mutex_);
    event_thread_id_ = std::this_thread::get_id();
    wanted = events_;
    method = sync_method_;
  }
  ModemSignalStates seen_signals = start.signals;
  TtyErrorCounts seen_counts = start.counts;
  const bool has_modem_lines = start.has_modem_lines;
  const bool has_counters = start.has_counters;
  const int fd = start.fd;
  const int wake_fd = start.wake_fd;
  const std::uint64_t session = start.session;
  const bool watch_modem = has_modem_lines && ModemEventsWanted(wanted);
  const auto Ended = [this, session] {
    std::lock_guard lock(sync_->mutex);
    return sync_->Ended(session);
  };
  bool lost = false;
  int unread = 0;                 // Bytes a handler left waiting; 0 when watching for new ones.
  std::uint64_t unread_mark = 0;  // BytesRead() when they were left.
  for (;;) {
    bool tx_check;
    int input_size;
    {
      std::lock_guard lock(mutex_);
      tx_check = tx_check_ && wanted.Contains(evTxEmpty);
      input_size = buffer_.InputSize();
    }
    int timeout = -1;
    const auto sooner = [&](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
    if (!lost) {
      if (unread > 0) sooner(kUnreadCheckMs);
      if (tx_check) sooner(kTxCheckMs);
      if (watch_modem) sooner(kModemCheckMs);
    }
    pollfd fds[2] = {{lost ? -1 : fd, static_cast<short>(unread > 0 ? 0 : POLLIN), 0},
                     {wake_fd, POLLIN, 0}};
    const int ready = PollRetry(fds, 2, timeout);
    if (Ended()) return;
    if (ready < 0) {
      // Nothing sensible is left to wait on: treat it as the device's loss.
      fds[0].revents = POLLERR;
    }
    if (fds[1].revents != 0) Drain(wake_fd);
    if (lost) continue;

    SerialEvents got;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      lost = true;
      std::lock_guard lock(mutex_);
      device_lost_ = true;
      sticky_errors_ |= kDeviceIoError;
      got.Add(evError);
    } else {
      int waiting = 0;
      const bool counted = tty_.InputQueueCount(fd, &waiting) == 0;
      if ((fds[0].revents & POLLIN) != 0 && counted && waiting > 0) got.Add(evRxChar);
      if (unread > 0 && counted) {
        // Looking again at bytes left unread: new ones, or reads since,
        // make them worth another event.
        if (waiting == 0) {
          unread = 0;
        } else if (waiting != unread || BytesRead() != unread_mark) {
          unread = 0;
          got.Add(evRxChar);
        }
      }
      if (got.Contains(evRxChar) && input_size > 0 &&
          static_cast<long long>(waiting) * 10 >= static_cast<long long>(input_size) * 8) {
        got.Add(evRx80Full);
      }
      TtyErrorCounts counts;
      if (has_counters && tty_.ErrorCounts(fd, &counts) == 0) {
        const SerialErrors errors = ErrorsBetween(seen_counts, counts, true);
        if ((errors & kBreakError) != 0) got.Add(evBreak);
        if ((errors & ~kBreakError) != 0) got.Add(evError);
        seen_counts = counts;
      }
      if (watch_modem) {
        ModemSignalStates now;
        if (tty_.ModemSignals(fd, &now) == 0) {
          if (now.CTS != seen_signals.CTS) got.Add(evCTS);
          if (now.DSR != seen_signals.DSR) got.Add(evDSR);
          if (now.RLSD != seen_signals.RLSD) got.Add(evRLSD);
          if (now.Ring && !seen_signals.Ring) got.Add(evRing);
          seen_signals = now;
        }
      }
      if (tx_check) {
        int queued = 0;
        if (tty_.OutputQueueCount(fd, &queued) != 0 || queued == 0) {
          got.Add(evTxEmpty);
          std::lock_guard lock(mutex_);
          tx_check_ = false;
        }
      }
    }
    SerialEvents events;
    for (SerialEvent event : kDispatchOrder) {
      if (got.Contains(event) && wanted.Contains(event)) events.Add(event);
    }
    if (events.Empty()) continue;
    const std::uint64_t read_before = BytesRead();
    if (!Deliver(events, session)) {
      // Delivery has ended (stop, or a handler failed): wait for ClosePort.
      std::unique_lock lock(sync_->mutex);
      sync_->changed.wait(lock, [&] { return sync_->Ended(session); });
      return;
    }
    if (Ended()) return;
    if (events.Contains(evRxChar) && !lost) {
      // Bytes a handler did not read would wake poll() at once for ever:
      // watch the count instead until it changes. Bytes that came while a
      // handler read are new and are dispatched at once. A posted event
      // has not run yet: its bytes count as unread until it has.
      int waiting = 0;
      const std::uint64_t read_now = BytesRead();
      if (tty_.InputQueueCount(fd, &waiting) != 0 || waiting <= 0) {
        unread = 0;
      } else if (method == smWindowSync || read_now == read_before) {
        unread = waiting;
        unread_mark = read_now;
      } else {
        unread = 0;
      }
    }
  }
}

bool SerialPort::StillOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0 && (state_ == State::kOpen || state_ == State::kOpening);
}

bool SerialPort::Deliver(SerialEvents events, std::uint64_t session) {
  SyncMethod method;
  int wake_fd;
  {
    std::lock_guard lock(mutex_);
    method = sync_method_;
    wake_fd = wake_write_;
  }
  const std::shared_ptr<SyncState> sync = sync_;
  if (method == smNone) {
    try {
      Dispatch(events);
      return true;
    } catch (...) {
      loop_.Post([error = std::current_exception()] { std::rethrow_exception(error); });
      return false;
    }
  }
  // Runs `work` on the main loop when the session is still current; counts
  // it as running meanwhile so that closing and destruction wait for it.
  const auto run_guarded = [sync, session](const std::function<void()>& work) {
    {
      std::lock_guard lock(sync->mutex);
      if (sync->Ended(session)) return false;
      ++sync->running;
    }
    struct Done {
      SyncState& state;
      ~Done() {
        std::lock_guard lock(state.mutex);
        --state.running;
        state.changed.notify_all();
      }
    } done{*sync};
    work();
    return true;
  };
  if (method == smWindowSync) {
    for (SerialEvent event : kDispatchOrder) {
      if (!events.Contains(event)) continue;
      loop_.Post([this, run_guarded, event, sync, session, wake_fd] {
        run_guarded([this, event] {
          if (StillOpen()) DispatchOne(event);
        });
        // The event thread looks again at bytes the handler left unread.
        std::lock_guard lock(sync->mutex);
        if (!sync->Ended(session)) Poke(wake_fd);
      });
    }
    return true;
  }
  // smThreadSync: post the dispatch and wait until it has run, was dropped,
  // or the port is closing.
  struct Handover {
    bool done = false;
    std::exception_ptr error;
  };
  auto handover = std::make_shared<Handover>();
  std::shared_ptr<void> finished(nullptr, [sync, handover](void*) {
    std::lock_guard lock(sync->mutex);
    handover->done = true;
    sync->changed.notify_all();
  });
  loop_.Post([this, run_guarded, events, handover, finished, sync] {
    std::exception_ptr error;
    run_guarded([&] {
      try {
        Dispatch(events);
      } catch (...) {
        error = std::current_exception();
      }
    });
    if (error) {
      {
        std::lock_guard lock(sync->mutex);
        handover->error = error;
      }
      std::rethrow_exception(error);  // To the loop's error handler.
    }
  });
  finished.reset();
  std::unique_lock lock(sync->mutex);
  sync->changed.wait(lock, [&] { return handover->done || sync->Ended(session); });
  return !sync->Ended(session) && !handover->error;
}

void SerialPort::Dispatch(SerialEvents events) {
  for (SerialEvent event : kDispatchOrder) {
    if (!events.Contains(event)) continue;
    if (!StillOpen()) return;
    DispatchOne(event);
  }
}

void SerialPort::DispatchOne(SerialEvent event) {
  switch (event) {
    case evError:
      if (const SerialErrors errors = PendingErrors(); errors != 0) {
        Fire(&Handlers::on_error, errors);
      }
      break;
    case evRxChar: {
      if (const int count = InputQueueCount(); count > 0) Fire(&Handlers::on_rx_char, count);
      RxBufEvent on_rx_buf;
      {
        std::lock_guard lock(mutex_);
        on_rx_buf = handlers_.on_rx_buf;
      }
      if (on_rx_buf) {
        if (const int count = InputQueueCount(); count > 0) {
          std::string data = ReadText(count);
          on_rx_buf(*this, data.data(), static_cast<int>(data.size()));
        }
      }
      break;
    }
    case evTxEmpty:
      Fire(&Handlers::on_tx_empty);
      break;
    case evBreak:
      Fire(&Handlers::on_break);
      break;
    case evRing:
      Fire(&Handlers::on_ring);
      break;
    case evCTS:
      Fire(&Handlers::on_cts_change, ModemSignals().CTS);
      break;
    case evDSR:
      Fire(&Handlers::on_dsr_change, ModemSignals().DSR);
      break;
    case evRxFlag:
      Fire(&Handlers::on_rx_flag);
      break;
    case evRLSD:
      Fire(&Handlers::on_rlsd_change, ModemSignals().RLSD);
      break;
    case evRx80Full:
      Fire(&Handlers::on_rx80_full);
      break;
  }
}

}  // namespace vantrel
