// A serial device that vanishes while a page is talking to it and comes
// back under the same name, as a USB adapter pulled and plugged in again
// does: the real gateway, a page polling the device, and pseudo terminals
// reached through one link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/gateway.h"
#include "tests/app/recording_front_end.h"
#include "tests/app/served_gateway_test.h"
#include "tests/load/load_gateway_test.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

constexpr const char* kOpen =
    "<% openport(get_value(\"port\"), \"9600\", \"8\", \"none\", \"1\", \"none\") %>";

// Asks the device with "?" and waits up to half a second for any answer,
// for ever; only an error ends it.
constexpr const char* kPollPage =
    "<% do\r\n"
    "  send(\"?\")\r\n"
    "  t = getticks() + 500\r\n"
    "  do\r\n"
    "    r = receive()\r\n"
    "  loop while (r = \"\") and (getticks() < t)\r\n"
    "  flush\r\n"
    "loop while true %>";

class SerialFaultTest : public ::testing::Test {
 protected:
  SerialFaultTest() {
    dir_.Write("config.ini", test::Config(port_));
    dir_.Write("web/poll.vpg", std::string(kOpen) + kPollPage);
    // The port whose device was lost is still open under the same name:
    // opening it again reaches the device that came back.
    dir_.Write("web/hello.vpg", std::string(kOpen) + "<% send(\"hello\") %><%= is_open() %>");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
    gateway_->acActivateExecute();
  }
  ~SerialFaultTest() override {
    if (gateway_->Active()) gateway_->acActivateExecute();
  }

  // Points the link at `device`.
  void Link(const test::Pty& device) {
    std::filesystem::remove(link_);
    std::filesystem::create_symlink(device.SlavePath(), link_);
  }

  test::TempDir dir_;
  test::LoopThread loop_;
  test::RecordingFrontEnd front_end_;
  const int port_ = test::FreePort();
  const std::string link_ = dir_.File("ttyLOAD");
  std::unique_ptr<Gateway> gateway_;
};

// A page blocked on a device that is gone must end with an error rather
// than poll for ever, and the name must open the device that comes back.
TEST_F(SerialFaultTest, DeviceVanishingUnderAPollingPageEndsItAndComesBackUnderItsName) {
  auto device = std::make_unique<test::Pty>();
  Link(*device);
  test::TestClient page;
  ASSERT_TRUE(page.Connect(port_));
  page.Send("GET /poll.vpg?port=" + link_ + " HTTP/1.1\r\n\r\n");
  // Answer a few questions, then vanish while the page waits for the next.
  for (int answered = 0; answered < 5; ++answered) {
    ASSERT_EQ(device->Receive(1), "?")
        << "after " << answered << " answers: " << page.ReadUntilClose(milliseconds(100));
    device->Send("!");
  }
  ASSERT_EQ(device->Receive(1), "?");
  const auto vanished_at = Clock::now();
  device->Vanish();
  const std::string answer = page.ReadUntilClose(milliseconds(5000 * test::kSlowdown));
  EXPECT_TRUE(page.ServerClosed()) << "the page still runs";
  EXPECT_LT(Clock::now() - vanished_at, milliseconds(3000 * test::kSlowdown));
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(answer, HasSubstr("Script engine error: "));
  EXPECT_TRUE(test::WaitUntil([this] { return gateway_->RunningScriptPath().empty(); },
                              milliseconds(5000)));

  device = std::make_unique<test::Pty>();
  Link(*device);
  test::TestClient again;
  ASSERT_TRUE(again.Connect(port_));
  again.Send("GET /hello.vpg?port=" + link_ + " HTTP/1.1\r\n\r\n");
  EXPECT_EQ(device->Receive(5), "hello");
  EXPECT_THAT(again.ReadUntilClose(), HasSubstr("\r\n\r\n" + link_ + " 9600 8 None 1 None"));
}

}  // namespace
}  // namespace vantrel
