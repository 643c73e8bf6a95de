// The serial port's error: a numbered text (1..23) and, when the operating
// system gave one, its error code mapped onto the codes the messages have
// always shown ("win error code").
//
// Why a Linux program shows Windows codes: the messages keep the codes that
// the system's users and their scripts have always seen (2 for a missing
// port, 5 for one that is refused or in use), so that a script testing for
// them, and a user who knows them, read the same thing here.
#ifndef VANTREL_SERIAL_SERIAL_PORT_ERROR_H_
#define VANTREL_SERIAL_SERIAL_PORT_ERROR_H_

#include <string>
#include <string_view>

#include "base/exception.h"

namespace vantrel {

// The numbered error texts.
enum SerialErrorCode {
  kOpenFailed = 1,
  kWriteFailed = 2,
  kReadFailed = 3,
  kInvalidAsyncParameter = 4,
  kPurgeFailed = 5,
  kAsyncStatusFailed = 6,
  kSetStateFailed = 7,
  kSetTimeoutsFailed = 8,
  kSetupFailed = 9,
  kClearErrorFailed = 10,
  kModemStatusFailed = 11,
  kEscapeFailed = 12,
  kTransmitCharFailed = 13,
  kSetWhileConnected = 14,
  kEnumPortsFailed = 15,
  kStoreSettingsFailed = 16,
  kLoadSettingsFailed = 17,
  kLinkFailed = 18,
  kLedStateFailed = 19,
  kEventThreadExists = 20,
  kWaitForEventFailed = 21,
  kRxBufLinked = 22,
  kRegistryError = 23,
};

class SerialPortError : public Exception {
 public:
  // `os_code` is already mapped (see WindowsCodeFromErrno); -1 when there is none.
  SerialPortError(int code, int os_code);
  // The one way an errno value becomes the port's error: `error` is mapped
  // onto the code the message shows (WindowsCodeFromErrno, base/windows_error_code.h) and kept as
  // SystemError().
  static SerialPortError FromErrno(int code, int error);
  // This error with `cause`, in words, after its message (" - " between).
  SerialPortError WithCause(std::string_view cause) const;

  int Code() const { return code_; }
  int OsCode() const { return os_code_; }
  // The errno value the error came from; 0 when it came from none.
  int SystemError() const { return system_error_; }

 private:
  SerialPortError(int code, int os_code, int system_error, std::string message);

  int code_;
  int os_code_;
  int system_error_ = 0;
};

// The text of error `code`; empty outside 1..23.
std::string SerialErrorText(int code);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_PORT_ERROR_H_
