// Script pages driving a device over HTTP: the real gateway, its page
// scripter and web functions, and a pseudo terminal as the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/gateway.h"
#include "tests/app/recording_front_end.h"
#include "tests/app/served_gateway_test.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

class SerialPageTest : public ::testing::Test {
 protected:
  SerialPageTest() {
    dir_.Write("config.ini", test::Config(port_));
    dir_.Write("web/open.vpg",
               "<% openport(get_value(\"port\"), \"19200\", \"7\", \"even\", \"1\", \"none\") %>"
               "<%= is_open() %>");
    dir_.Write("web/send.vpg", "<% send(get_value(\"d\")) %>sent");
    dir_.Write("web/take.vpg", "<% r = receive() %><% flush_part(Len(r)) %><%= r %>");
    dir_.Write("web/params.vpg", "<%= get_value(\"Name\") & \"|\" & get_value(\"name\") %>");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
    gateway_->acActivateExecute();
  }
  ~SerialPageTest() override {
    if (gateway_->Active()) gateway_->acActivateExecute();
  }

  // The first line of the body of `request`'s answer.
  std::string Page(const std::string& request) {
    test::TestClient client;
    if (!client.Connect(port_)) return "<no connection>";
    client.Send(request);
    const std::string answer = client.ReadUntilClose();
    const std::size_t body = answer.find("\r\n\r\n");
    if (body == std::string::npos) return "<no header>";
    return answer.substr(body + 4, answer.find("\r\n", body + 4) - body - 4);
  }
  std::string Get(const std::string& document) {
    return Page("GET " + document + " HTTP/1.1\r\n\r\n");
  }

  int SerialErrorLines() const {
    const std::string log = gateway_->Log().Text();
    int count = 0;
    for (std::size_t at = log.find("Serial port error"); at != std::string::npos;
         at = log.find("Serial port error", at + 1)) {
      ++count;
    }
    return count;
  }

  test::TempDir dir_;
  test::LoopThread loop_;
  test::RecordingFrontEnd front_end_;
  const int port_ = test::FreePort();
  std::unique_ptr<Gateway> gateway_;
};

TEST_F(SerialPageTest, PagesOpenWriteAndReadTheDeviceAndSeeBytesThatCameBetweenPages) {
  test::Pty device;
  EXPECT_EQ(Get("/open.vpg?port=" + device.SlavePath()),
            device.SlavePath() + " 19200 7 Even 1 None");
  device.Send("ab\r\n");  // While no page runs.
  ASSERT_TRUE(test::WaitUntil([&] { return gateway_->GetReceiveBuffer().Text() == "ab\r\n"; },
                              milliseconds(3000)));
  EXPECT_EQ(Get("/take.vpg"), "ab");
  EXPECT_EQ(gateway_->GetReceiveBuffer().Text(), "");
  EXPECT_EQ(Get("/send.vpg?d=ID%3F"), "sent");
  EXPECT_EQ(device.Receive(3), "ID?");
}

TEST_F(SerialPageTest, FormParametersAreDecodedAndNamedCaseSensitively) {
  const std::string body = "name=lower&Name=a%20b+c";
  EXPECT_EQ(Page("POST /params.vpg HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                 "Content-Length: " +
                 std::to_string(body.size()) + "\r\n\r\n" + body),
            "a b c|lower");
  EXPECT_EQ(Get("/params.vpg?Name=%41&name=x"), "A|x");
}

TEST_F(SerialPageTest, DeviceThatVanishesEndsTheWritingPageAndAnotherOpensAfterIt) {
  {
    test::Pty device;
    ASSERT_EQ(Get("/open.vpg?port=" + device.SlavePath()),
              device.SlavePath() + " 19200 7 Even 1 None");
    device.Vanish();
    EXPECT_THAT(Get("/send.vpg?d=lost"), HasSubstr("Script engine error: "));
    EXPECT_TRUE(test::WaitUntil([&] { return SerialErrorLines() == 1; }, milliseconds(3000)));
    EXPECT_EQ(SerialErrorLines(), 1) << "the loss is logged once";
  }
  test::Pty back;
  EXPECT_EQ(Get("/open.vpg?port=" + back.SlavePath()), back.SlavePath() + " 19200 7 Even 1 None");
  EXPECT_EQ(Get("/send.vpg?d=again"), "sent");
  EXPECT_EQ(back.Receive(5), "again");
}

}  // namespace
}  // namespace vantrel
