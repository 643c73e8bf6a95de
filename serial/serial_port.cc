// The port's construction and destruction, and its handlers. The other jobs
// live beside it: opening and closing (serial_port_lifecycle.cc), settings
// (serial_port_settings.cc), status queries (serial_port_status.cc),
// transfers (serial_port_transfer.cc), the event thread
// (serial_event_thread.cc) and the hand-over of its events
// (serial_event_handover.cc).
#include "serial/serial_port.h"

#include <utility>

namespace vantrel {

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
  WaitForHandOvers();
}

bool SerialPort::Connected() const {
  std::lock_guard lock(mutex_);
  return state_ == State::kOpen || state_ == State::kClosing;
}

bool SerialPort::DeviceLost() const {
  std::lock_guard lock(mutex_);
  return device_lost_;
}

void SerialPort::SetConnected(bool connected) {
  if (connected) {
    OpenPort();
  } else {
    ClosePort();
  }
}

void SerialPort::FireSignals(const ModemSignalStates& signals) {
  Fire(&Handlers::on_cts_change, signals.CTS);
  Fire(&Handlers::on_dsr_change, signals.DSR);
  Fire(&Handlers::on_rlsd_change, signals.RLSD);
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

}  // namespace vantrel
