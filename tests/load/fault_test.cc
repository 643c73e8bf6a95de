// Faults of the work a request starts: PHP programs that hang, flood or
// crash, several at once, and a script page caught by a stop and restart
// of the server. The gateway must answer each, keep serving and leave no
// process, thread or descriptor behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/gateway.h"
#include "cgi/cgi_runner.h"
#include "tests/cgi/cgi_test_util.h"
#include "tests/load/load_gateway_test.h"
#include "tests/support/process_stats.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::EndsWith;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

using FaultTest = test::LoadGatewayTest;

// A stand-in PHP program whose behaviour the page's name picks. Each run
// writes its process mark (id and start time) to web/<page>.pid first.
std::string FakePhp() {
  return test::PrintProcessMark("$$") +
         " > \"$SCRIPT_FILENAME.pid\"\n"
         "case \"$SCRIPT_FILENAME\" in\n"
         "  *hang*) printf 'Content-type: text/plain\\r\\n\\r\\nwaiting'; exec sleep 60 ;;\n"
         // A mebibyte (M) more than the runner keeps.
         "  *flood*) printf 'Content-type: text/plain\\r\\n\\r\\n'\n"
         "    exec head -c 257M /dev/zero ;;\n"
         "  *crash*) printf 'Content-type: text/plain\\r\\n\\r\\npartial'; kill -SEGV $$ ;;\n"
         "  *) printf 'Content-type: text/plain\\r\\n\\r\\nfine' ;;\n"
         "esac\n";
}

// Runs concurrently: a program that hangs is killed at the time-out and
// answered 500 with the time-out page; one that writes more than the
// runner keeps is answered 500 with the error page; one that crashes after
// its header is answered with what it wrote (the exit status is not looked
// at). A shared kill target, a missed reap or a reader left on a pipe
// shows as a wrong answer, a live process or a leftover thread.
TEST_F(FaultTest, HangingFloodingAndCrashingPhpProgramsAreAnsweredAndLeaveNoProcess) {
  constexpr int kTimeOut = 4000 * test::kSlowdown;
  const std::string php = test::WriteScript(dir_, "fake-php", FakePhp());
  const std::vector<std::string> pages = {"hang1", "hang2", "flood", "crash1", "crash2", "fine"};
  for (const std::string& page : pages) dir_.Write("web/" + page + ".php", "<?php ?>");
  Start(test::Config(port_, "", php),
        [](Gateway& gateway) { gateway.cgiRunner().SetTimeOut(kTimeOut); });
  NoteCounts();

  std::vector<std::string> answers(pages.size());
  std::vector<std::thread> clients;
  const auto start = Clock::now();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    clients.emplace_back([&, i] {
      test::TestClient client;
      if (!client.Connect(port_)) return;
      client.Send("GET /" + pages[i] + ".php HTTP/1.1\r\n\r\n");
      answers[i] = client.ReadUntilClose(milliseconds(kTimeOut + 10000));
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_LT(Clock::now() - start, milliseconds(kTimeOut + 5000));

  const std::string error = "HTTP/1.1 500 Internal Server Error\r\n";
  for (int i : {0, 1}) {
    EXPECT_THAT(answers[i], StartsWith(error)) << pages[i];
    EXPECT_EQ(Body(answers[i]), CgiRunner::kDefaultTimeOutMsg) << pages[i];
  }
  EXPECT_THAT(answers[2], StartsWith(error));
  EXPECT_EQ(Body(answers[2]), CgiRunner::kDefaultErrorMsg);
  for (int i : {3, 4}) {
    EXPECT_THAT(answers[i], StartsWith("HTTP/1.1 200 OK\r\n")) << pages[i];
    // The command interpreter reports the crash on the shared output.
    EXPECT_THAT(Body(answers[i]), StartsWith("partial")) << pages[i];
  }
  EXPECT_THAT(answers[5], EndsWith("\r\n\r\nfine"));

  for (const std::string& page : pages) {
    const std::string mark = dir_.Read("web/" + page + ".php.pid");
    ASSERT_FALSE(mark.empty()) << page << " never ran";
    EXPECT_TRUE(test::ProcessEnds(mark)) << page << " still runs";
  }
  EXPECT_TRUE(test::NoChildren()) << "a program was left unreaped";
  EXPECT_TRUE(CountsBack());
}

// A page that echoes, then runs until it is halted.
constexpr const char* kEndlessPage = "<p>started</p><% do\r\nloop while true %>never";

// Stopping halts the running page well within the stop's wait for it, and
// the restarted server runs pages again: a halt that stayed set, a page
// slot that stayed taken or a page thread that never ended would show in
// the next round.
TEST_F(FaultTest, ScriptPageCaughtByStopAndRestartIsHaltedAndPagesRunAgain) {
  dir_.Write("web/loop.vpg", kEndlessPage);
  dir_.Write("web/other.vpg", "<%= \"other\" %>");
  Start(test::Config(port_));
  NoteCounts();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test::TestClient runner;
    ASSERT_TRUE(runner.Connect(port_));
    runner.Send("GET /loop.vpg HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(
        test::WaitUntil([this] { return gateway_->wbscripter().IsRunning(); }, milliseconds(5000)));

    const auto stop_start = Clock::now();
    gateway_->acActivateExecute();
    EXPECT_LT(Clock::now() - stop_start, milliseconds(2000 * test::kSlowdown));
    EXPECT_FALSE(gateway_->wbscripter().IsRunning());
    EXPECT_EQ(gateway_->RunningScriptPath(), "");
    runner.ReadUntilClose();
    EXPECT_TRUE(runner.ServerClosed());
    runner.Close();

    gateway_->acActivateExecute();
    ASSERT_TRUE(gateway_->Active());
    EXPECT_TRUE(CountsBack());
    EXPECT_EQ(Body(Get("/other.vpg")), "other\r\n\r\n");
  }
}

}  // namespace
}  // namespace vantrel
