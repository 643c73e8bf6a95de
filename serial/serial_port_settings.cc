// The port's settings: stored under the port's lock and, while the port is
// open and no update is in progress, applied to the device at once.
#include <utility>

#include "serial/serial_port.h"

namespace vantrel {

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
    throw SerialPortError::FromErrno(kSetStateFailed, error);
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

template <typename Value>
Value SerialPort::Get(const Value SerialPort::*field) const {
  std::lock_guard lock(mutex_);
  return this->*field;
}

// Stores `value`; `apply` re-applies the line settings.
template <typename Value>
void SerialPort::Set(Value SerialPort::*field, const Value& value, bool apply) {
  std::lock_guard lock(mutex_);
  this->*field = value;
  if (apply) ApplyLineLocked();
}

BaudRate SerialPort::GetBaudRate() const { return Get(&SerialPort::baud_rate_); }
void SerialPort::SetBaudRate(BaudRate rate) { Set(&SerialPort::baud_rate_, rate, true); }
int SerialPort::CustomBaudRate() const { return Get(&SerialPort::custom_baud_rate_); }
void SerialPort::SetCustomBaudRate(int rate) { Set(&SerialPort::custom_baud_rate_, rate, true); }
std::string SerialPort::Port() const { return Get(&SerialPort::port_); }
SerialParity SerialPort::Parity() const { return Get(&SerialPort::parity_); }
void SerialPort::SetParity(const SerialParity& parity) { Set(&SerialPort::parity_, parity, true); }
StopBits SerialPort::GetStopBits() const { return Get(&SerialPort::stop_bits_); }
void SerialPort::SetStopBits(StopBits bits) { Set(&SerialPort::stop_bits_, bits, true); }
DataBits SerialPort::GetDataBits() const { return Get(&SerialPort::data_bits_); }
void SerialPort::SetDataBits(DataBits bits) { Set(&SerialPort::data_bits_, bits, true); }
bool SerialPort::DiscardNull() const { return Get(&SerialPort::discard_null_); }
void SerialPort::SetDiscardNull(bool discard) { Set(&SerialPort::discard_null_, discard, true); }
char SerialPort::EventChar() const { return Get(&SerialPort::event_char_); }
void SerialPort::SetEventChar(char event_char) { Set(&SerialPort::event_char_, event_char, true); }
SerialEvents SerialPort::Events() const { return Get(&SerialPort::events_); }
void SerialPort::SetEvents(SerialEvents events) { Set(&SerialPort::events_, events, false); }
SerialBuffer SerialPort::Buffer() const { return Get(&SerialPort::buffer_); }
void SerialPort::SetBuffer(const SerialBuffer& buffer) { Set(&SerialPort::buffer_, buffer, false); }
SerialFlowControl SerialPort::GetFlowControl() const { return Get(&SerialPort::flow_); }
void SerialPort::SetFlowControl(const SerialFlowControl& flow) {
  Set(&SerialPort::flow_, flow, true);
}
SerialTimeouts SerialPort::Timeouts() const { return Get(&SerialPort::timeouts_); }
void SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  Set(&SerialPort::timeouts_, timeouts, false);
}
SyncMethod SerialPort::GetSyncMethod() const { return Get(&SerialPort::sync_method_); }

void SerialPort::SetSyncMethod(SyncMethod method) {
  std::lock_guard lock(mutex_);
  if (state_ != State::kClosed) throw SerialPortError(kSetWhileConnected, -1);
  sync_method_ = method;
}

// A different name while open closes and reopens under the new name.
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

}  // namespace vantrel
