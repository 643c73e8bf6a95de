#include "serial/serial_port_error.h"

#include <array>
#include <cerrno>
#include <string_view>
#include <utility>

#include "base/windows_error_code.h"

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 23> kErrorTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string ComposeMessage(int code, int os_code) {
  std::string message = SerialErrorText(code);
  if (os_code != -1) message += " (win error code: " + std::to_string(os_code) + ")";
  return message;
}

}  // namespace

SerialPortError::SerialPortError(int code, int os_code)
    : SerialPortError(code, os_code, 0, ComposeMessage(code, os_code)) {}

SerialPortError::SerialPortError(int code, int os_code, int system_error, std::string message)
    : Exception("SerialPortError", std::move(message)),
      code_(code),
      os_code_(os_code),
      system_error_(system_error) {}

SerialPortError SerialPortError::FromErrno(int code, int error) {
  const int os_code = WindowsCodeFromErrno(error);
  return SerialPortError(code, os_code, error, ComposeMessage(code, os_code));
}

SerialPortError SerialPortError::WithCause(std::string_view cause) const {
  return SerialPortError(code_, os_code_, system_error_, Message() + " - " + std::string(cause));
}

std::string SerialErrorText(int code) {
  if (code < 1 || code > static_cast<int>(kErrorTexts.size())) return std::string();
  return std::string(kErrorTexts[static_cast<std::size_t>(code) - 1]);
}

}  // namespace vantrel
