// The line settings of a serial port: the setting types, their defaults and
// the small records the port groups them in (parity, buffer sizes, flow
// control, time-outs). Plain values; no thread safety of their own.
#ifndef VANTREL_SERIAL_SERIAL_SETTINGS_H_
#define VANTREL_SERIAL_SERIAL_SETTINGS_H_

#include <cstdint>

namespace vantrel {

// The enumerations keep the published order: their ordinal is their value.
enum BaudRate {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum StopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum DataBits { dbFive, dbSix, dbSeven, dbEight };
enum ParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum DtrFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum RtsFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum FlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum SerialEvent {
  evRxChar,
  evTxEmpty,
  evRxFlag,
  evRing,
  evBreak,
  evCTS,
  evDSR,
  evError,
  evRLSD,
  evRx80Full
};
enum SyncMethod { smThreadSync, smWindowSync, smNone };

// Bits per second of `rate`; `custom` for brCustom.
int BaudRateValue(BaudRate rate, int custom);

// A set of SerialEvent values, one bit per ordinal.
class SerialEvents {
 public:
  constexpr SerialEvents() = default;
  static constexpr SerialEvents All() { return SerialEvents(0x3FF); }

  constexpr bool Contains(SerialEvent event) const { return (bits_ >> event) & 1U; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr SerialEvents& Add(SerialEvent event) {
    bits_ |= 1U << event;
    return *this;
  }
  constexpr SerialEvents& Remove(SerialEvent event) {
    bits_ &= ~(1U << event);
    return *this;
  }
  constexpr std::uint16_t Bits() const { return bits_; }
  friend constexpr bool operator==(SerialEvents, SerialEvents) = default;

 private:
  constexpr explicit SerialEvents(std::uint16_t bits) : bits_(bits) {}
  std::uint16_t bits_ = 0;
};

// Line errors as reported by OnError and PendingErrors.
enum SerialErrorBit : std::uint8_t {
  kFramingError = 1U << 0,
  kParityError = 1U << 1,  // Only when Parity.Check is on.
  kOverrunError = 1U << 2,
  kBreakError = 1U << 3,
  kDeviceIoError = 1U << 4,
  kModeError = 1U << 5,
  kReceiveOverflowError = 1U << 6,
  kTransmitFullError = 1U << 7,
};
using SerialErrors = std::uint8_t;

struct ModemSignalStates {
  bool CTS = false;
  bool DSR = false;
  bool Ring = false;
  bool RLSD = false;
};

struct SerialParity {
  ParityBits Bits = prNone;
  bool Check = false;
  bool Replace = false;
  char ReplaceChar = '\0';
  friend bool operator==(const SerialParity&, const SerialParity&) = default;
};

// Queue sizes. Stored as even numbers: an odd positive value is reduced by one.
class SerialBuffer {
 public:
  int InputSize() const { return input_size_; }
  int OutputSize() const { return output_size_; }
  void SetInputSize(int size) { input_size_ = Even(size); }
  void SetOutputSize(int size) { output_size_ = Even(size); }
  // The limits of XON/XOFF input flow control: a quarter of the input size.
  int XonLimit() const { return input_size_ / 4; }
  int XoffLimit() const { return input_size_ / 4; }
  friend bool operator==(const SerialBuffer&, const SerialBuffer&) = default;

 private:
  static int Even(int size) { return (size > 0 && size % 2 != 0) ? size - 1 : size; }
  int input_size_ = 1024;
  int output_size_ = 1024;
};

// Flow control fields; the FlowControl summary is derived from them.
struct SerialFlowControl {
  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  DtrFlowControl ControlDTR = dtrDisable;
  RtsFlowControl ControlRTS = rtsDisable;
  bool XonXoffOut = false;
  bool XonXoffIn = false;
  bool DSRSensitivity = false;
  bool TxContinueOnXoff = false;
  char XonChar = 17;
  char XoffChar = 19;

  // fcHardware, fcSoftware or fcNone when the RTS, CTS and XON/XOFF fields
  // match that scheme exactly, else fcCustom. Other fields do not count.
  FlowControl GetFlowControl() const;
  // Sets the RTS, CTS and XON/XOFF fields to the scheme; fcCustom changes
  // nothing. The remaining fields are left as they are.
  void SetFlowControl(FlowControl value);
  friend bool operator==(const SerialFlowControl&, const SerialFlowControl&) = default;
};

// Milliseconds; a ReadInterval of -1 stands for the largest interval.
struct SerialTimeouts {
  int ReadInterval = -1;
  int ReadTotalMultiplier = 0;
  int ReadTotalConstant = 0;
  int WriteTotalMultiplier = 100;
  int WriteTotalConstant = 1000;
  friend bool operator==(const SerialTimeouts&, const SerialTimeouts&) = default;
};

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_SETTINGS_H_
