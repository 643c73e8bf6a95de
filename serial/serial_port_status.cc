// What the open device tells about itself: the input queue, the modem
// lines, the line errors since the last look; and the DTR line.
#include <cerrno>

#include "serial/line_events.h"
#include "serial/serial_port.h"

namespace vantrel {

int SerialPort::InputQueueCount() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError::FromErrno(kClearErrorFailed, EBADF);
  int count = 0;
  if (const int error = tty_.InputQueueCount(fd_, &count); error != 0) {
    throw SerialPortError::FromErrno(kClearErrorFailed, error);
  }
  return count;
}

ModemSignalStates SerialPort::ModemSignals() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError::FromErrno(kModemStatusFailed, EBADF);
  ModemSignalStates signals;
  if (device_lost_) return signals;
  if (const int error = tty_.ModemSignals(fd_, &signals); error != 0) {
    if (!IsUnsupported(error)) throw SerialPortError::FromErrno(kModemStatusFailed, error);
    return ModemSignalStates();
  }
  return signals;
}

SerialErrors SerialPort::PendingErrors() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError::FromErrno(kClearErrorFailed, EBADF);
  SerialErrors errors = sticky_errors_;
  sticky_errors_ = 0;
  if (device_lost_) return errors;
  TtyErrorCounts counts;
  if (const int error = tty_.ErrorCounts(fd_, &counts); error != 0) {
    if (!IsUnsupported(error)) throw SerialPortError::FromErrno(kClearErrorFailed, error);
    return errors;
  }
  errors |= ErrorsBetween(last_counts_, counts, parity_.Check);
  last_counts_ = counts;
  return errors;
}

void SerialPort::SetDTRLine(bool on) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) throw SerialPortError::FromErrno(kEscapeFailed, EBADF);
  if (const int error = tty_.SetDtr(fd_, on); error != 0 && !IsUnsupported(error)) {
    throw SerialPortError::FromErrno(kEscapeFailed, error);
  }
}

}  // namespace vantrel
