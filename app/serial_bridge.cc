#include "app/serial_bridge.h"

#include <algorithm>
#include <vector>

#include "serial/open_failure.h"
#include "serial/port_names.h"
#include "serial/serial_device_rule.h"
#include "serial/serial_texts.h"

namespace vantrel {
namespace {

// The bits a character takes on the line: a start bit, the data bits, a
// parity bit and the stop bits (1.5 counted as 2).
int BitsPerCharacter(const SerialPort& port) {
  return 1 + 5 + static_cast<int>(port.GetDataBits()) + (port.Parity().Bits == prNone ? 0 : 1) +
         (port.GetStopBits() == sbOneStopBit ? 1 : 2);
}

}  // namespace

void SerialBridge::OpenPort(std::string_view port, std::string_view baud,
                            std::string_view data_bits, std::string_view parity,
                            std::string_view stop_bits, std::string_view flow) {
  std::lock_guard lock(mutex_);
  CheckDevice(port);
  // A port whose device went away stays open under its name, and opening the
  // same name again would change nothing: it is closed first, so that the
  // device that came back (a USB adapter plugged in again) is opened.
  if (port_.DeviceLost()) port_.ClosePort();
  try {
    ApplyAndOpen(port, baud, data_bits, parity, stop_bits, flow);
  } catch (const SerialPortError& error) {
    if (error.Code() != kOpenFailed || error.SystemError() == 0) throw;
    // The message keeps its text and code; the cause follows in words.
    const int system_error = error.SystemError();
    throw error.WithCause(IsMissingDevice(system_error)
                              ? RefusalCause(device_directory_)
                              : OpenFailureCause(tty_, system_error,
                                                 ResolvePortPath(tty_, port_.Port()),
                                                 device_directory_));
  }
  port_.SetDTRLine(true);
  if (on_opened_) on_opened_(SettingsText(port_));
}

void SerialBridge::CheckDevice(std::string_view port) {
  const std::vector<std::string> patterns =
      extra_devices_ ? extra_devices_() : std::vector<std::string>();
  if (MayOpenSerialDevice(tty_, ResolvePortPath(tty_, port), patterns)) return;
  // The same words as for a device that is not there.
  throw SerialPortError::FromErrno(kOpenFailed, ENOENT).WithCause(RefusalCause(device_directory_));
}

std::string SerialBridge::RefusalCause(const std::string& directory) {
  const std::vector<std::string> ports = OpenablePorts(directory);
  std::string cause = std::string(kNotASerialPort) + "; ";
  if (ports.empty()) return cause + "no port can be opened now";
  cause += "ports that can be opened now:";
  for (const std::string& name : ports) cause += " " + name;
  return cause;
}
void SerialBridge::ApplyAndOpen(std::string_view port, std::string_view baud,
                                std::string_view data_bits, std::string_view parity,
                                std::string_view stop_bits, std::string_view flow) {
  port_.SetPort(std::string(port));
  port_.SetBaudRate(TextToBaudRate(baud));
  port_.SetDataBits(TextToDataBits(data_bits));
  SerialParity parity_settings = port_.Parity();
  parity_settings.Bits = TextToParity(parity);
  port_.SetParity(parity_settings);
  port_.SetStopBits(TextToStopBits(stop_bits));
  SerialFlowControl flow_settings = port_.GetFlowControl();
  flow_settings.SetFlowControl(TextToFlowControl(flow));
  port_.SetFlowControl(flow_settings);
  port_.OpenPort();
}

void SerialBridge::ClosePort() {
  std::lock_guard lock(mutex_);
  port_.ClosePort();
}

std::string SerialBridge::OpenSettingsText() {
  std::lock_guard lock(mutex_);
  return SettingsText(port_);
}

std::string SerialBridge::SettingsText(const SerialPort& port) {
  if (!port.Connected()) return "";
  return port.Port() + " " + BaudRateToText(port.GetBaudRate()) + " " +
         DataBitsToText(port.GetDataBits()) + " " + ParityToText(port.Parity().Bits) + " " +
         StopBitsToText(port.GetStopBits()) + " " +
         FlowControlToText(port.GetFlowControl().GetFlowControl());
}

void SerialBridge::Send(std::string_view text) {
  std::lock_guard lock(mutex_);
  const long long line_ms = static_cast<long long>(text.size()) * BitsPerCharacter(port_) * 1000 /
                            std::max(1, BaudRateValue(port_.GetBaudRate(), port_.CustomBaudRate()));
  const Deadline limit =
      Deadline::After(std::min<long long>(2 * line_ms + 1000, kMaxSendMilliseconds));
  if (on_sending_) on_sending_();
  int written = 0;
  try {
    written = port_.WriteText(text, limit);
  } catch (...) {
    if (on_sent_) on_sent_({});
    throw;
  }
  if (on_sent_) on_sent_(text.substr(0, static_cast<std::size_t>(std::max(0, written))));
}

void SerialBridge::AbortSend() {
  try {
    port_.AbortTransfers();
  } catch (const SerialPortError&) {
    // The port is closed: nothing to abort.
  }
}

std::string SerialBridge::EnumPorts() {
  std::string directory;
  {
    std::lock_guard lock(mutex_);
    directory = device_directory_;
  }
  std::string list;
  for (const std::string& name : OpenablePorts(directory)) {
    if (!list.empty()) list += ' ';
    list += name;
  }
  return list;
}

std::vector<std::string> SerialBridge::OpenablePorts(const std::string& directory) {
  // The port open here holds its device; it is no port to open.
  std::vector<std::uint64_t> own;
  TtyDeviceFacts facts;
  if (port_.Connected() && tty_.DescribeDevice(ResolvePortPath(tty_, port_.Port()), &facts) == 0) {
    own.push_back(facts.device);
  }
  return EnumeratePorts(tty_, directory, own);
}

void SerialBridge::SetDeviceDirectory(std::string directory) {
  std::lock_guard lock(mutex_);
  device_directory_ = std::move(directory);
}

}  // namespace vantrel
