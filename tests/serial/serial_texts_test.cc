// Text forms, derived flow control, even buffer sizes and error messages:
// the pure parts of the serial port.
#include "serial/serial_texts.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/windows_error_code.h"
#include "serial/serial_port_error.h"
#include "serial/serial_settings.h"

namespace vantrel {
namespace {

TEST(SerialTextsTest, TextsMatchRegardlessOfCaseAndUnknownTextsFallBack) {
  EXPECT_EQ(TextToBaudRate("115200"), br115200);
  EXPECT_EQ(TextToBaudRate("custom"), brCustom);
  EXPECT_EQ(TextToBaudRate("abc"), br9600);
  EXPECT_EQ(TextToBaudRate("9601"), br9600);
  EXPECT_EQ(TextToParity("even"), prEven);
  EXPECT_EQ(TextToParity("parity"), prNone);
  EXPECT_EQ(TextToFlowControl("HARDWARE"), fcHardware);
  EXPECT_EQ(TextToFlowControl("xyz"), fcCustom);
  EXPECT_EQ(TextToStopBits("1.5"), sbOne5StopBits);
  EXPECT_EQ(TextToStopBits("3"), sbOneStopBit);
  EXPECT_EQ(TextToDataBits("7"), dbSeven);
  EXPECT_EQ(TextToDataBits("9"), dbEight);
  EXPECT_EQ(TextToDTR("handshake"), dtrHandshake);
  EXPECT_EQ(TextToDTR(""), dtrDisable);
  EXPECT_EQ(TextToRTS("toggle"), rtsToggle);
  EXPECT_EQ(TextToRTS("on"), rtsDisable);
}

TEST(SerialTextsTest, EveryValueReadsBackFromItsOwnText) {
  for (int i = brCustom; i <= br256000; ++i) {
    EXPECT_EQ(TextToBaudRate(BaudRateToText(static_cast<BaudRate>(i))), i);
  }
  for (int i = prNone; i <= prSpace; ++i) {
    EXPECT_EQ(TextToParity(ParityToText(static_cast<ParityBits>(i))), i);
  }
  for (int i = fcHardware; i <= fcCustom; ++i) {
    EXPECT_EQ(TextToFlowControl(FlowControlToText(static_cast<FlowControl>(i))), i);
  }
  EXPECT_EQ(StopBitsToText(sbTwoStopBits), "2");
  EXPECT_EQ(DataBitsToText(dbFive), "5");
  EXPECT_EQ(BaudRateToText(br256000), "256000");
  EXPECT_EQ(RTSToText(rtsHandshake), "Handshake");
  EXPECT_EQ(DTRToText(dtrEnable), "Enable");
}

TEST(SerialTextsTest, BooleansAreYesOnlyForYes) {
  EXPECT_EQ(BoolToText(true), "Yes");
  EXPECT_EQ(BoolToText(false), "No");
  EXPECT_TRUE(TextToBool("yEs"));
  EXPECT_FALSE(TextToBool("true"));
  EXPECT_FALSE(TextToBool("Y"));
}

TEST(SerialTextsTest, ControlCharactersUseHashCodes) {
  EXPECT_EQ(CharToText('\0'), "#0");
  EXPECT_EQ(CharToText(17), "#17");
  EXPECT_EQ(CharToText(' '), "#32");
  EXPECT_EQ(CharToText('!'), "!");
  EXPECT_EQ(TextToChar(""), '\0');
  EXPECT_EQ(TextToChar("#19"), 19);
  EXPECT_EQ(TextToChar("#x"), '\0');
  EXPECT_EQ(TextToChar("#999"), '\0');  // Out of range is not a code.
  EXPECT_EQ(TextToChar("abc"), 'a');
  EXPECT_EQ(static_cast<unsigned char>(TextToChar("#200")), 200);
}

TEST(SerialFlowControlTest, DerivedSchemeFollowsTheFieldsAfterEachWrite) {
  SerialFlowControl flow;
  EXPECT_EQ(flow.GetFlowControl(), fcNone);
  flow.SetFlowControl(fcHardware);
  EXPECT_EQ(FlowControlToText(flow.GetFlowControl()), "Hardware");
  flow.OutDSRFlow = true;  // Not part of any scheme.
  EXPECT_EQ(FlowControlToText(flow.GetFlowControl()), "Hardware");
  flow.XonXoffIn = true;
  EXPECT_EQ(FlowControlToText(flow.GetFlowControl()), "Custom");
  flow.SetFlowControl(fcSoftware);
  EXPECT_EQ(flow.GetFlowControl(), fcSoftware);
  EXPECT_EQ(flow.ControlRTS, rtsDisable);
  EXPECT_FALSE(flow.OutCTSFlow);
  EXPECT_TRUE(flow.OutDSRFlow);  // Untouched by the scheme.
  flow.SetFlowControl(fcCustom);
  EXPECT_EQ(flow.GetFlowControl(), fcSoftware);  // Custom changes nothing.
  flow.SetFlowControl(fcNone);
  EXPECT_EQ(flow.GetFlowControl(), fcNone);
  flow.ControlRTS = rtsEnable;
  EXPECT_EQ(flow.GetFlowControl(), fcCustom);
}

TEST(SerialBufferTest, OddSizesAreStoredEvenAndLimitsAreAQuarter) {
  SerialBuffer buffer;
  EXPECT_EQ(buffer.InputSize(), 1024);
  buffer.SetInputSize(4097);
  buffer.SetOutputSize(3);
  EXPECT_EQ(buffer.InputSize(), 4096);
  EXPECT_EQ(buffer.OutputSize(), 2);
  EXPECT_EQ(buffer.XonLimit(), 1024);
  EXPECT_EQ(buffer.XoffLimit(), 1024);
  buffer.SetInputSize(-3);  // Only positive odd sizes are reduced.
  EXPECT_EQ(buffer.InputSize(), -3);
}

TEST(SerialSettingsTest, BaudRatesMapToTheirBitsPerSecond) {
  EXPECT_EQ(BaudRateValue(br110, 1), 110);
  EXPECT_EQ(BaudRateValue(br14400, 1), 14400);
  EXPECT_EQ(BaudRateValue(br256000, 1), 256000);
  EXPECT_EQ(BaudRateValue(brCustom, 31250), 31250);
}

TEST(SerialPortErrorTest, MessagesCarryTheMappedOsCodeOnlyWhenThereIsOne) {
  EXPECT_EQ(SerialPortError(kOpenFailed, WindowsCodeFromErrno(ENOENT)).Message(),
            "Unable to open com port (win error code: 2)");
  EXPECT_EQ(SerialPortError(kSetWhileConnected, -1).Message(),
            "Cannot set property while connected");
  EXPECT_EQ(SerialPortError(kOpenFailed, 2).ClassName(), std::string("SerialPortError"));
  EXPECT_EQ(SerialErrorText(23), "Registry error");
  EXPECT_EQ(SerialErrorText(24), "");
  EXPECT_EQ(WindowsCodeFromErrno(ENXIO), 2);
  EXPECT_EQ(WindowsCodeFromErrno(EBUSY), 5);
  EXPECT_EQ(WindowsCodeFromErrno(EPERM), 5);
  EXPECT_EQ(WindowsCodeFromErrno(EIO), 1117);
  EXPECT_EQ(WindowsCodeFromErrno(EINVAL), 87);
  EXPECT_EQ(WindowsCodeFromErrno(ENOTTY), ENOTTY);
}

}  // namespace
}  // namespace vantrel
