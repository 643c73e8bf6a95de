#include "serial/serial_settings.h"

#include <array>

namespace vantrel {
namespace {

// Bits per second of br110 .. br256000, in ordinal order.
constexpr std::array<int, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                            4800,  9600,  14400,  19200,  38400,
                                            56000, 57600, 115200, 128000, 256000};

}  // namespace

int BaudRateValue(BaudRate rate, int custom) {
  if (rate <= brCustom || rate > br256000) return custom;
  return kBaudRates[static_cast<std::size_t>(rate) - 1];
}

FlowControl SerialFlowControl::GetFlowControl() const {
  if (ControlRTS == rtsHandshake && OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcHardware;
  if (ControlRTS == rtsDisable && !OutCTSFlow && XonXoffIn && XonXoffOut) return fcSoftware;
  if (ControlRTS == rtsDisable && !OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcNone;
  return fcCustom;
}

void SerialFlowControl::SetFlowControl(FlowControl value) {
  if (value == fcCustom) return;
  ControlRTS = rtsDisable;
  OutCTSFlow = false;
  XonXoffIn = false;
  XonXoffOut = false;
  if (value == fcHardware) {
    ControlRTS = rtsHandshake;
    OutCTSFlow = true;
  } else if (value == fcSoftware) {
    XonXoffIn = true;
    XonXoffOut = true;
  }
}

}  // namespace vantrel
