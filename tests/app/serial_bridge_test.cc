// The gateway's serial port, driven through a pseudo terminal whose master
// end plays the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/gateway.h"
#include "base/string_list.h"
#include "tests/app/recording_front_end.h"
#include "tests/support/ports.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::EndsWith;

class SerialBridgeTest : public ::testing::Test {
 protected:
  SerialBridgeTest() {
    dir_.Write("config.ini", "Server port=" + std::to_string(test::FreePort()) + "\r\n");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
  }

  ~SerialBridgeTest() override {
    // The gateway's own handlers run on the loop: stop them before it goes.
    gateway_->CP1().ClosePort();
  }

  bool BufferHolds(const std::string& bytes) {
    return test::WaitUntil([&] { return gateway_->GetReceiveBuffer().Text() == bytes; },
                           milliseconds(3000));
  }

  std::string LastLogLine() const {
    StringList lines;
    lines.SetText(gateway_->Log().Text());
    return lines.Empty() ? "" : lines[lines.Count() - 1];
  }

  test::TempDir dir_;
  test::LoopThread loop_;
  test::RecordingFrontEnd front_end_;
  std::unique_ptr<Gateway> gateway_;
};

TEST_F(SerialBridgeTest, ReceivedBytesCollectInTheBufferUntilTheStopClearsIt) {
  test::Pty device;
  SerialPort& port = gateway_->CP1();
  EXPECT_EQ(port.Port(), "COM1");
  EXPECT_EQ(port.GetBaudRate(), br9600);
  EXPECT_EQ(port.Buffer().InputSize(), 4096);

  gateway_->GetReceiveBuffer().Append("left from before", 1 << 20);
  port.SetPort(device.SlavePath());
  port.OpenPort();
  EXPECT_TRUE(BufferHolds(""));  // Opening clears it.
  device.Send("hello ");
  device.Send("device");
  ASSERT_TRUE(BufferHolds("hello device"));

  gateway_->acActivateExecute();
  ASSERT_TRUE(gateway_->Active());
  gateway_->acActivateExecute();
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(gateway_->GetReceiveBuffer().Text(), "");
  EXPECT_THAT(LastLogLine(), EndsWith("Stop listening, com port closed."));
}

TEST_F(SerialBridgeTest, AVanishedDeviceIsLoggedAsASerialPortError) {
  auto device = std::make_unique<test::Pty>();
  gateway_->CP1().SetPort(device->SlavePath());
  gateway_->CP1().OpenPort();
  device->Vanish();
  EXPECT_TRUE(test::WaitUntil([&] { return LastLogLine().ends_with("Serial port error"); },
                              milliseconds(3000)))
      << gateway_->Log().Text();
}

}  // namespace
}  // namespace vantrel
