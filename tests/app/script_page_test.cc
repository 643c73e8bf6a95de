// Script pages served by the real gateway over HTTP: translation, running,
// the one-page-at-a-time gate, abort and the error reports.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/gateway.h"
#include "app/script_page_gate.h"
#include "script/host/host_class.h"
#include "script/machine/virtual_machine.h"
#include "tests/app/served_gateway_test.h"
#include "tests/support/process_stats.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A page that echoes, then runs until it is halted.
constexpr const char* kEndlessPage = "<p>started</p><% do\r\nloop while true %>never";

class ScriptPageTest : public test::ServedGatewayTest {
 protected:
  void StartServing() { Start(test::Config(port_)); }

  static std::string Body(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "<no header>" : answer.substr(end + 4);
  }

  // Sends a request for `document` on `client` without reading the answer.
  void Request(test::TestClient& client, const std::string& document) {
    ASSERT_TRUE(client.Connect(port_));
    client.Send("GET " + document + " HTTP/1.1\r\n\r\n");
  }

  bool PageProgramRuns() {
    return test::WaitUntil([this] { return gateway_->wbscripter().IsRunning(); },
                           milliseconds(5000));
  }
};

TEST_F(ScriptPageTest, PageEchoesItsTextAndTheNamedValues) {
  dir_.Write("web/port.vpg",
             "<p>Port: <%= peerPort %></p>\r\n<% if peerPort > 0 then %>\r\n"
             "<b>\"A\" & (B)</b>\r\n<% end if %>\r\n<%= peerIP %>");
  StartServing();
  test::TestClient client;
  Request(client, "/port.vpg");
  const std::string answer = client.ReadUntilClose();
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(answer, HasSubstr("Content-Type: text/html\r\n"));
  EXPECT_EQ(Body(answer), "<p>Port: \r\n" + std::to_string(client.LocalPort()) +
                              "\r\n</p>\r\n\r\n<b>\"A\" & (B)</b>\r\n\r\n\r\n127.0.0.1\r\n"
                              // The line end after the last block, which every page text has.
                              "\r\n");
  EXPECT_EQ(gateway_->RunningScriptPath(), "");
  EXPECT_EQ(gateway_->CurrentRequest(), nullptr);
  // HEAD runs the page like GET.
  EXPECT_THAT(Send("HEAD /port.vpg HTTP/1.1\r\n\r\n"), HasSubstr("\r\n\r\n<p>Port: \r\n"));
}

TEST_F(ScriptPageTest, CompileErrorIsLoggedWithTheProgramLinesAroundIt) {
  dir_.Write("web/bad.vpg", "<p>a</p>\r\n<% x = 1 %>\r\n<% nosuch(x) %>\r\n<% y = 2 %>");
  StartServing();
  const std::string answer = Get("/bad.vpg");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(Body(answer),
            "Script engine error: Unknown method or routine: &#39;nosuch&#39;.\r\n"
            "Source position: 4,2\r\n");
  const std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(log.end() - 6, log.end()),
              ElementsAre("Unknown method or routine: 'nosuch': line 4 col 2", " x = 1 ",
                          "echo (\"\")", ">>> nosuch(x) ", "echo (\"\")", " y = 2 "));
}

TEST_F(ScriptPageTest, RuntimeErrorFollowsWhatThePageEchoedAndIsNotLogged) {
  dir_.Write("web/fails.vpg", "before<% x = 1 / 0 %>after");
  StartServing();
  const std::string answer = Get("/fails.vpg");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(Body(answer), AllOf(StartsWith("before\r\nScript engine error: RUNTIME ERROR\r\n"
                                             "Division by zero"),
                                  EndsWith("\r\n"), Not(HasSubstr("after"))));
  for (const std::string& line : LogMessages()) EXPECT_THAT(line, Not(HasSubstr("Division")));
}

TEST_F(ScriptPageTest, PagesSeeTheVBScriptLibraryButNotTheDialogs) {
  dir_.Write("web/ucase.vpg", "<%= UCase(\"a\") %>");
  dir_.Write("web/show.vpg", "<% ShowMessage(\"x\") %>");
  dir_.Write("web/input.vpg", "<% x = InputBox(\"a\", \"b\", \"c\") %>");
  dir_.Write("web/msg.vpg", "<% x = MsgBox(\"a\", 0, \"t\") %>");
  StartServing();
  EXPECT_EQ(Body(Get("/ucase.vpg")), "A\r\n\r\n");
  for (const char* page : {"/show.vpg", "/input.vpg", "/msg.vpg"}) {
    EXPECT_THAT(Body(Get(page)), StartsWith("Script engine error: Unknown method")) << page;
  }
}

// A value of the query that reaches a failing call comes back in the error
// line, and a page file may be named with markup: neither may become markup
// in the browser that reads the answer.
TEST_F(ScriptPageTest, MarkupFromTheClientOrAFileNameIsEscapedInErrorLinesAndGatePages) {
  dir_.Write("web/fail.vpg", "<p>a</p><% Raise(get_value(\"v\")) %>");
  const std::string marked = "<i>'x\"&.vpg";
  dir_.Write("web/" + marked, kEndlessPage);
  StartServing();
  EXPECT_EQ(Body(Get("/fail.vpg?v=%3Cscript%3Ealert(%271%27)%3C/script%3E%22%26")),
            "<p>a</p>\r\nScript engine error: RUNTIME ERROR\r\n"
            "&lt;script&gt;alert(&#39;1&#39;)&lt;/script&gt;&quot;&amp;\r\n");

  test::TestClient runner;
  Request(runner, "/" + marked);
  ASSERT_TRUE(PageProgramRuns());
  const std::string escaped_path = dir_.File("web/") + "&lt;i&gt;&#39;x&quot;&amp;.vpg";
  EXPECT_THAT(Body(Get("/fail.vpg")), HasSubstr("Another script is running (" + escaped_path +
                                                ").<br>You can <a href=\"./abort.vpg\">"));
  EXPECT_THAT(Body(Get("/abort.vpg")),
              HasSubstr("The script was aborted (" + escaped_path + ").<br>"));
  EXPECT_EQ(Body(runner.ReadUntilClose()), "<p>started</p>\r\n");
}

// A page echoing in a loop took all the machine's memory for its answer.
TEST_F(ScriptPageTest, OutputPastTheLimitEndsThePageWithALineThatSaysSo) {
  dir_.Write("web/flood.vpg",
             "<% line = String(1022, \"x\")\r\ndo\r\necho(line)\r\nloop while true %>");
  dir_.Write("web/small.vpg", "<%= 1 %>");
  Start(test::Config(port_, "Max page output=1\r\n"));
  const std::string body = Body(Get("/flood.vpg"));
  // 1 MiB holds 1024 lines of 1022 bytes with their line ends; the next
  // one does not fit, and the error line says why.
  const std::string lines = body.substr(0, 1u << 20);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), 'x'), 1024 * 1022);
  EXPECT_THAT(body.substr(1u << 20, 200),
              StartsWith("Script engine error: RUNTIME ERROR\r\nThe page&#39;s output passed its "
                         "limit of 1 MiB, so the page was ended (setting &quot;Max page "
                         "output&quot; in config.ini)."));
  // The next page starts with the whole limit again.
  EXPECT_EQ(Body(Get("/small.vpg")), "1\r\n\r\n");
}

TEST_F(ScriptPageTest, OnePageRunsAtATimeAndAbortHaltsIt) {
  dir_.Write("web/loop.vpg", kEndlessPage);
  dir_.Write("web/other.vpg", "<%= \"other\" %>");
  StartServing();
  EXPECT_EQ(Body(Get("/abort.vpg")),
            "<html><head><title>No script running</title></head><body><h1>No script "
            "running</h1>\rThere are not running scripts.<br>You can resume normal "
            "operation.</body></html>");

  test::TestClient runner;
  Request(runner, "/loop.vpg");
  ASSERT_TRUE(PageProgramRuns());
  const std::string loop_path = dir_.File("web/loop.vpg");
  const std::string busy =
      "<html><head><title>Error</title></head><body><h1>Access denied</h1>\rAnother script is "
      "running (" +
      loop_path + ").<br>You can <a href=\"./abort.vpg\">ABORT</a> it.</body></html>";
  EXPECT_EQ(Body(Get("/other.vpg")), busy);
  EXPECT_EQ(Body(Get("/no-such-page.vpg")), busy);

  const std::string aborted = Get("/sub/Abort.vpg");
  EXPECT_THAT(aborted, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(Body(aborted),
            "<html><head><title>Script aborted</title></head><body><h1>Script aborted</h1>\r"
            "The script was aborted (" +
                loop_path + ").<br>You can resume normal operation.</body></html>");
  EXPECT_EQ(Body(runner.ReadUntilClose()), "<p>started</p>\r\n");

  ASSERT_TRUE(test::WaitUntil([this] { return gateway_->RunningScriptPath().empty(); },
                              milliseconds(5000)));
  EXPECT_EQ(Body(Get("/other.vpg")), "other\r\n\r\n");
}

// Small pages are read before the gate is claimed, large ones after it; a
// page that is rewritten runs its new text either way.
TEST_F(ScriptPageTest, SmallAndLargePagesRunTheirCurrentText) {
  // 300,000 bytes of text: past the size up to which a page is read before
  // the gate is claimed.
  const std::string large(300000, 'x');
  dir_.Write("web/large.vpg", "<%= \"large\" %>" + large);
  dir_.Write("web/small.vpg", "<%= \"small\" %>");
  StartServing();
  const auto tail = [this](const std::string& document) {
    const std::string body = Body(Get(document));
    return std::to_string(body.size()) + ":" + body.substr(0, 20);
  };
  EXPECT_EQ(tail("/large.vpg"), "300011:large\r\nxxxxxxxxxxxxx");
  EXPECT_EQ(tail("/small.vpg"), "9:small\r\n\r\n");
  dir_.Write("web/large.vpg", "<%= \"shrunk\" %>");
  dir_.Write("web/small.vpg", "<%= \"grown\" %>" + large);
  EXPECT_EQ(tail("/large.vpg"), "10:shrunk\r\n\r\n");
  EXPECT_EQ(tail("/small.vpg"), "300011:grown\r\nxxxxxxxxxxxxx");
}

TEST_F(ScriptPageTest, StoppingTheServerHaltsTheRunningPage) {
  dir_.Write("web/loop.vpg", kEndlessPage);
  StartServing();
  test::TestClient runner;
  Request(runner, "/loop.vpg");
  ASSERT_TRUE(PageProgramRuns());
  gateway_->acActivateExecute();
  EXPECT_EQ(gateway_->RunningScriptPath(), "");
  // Stopping drops the open connections, so the halted page's answer may
  // or may not have been written before its connection went; the
  // connection ends either way.
  const std::string body = Body(runner.ReadUntilClose());
  EXPECT_TRUE(body == "<p>started</p>\r\n" || body == "<no header>") << body;
}

TEST_F(ScriptPageTest, FifoPageIsNotFoundInsteadOfHangingTheScriptSlot) {
  dir_.Write("web/index.html", "<p>home</p>");
  const std::string fifo = dir_.File("web/pipe.vpg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  StartServing();
  test::TestClient client;
  Request(client, "/pipe.vpg");
  const std::string answer = client.ReadUntilClose(milliseconds(2000));
  // Should the page's thread be stuck opening the FIFO, a writer releases it.
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 404 Not Found\r\n"));
  EXPECT_EQ(Body(answer), ScriptPageGate::kScriptNotFoundPage);
}

}  // namespace
}  // namespace vantrel
