#include "serial/serial_event_thread.h"

#include <algorithm>

#include "serial/line_events.h"
#include "serial/wake_pipe.h"

namespace vantrel {
namespace {

// How often the thread looks again at a device whose state it cannot wait
// for: modem lines (which poll() does not report), an output queue
// draining after a write, and bytes left unread by a handler.
constexpr int kModemCheckMs = 50;
constexpr int kTxCheckMs = 10;
constexpr int kUnreadCheckMs = 20;

constexpr short kDeviceGone = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

SerialEventThread::SerialEventThread(SerialPort& port, const SerialPort::ThreadStart& start)
    : port_(port),
      tty_(port.tty_),
      fd_(start.fd),
      wake_fd_(start.wake_fd),
      generation_(start.generation),
      has_counters_(start.has_counters),
      seen_signals_(start.signals),
      seen_counts_(start.counts) {
  std::lock_guard lock(port_.mutex_);
  port_.event_thread_id_ = std::this_thread::get_id();
  wanted_ = port_.events_;
  method_ = port_.sync_method_;
  watch_modem_ = start.has_modem_lines && ModemEventsWanted(wanted_);
}

void SerialEventThread::Run() {
  for (;;) {
    const Look look = TakeLook();
    pollfd fds[2] = {{fd_, static_cast<short>(unread_ > 0 ? 0 : POLLIN), 0}, {wake_fd_, POLLIN, 0}};
    int ready = 0;
    // A failed wait leaves nothing sensible to wait on: the device counts
    // as lost.
    bool lost = tty_.Poll(fds, 2, Timeout(look), &ready) != 0;
    if (Ended()) return;
    if (fds[1].revents != 0) DrainPipe(tty_, wake_fd_);
    const SerialEvents events = lost ? SerialEvents() : Collect(fds[0].revents, look, lost);
    if (lost) {
      ReportLoss();
      WaitForEnd();
      return;
    }
    if (events.Empty()) continue;
    const std::uint64_t read_before = port_.BytesRead();
    if (!port_.Deliver(events, generation_)) {
      WaitForEnd();  // Delivery has ended (stop, or a handler failed).
      return;
    }
    if (Ended()) return;
    if (events.Contains(evRxChar)) NoteUnread(read_before);
  }
}

bool SerialEventThread::Ended() const {
  std::lock_guard lock(port_.sync_->mutex);
  return port_.sync_->Ended(generation_);
}

void SerialEventThread::WaitForEnd() {
  SerialPort::SyncState& sync = *port_.sync_;
  std::unique_lock lock(sync.mutex);
  sync.changed.wait(lock, [&] { return sync.Ended(generation_); });
}

SerialEventThread::Look SerialEventThread::TakeLook() {
  std::lock_guard lock(port_.mutex_);
  return Look{port_.tx_check_ && wanted_.Contains(evTxEmpty), port_.buffer_.InputSize()};
}

int SerialEventThread::Timeout(const Look& look) const {
  int timeout = -1;
  const auto sooner = [&](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
  if (unread_ > 0) sooner(kUnreadCheckMs);
  if (look.tx_check) sooner(kTxCheckMs);
  if (watch_modem_) sooner(kModemCheckMs);
  return timeout;
}

SerialEvents SerialEventThread::Collect(short revents, const Look& look, bool& lost) {
  SerialEvents got;
  if ((revents & kDeviceGone) != 0 || !CollectInput(revents, look.input_size, got)) {
    lost = true;
    return got;
  }
  CollectLineErrors(got);
  CollectModemLines(got);
  if (look.tx_check) CollectOutput(got);
  SerialEvents events;
  for (SerialEvent event : kDispatchOrder) {
    if (got.Contains(event) && wanted_.Contains(event)) events.Add(event);
  }
  return events;
}

// False when bytes are signalled but the device cannot count them: waiting
// again would wake at once for ever.
bool SerialEventThread::CollectInput(short revents, int input_size, SerialEvents& got) {
  int waiting = 0;
  if (tty_.InputQueueCount(fd_, &waiting) != 0) return (revents & POLLIN) == 0;
  if ((revents & POLLIN) != 0 && waiting > 0) got.Add(evRxChar);
  if (unread_ > 0) {
    // Looking again at bytes left unread: new ones, or reads since, make
    // them worth another event.
    if (waiting == 0) {
      unread_ = 0;
    } else if (waiting != unread_ || port_.BytesRead() != unread_mark_) {
      unread_ = 0;
      got.Add(evRxChar);
    }
  }
  if (got.Contains(evRxChar) && input_size > 0 &&
      static_cast<long long>(waiting) * 10 >= static_cast<long long>(input_size) * 8) {
    got.Add(evRx80Full);
  }
  return true;
}

void SerialEventThread::CollectLineErrors(SerialEvents& got) {
  TtyErrorCounts counts;
  if (!has_counters_ || tty_.ErrorCounts(fd_, &counts) != 0) return;
  const SerialErrors errors = ErrorsBetween(seen_counts_, counts, true);
  if ((errors & kBreakError) != 0) got.Add(evBreak);
  if ((errors & ~kBreakError) != 0) got.Add(evError);
  seen_counts_ = counts;
}

void SerialEventThread::CollectModemLines(SerialEvents& got) {
  ModemSignalStates now;
  if (!watch_modem_ || tty_.ModemSignals(fd_, &now) != 0) return;
  if (now.CTS != seen_signals_.CTS) got.Add(evCTS);
  if (now.DSR != seen_signals_.DSR) got.Add(evDSR);
  if (now.RLSD != seen_signals_.RLSD) got.Add(evRLSD);
  if (now.Ring && !seen_signals_.Ring) got.Add(evRing);
  seen_signals_ = now;
}

void SerialEventThread::CollectOutput(SerialEvents& got) {
  int queued = 0;
  if (tty_.OutputQueueCount(fd_, &queued) == 0 && queued != 0) return;
  got.Add(evTxEmpty);
  std::lock_guard lock(port_.mutex_);
  port_.tx_check_ = false;
}

// The device is gone: transfers fail from now on, and OnError hears of it
// once.
void SerialEventThread::ReportLoss() {
  {
    std::lock_guard lock(port_.mutex_);
    port_.device_lost_ = true;
    port_.sticky_errors_ |= kDeviceIoError;
  }
  if (wanted_.Contains(evError)) port_.Deliver(SerialEvents().Add(evError), generation_);
}

// Bytes a handler did not read would wake poll() at once for ever: the
// count is watched instead until it changes. Bytes that came while a
// handler read are new and are dispatched at once. A posted event has not
// run yet: its bytes count as unread until it has.
void SerialEventThread::NoteUnread(std::uint64_t read_before) {
  int waiting = 0;
  const std::uint64_t read_now = port_.BytesRead();
  if (tty_.InputQueueCount(fd_, &waiting) != 0 || waiting <= 0) {
    unread_ = 0;
  } else if (method_ == smWindowSync || read_now == read_before) {
    unread_ = waiting;
    unread_mark_ = read_now;
  } else {
    unread_ = 0;
  }
}

}  // namespace vantrel
