#include "app/serial_bridge.h"

#include <vector>

#include "serial/open_failure.h"
#include "serial/port_names.h"
#include "serial/serial_texts.h"

namespace vantrel {

void SerialBridge::OpenPort(std::string_view port, std::string_view baud,
                            std::string_view data_bits, std::string_view parity,
                            std::string_view stop_bits, std::string_view flow) {
  std::lock_guard lock(mutex_);
  // A port whose device went away stays open under its name, and opening the
  // same name again would change nothing: it is closed first, so that the
  // device that came back (a USB adapter plugged in again) is opened.
  if (port_.DeviceLost()) port_.ClosePort();
  try {
    ApplyAndOpen(port, baud, data_bits, parity, stop_bits, flow);
  } catch (const SerialPortError& error) {
    if (error.Code() != kOpenFailed || error.SystemError() == 0) throw;
    // The message keeps its text and code; the cause follows in words.
    throw error.WithCause(OpenFailureCause(tty_, error.SystemError(),
                                           ResolvePortPath(tty_, port_.Port()), device_directory_));
  }
  port_.SetDTRLine(true);
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
  if (!port_.Connected()) return "";
  return port_.Port() + " " + BaudRateToText(port_.GetBaudRate()) + " " +
         DataBitsToText(port_.GetDataBits()) + " " + ParityToText(port_.Parity().Bits) + " " +
         StopBitsToText(port_.GetStopBits()) + " " +
         FlowControlToText(port_.GetFlowControl().GetFlowControl());
}

void SerialBridge::Send(std::string_view text) {
  std::lock_guard lock(mutex_);
  port_.WriteText(text);
}

std::string SerialBridge::EnumPorts() {
  std::string directory;
  {
    std::lock_guard lock(mutex_);
    directory = device_directory_;
  }
  std::string list;
  for (const std::string& name : EnumeratePorts(tty_, directory)) {
    if (!list.empty()) list += ' ';
    list += name;
  }
  return list;
}

void SerialBridge::SetDeviceDirectory(std::string directory) {
  std::lock_guard lock(mutex_);
  device_directory_ = std::move(directory);
}

}  // namespace vantrel
