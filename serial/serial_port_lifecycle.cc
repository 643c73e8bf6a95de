// Opening and closing the port: the device, its wake-up pipes, the line
// settings applied on opening, and starting and stopping the event thread.
#include <utility>

#include "serial/port_names.h"
#include "serial/serial_event_thread.h"
#include "serial/serial_port.h"
#include "serial/wake_pipe.h"

namespace vantrel {

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

void SerialPort::OpenPort() {
  if (!BeginLifecycle(State::kClosed, State::kOpening)) return;
  JoinFinishedThreads();
  try {
    Fire(&Handlers::on_before_open);
    const std::string path = ResolvePortPath(tty_, Port());
    int fd = -1;
    if (const int error = tty_.Open(path, &fd); error != 0) {
      throw SerialPortError::FromErrno(kOpenFailed, error);
    }
    std::lock_guard lock(mutex_);
    // Closing puts back the line as opening found it.
    if (tty_.SaveLine(fd, &saved_line_) != 0) saved_line_ = TtySavedLine();
    AttachDevice(fd);
    try {
      ConfigureLocked();
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
  FireSignals(ModemSignals());
}

void SerialPort::AttachDevice(int fd) {
  fd_ = fd;
  device_lost_ = false;
  tx_check_ = false;
  sticky_errors_ = 0;
  last_counts_ = TtyErrorCounts();
}

// The pipes, the line settings, then the event thread. The queue sizes of a
// terminal are fixed by its driver: the buffer sizes only set the XON/XOFF
// limits and the 80 % mark. The time-outs are taken by each transfer as it
// starts.
void SerialPort::ConfigureLocked() {
  int error = tty_.OpenPipe(&wake_read_, &wake_write_);
  if (error == 0) error = tty_.OpenPipe(&abort_read_, &abort_write_);
  if (error != 0) throw SerialPortError::FromErrno(kOpenFailed, error);
  ApplyLineWhileOpening();
  const ThreadStart start = ThreadStartLocked();
  if (events_.Empty()) return;
  event_thread_ = std::thread([this, start] { SerialEventThread(*this, start).Run(); });
}

// Opening applies the line settings even inside an update.
void SerialPort::ApplyLineWhileOpening() {
  const int update_count = std::exchange(update_count_, 0);
  try {
    ApplyLineLocked();
  } catch (...) {
    update_count_ = update_count;
    throw;
  }
  update_count_ = update_count;
}

// The counters and lines as opening finds them; the event thread reports
// changes from these on. Starts a new generation when there is a thread to
// start.
SerialPort::ThreadStart SerialPort::ThreadStartLocked() {
  ThreadStart start;
  start.has_counters = tty_.ErrorCounts(fd_, &last_counts_) == 0;
  start.counts = last_counts_;
  start.has_modem_lines = tty_.ModemSignals(fd_, &start.signals) == 0;
  if (events_.Empty()) return start;
  start.fd = fd_;
  start.wake_fd = wake_read_;
  std::lock_guard sync_lock(sync_->mutex);
  start.generation = ++sync_->generation;
  sync_->stop = false;
  return start;
}

void SerialPort::ClosePort() {
  if (!BeginLifecycle(State::kOpen, State::kClosing)) return;
  try {
    FireSignals(ModemSignalStates());
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

void SerialPort::ReleaseDevice() {
  if (fd_ >= 0) {
    if (!device_lost_ && !saved_line_.bytes.empty()) tty_.RestoreLine(fd_, saved_line_);
    tty_.Close(fd_);
  }
  fd_ = -1;
  saved_line_ = TtySavedLine();
  ClosePipeEnd(tty_, wake_read_);
  ClosePipeEnd(tty_, wake_write_);
  ClosePipeEnd(tty_, abort_read_);
  ClosePipeEnd(tty_, abort_write_);
}

void SerialPort::StopEventThread() {
  {
    std::lock_guard lock(sync_->mutex);
    sync_->stop = true;
  }
  sync_->changed.notify_all();
  {
    std::lock_guard lock(mutex_);
    PokePipe(tty_, wake_write_);
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
  WaitForHandOvers();
}

// A hand-over already running on the main thread finishes before the device
// goes, unless this thread is the one running it.
void SerialPort::WaitForHandOvers() {
  if (loop_.IsLoopThread()) return;
  std::unique_lock lock(sync_->mutex);
  sync_->changed.wait(lock, [&] { return sync_->running == 0; });
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
  if (keep.empty()) return;
  std::lock_guard lock(mutex_);
  for (std::thread& thread : keep) finished_threads_.push_back(std::move(thread));
}

}  // namespace vantrel
