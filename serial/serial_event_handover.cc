// Handing the event thread's events over as SyncMethod says, and raising
// them: smNone on the event thread itself, smWindowSync posted to the main
// loop one by one, smThreadSync run on the main loop while the event thread
// waits.
#include <exception>
#include <memory>

#include "serial/line_events.h"
#include "serial/serial_port.h"
#include "serial/wake_pipe.h"

namespace vantrel {

bool SerialPort::SyncState::RunIfCurrent(std::uint64_t of_generation,
                                         const std::function<void()>& work) {
  {
    std::lock_guard lock(mutex);
    if (Ended(of_generation)) return false;
    ++running;
  }
  struct Done {
    SyncState& state;
    ~Done() {
      std::lock_guard lock(state.mutex);
      --state.running;
      state.changed.notify_all();
    }
  } done{*this};
  work();
  return true;
}

bool SerialPort::Deliver(SerialEvents events, std::uint64_t generation) {
  switch (GetSyncMethod()) {
    case smNone:
      return DeliverHere(events);
    case smWindowSync:
      PostEach(events, generation);
      return true;
    case smThreadSync:
      break;
  }
  return HandOverAndWait(events, generation);
}

// An exception from a handler ends delivery and goes to the main loop.
bool SerialPort::DeliverHere(SerialEvents events) {
  try {
    Dispatch(events);
    return true;
  } catch (...) {
    loop_.Post([error = std::current_exception()] { std::rethrow_exception(error); });
    return false;
  }
}

// Each event becomes a task of its own; one whose port has closed in the
// meantime is dropped, and an exception from its handler goes to the loop's
// error handler.
void SerialPort::PostEach(SerialEvents events, std::uint64_t generation) {
  int wake_fd;
  {
    std::lock_guard lock(mutex_);
    wake_fd = wake_write_;
  }
  TtyPlatform* tty = &tty_;
  for (SerialEvent event : kDispatchOrder) {
    if (!events.Contains(event)) continue;
    loop_.Post([this, sync = sync_, tty, event, generation, wake_fd] {
      sync->RunIfCurrent(generation, [this, event] {
        if (StillOpen()) DispatchOne(event);
      });
      // The event thread looks again at bytes the handler left unread.
      std::lock_guard lock(sync->mutex);
      if (!sync->Ended(generation)) PokePipe(*tty, wake_fd);
    });
  }
}

// Posts the dispatch and waits until it has run, was dropped, or the port
// is closing; false when delivery must end.
bool SerialPort::HandOverAndWait(SerialEvents events, std::uint64_t generation) {
  struct Handover {
    bool done = false;  // Guarded by the sync state's mutex.
    std::exception_ptr error;
  };
  const std::shared_ptr<SyncState> sync = sync_;
  auto handover = std::make_shared<Handover>();
  // Marks the hand-over done once the task has run or was dropped unrun.
  std::shared_ptr<void> finished(nullptr, [sync, handover](void*) {
    std::lock_guard lock(sync->mutex);
    handover->done = true;
    sync->changed.notify_all();
  });
  loop_.Post([this, events, generation, handover, finished, sync] {
    std::exception_ptr error;
    sync->RunIfCurrent(generation, [&] {
      try {
        Dispatch(events);
      } catch (...) {
        error = std::current_exception();
      }
    });
    if (!error) return;
    {
      std::lock_guard lock(sync->mutex);
      handover->error = error;
    }
    std::rethrow_exception(error);  // To the loop's error handler.
  });
  finished.reset();
  std::unique_lock lock(sync->mutex);
  sync->changed.wait(lock, [&] { return handover->done || sync->Ended(generation); });
  return !sync->Ended(generation) && !handover->error;
}

bool SerialPort::StillOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0 && (state_ == State::kOpen || state_ == State::kOpening);
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
    case evRxChar:
      DispatchRxChar();
      break;
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

// OnRxChar with the count waiting, then OnRxBuf with the bytes themselves.
void SerialPort::DispatchRxChar() {
  if (const int count = InputQueueCount(); count > 0) Fire(&Handlers::on_rx_char, count);
  RxBufEvent on_rx_buf;
  {
    std::lock_guard lock(mutex_);
    on_rx_buf = handlers_.on_rx_buf;
  }
  if (!on_rx_buf) return;
  if (const int count = InputQueueCount(); count > 0) {
    std::string data = ReadText(count);
    on_rx_buf(*this, data.data(), static_cast<int>(data.size()));
  }
}

}  // namespace vantrel
