// Script pages driving a device over HTTP: the real gateway, its page
// scripter and web functions, and a pseudo terminal as the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

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
    dir_.Write("web/flood.vpg", "<% send(String(200000, \"x\")) %>done");
    // Waits 1.5 s, then opens the port.
    dir_.Write("web/late.vpg",
               "<% t = getticks()\r\nwhile getticks() - t < 1500\r\nx = 1\r\nend while\r\n"
               "openport(get_value(\"port\"), \"9600\", \"8\", \"none\", \"1\", \"none\") %>late");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
    gateway_->acActivateExecute();
  }
  ~SerialPageTest() override {
    if (gateway_->Active()) gateway_->acActivateExecute();
  }

  // The first line of the body of `request`'s answer.
  std::string Page(const std::string& request) { return test::FirstBodyLine(port_, request); }
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

// A page blocked in send ignored abort.vpg until the device read again
// (ten minutes in the trial): halting a page now aborts its transfer.
TEST_F(SerialPageTest, AbortFreesTheGateAtOnceWhileASendWaitsForTheDevice) {
  test::Pty device;  // Its master end reads nothing: the send waits.
  ASSERT_EQ(Get("/open.vpg?port=" + device.SlavePath()),
            device.SlavePath() + " 19200 7 Even 1 None");
  test::TestClient flooding;
  ASSERT_TRUE(flooding.Connect(port_));
  flooding.Send("GET /flood.vpg HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(test::WaitUntil([&] { return device.QueuedAtMaster() > 0; }, milliseconds(5000)));
  ASSERT_TRUE(
      test::WaitUntil([&] { return gateway_->wbscripter().IsRunning(); }, milliseconds(5000)));
  EXPECT_THAT(Page("GET /abort.vpg HTTP/1.1\r\n\r\n"), HasSubstr("Script aborted"));
  EXPECT_TRUE(
      test::WaitUntil([&] { return gateway_->RunningScriptPath().empty(); }, milliseconds(1000)));
  // The halted page ends as halted pages do: no error line.
  const std::string answer = flooding.ReadUntilClose();
  EXPECT_THAT(answer, ::testing::StartsWith("HTTP/1.1 200 OK"));
  EXPECT_THAT(answer, ::testing::Not(HasSubstr("Script engine error")));
  EXPECT_EQ(Get("/send.vpg?d=x"), "sent");
}

// A connection accepted before a stop could claim the gate after the stop
// had halted the running page, and its page opened the port again after
// "Stop listening, com port closed.".
TEST_F(SerialPageTest, APageClaimingWhileTheServerStopsDoesNotRunAfterTheStop) {
  test::Pty device;
  // Stopped to be set up: the stop waits only briefly for connection
  // threads, and the request waits, once read, until the stop is under way.
  gateway_->acActivateExecute();
  gateway_->HTTPServer().SetTerminateWaitTime(250);
  std::atomic<bool> arrived{false};
  std::atomic<bool> release{false};
  gateway_->HTTPServer().SetOnAdmitRequest([&](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) {
    arrived = true;
    while (!release) std::this_thread::sleep_for(milliseconds(5));
    return HttpAdmission{};
  });
  gateway_->acActivateExecute();
  test::TestClient late;
  ASSERT_TRUE(late.Connect(port_));
  late.Send("GET /late.vpg?port=" + device.SlavePath() + " HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(test::WaitUntil([&] { return arrived.load(); }, milliseconds(5000)));

  // The request claims the gate while the stop is under way.
  std::thread releaser([&] {
    test::WaitUntil([&] { return !gateway_->PageGate().ClaimsAllowed(); }, milliseconds(5000));
    release = true;
  });
  gateway_->acActivateExecute();
  releaser.join();
  ASSERT_FALSE(gateway_->Active());
  std::this_thread::sleep_for(milliseconds(2500));  // Longer than the page would wait.
  EXPECT_FALSE(gateway_->CP1().Connected());
  EXPECT_EQ(gateway_->RunningScriptPath(), "");
}

// A device that talks while no page reads filled the memory.
TEST_F(SerialPageTest, ReceiveBufferKeepsTheNewestBytesAndTheLogSaysHowManyWent) {
  StringList lines = gateway_->Settings().Lines();
  lines.Add("Receive buffer=1");
  gateway_->Settings().SetLines(lines);
  test::Pty device;
  ASSERT_EQ(Get("/open.vpg?port=" + device.SlavePath()),
            device.SlavePath() + " 19200 7 Even 1 None");
  std::string sent;
  for (int i = 0; sent.size() < (3u << 19); ++i) sent += std::to_string(i) + ",";
  device.Send(sent);
  const std::string newest = sent.substr(sent.size() - (1u << 20));
  ASSERT_TRUE(test::WaitUntil([&] { return gateway_->GetReceiveBuffer().Text() == newest; },
                              milliseconds(10000)));
  EXPECT_THAT(gateway_->Log().Text(), ::testing::Not(HasSubstr("Receive buffer full")));
  EXPECT_EQ(Get("/take.vpg").substr(0, 20), newest.substr(0, 20));
  EXPECT_THAT(gateway_->Log().Text(),
              HasSubstr("Receive buffer full: " + std::to_string(sent.size() - newest.size()) +
                        " received bytes were dropped, the oldest first (setting \"Receive "
                        "buffer\")."));
}

}  // namespace
}  // namespace vantrel
