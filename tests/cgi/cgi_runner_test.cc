#include "cgi/cgi_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/ascii.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/http_server.h"
#include "http/peer_thread.h"
#include "http/tcp_connection.h"
#include "tests/cgi/cgi_test_util.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

constexpr char kPhpCgi[] = "/usr/bin/php-cgi";
constexpr milliseconds kReplyTimeout{20000};

// A response as the client received it.
struct Reply {
  std::string status_line;
  StringList headers;
  std::string body;
  bool complete = false;  // The header block ended with an empty line.

  // The value of the first header named `name` (ignoring case), or "".
  std::string Header(std::string_view name) const {
    const std::string* line = Find(name);
    if (line == nullptr) return "";
    const std::size_t value = line->find_first_not_of(' ', line->find(':') + 1);
    return value == std::string::npos ? "" : line->substr(value);
  }
  bool HasHeader(std::string_view name) const { return Find(name) != nullptr; }

 private:
  const std::string* Find(std::string_view name) const {
    for (const std::string& line : headers) {
      const std::size_t colon = line.find(':');
      if (colon != std::string::npos && EqualsIgnoreCase(line.substr(0, colon), name)) {
        return &line;
      }
    }
    return nullptr;
  }
};

Reply ParseReply(const std::string& raw) {
  Reply reply;
  const std::size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return reply;
  reply.complete = true;
  StringList lines;
  lines.SetText(raw.substr(0, end));
  if (!lines.Empty()) reply.status_line = lines[0];
  for (std::size_t i = 1; i < lines.Count(); ++i) reply.headers.Add(lines[i]);
  reply.body = raw.substr(end + 4);
  return reply;
}

// A server on the loopback address whose every GET, POST and HEAD runs the
// current command through one shared runner, with the temporary directory
// as document root.
class CgiRunnerTest : public test::NoLeftoversTest {
 protected:
  CgiRunnerTest() {
    runner_.SetServer(&server_);
    server_.SetServerSoftware("TestServer/1.0");
    server_.SetOnCommandGet(
        [this](PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response) {
          runner_.RunProgram(Command(), thread, request, response, dir_.Path(), "");
        });
  }

  void SetCommand(std::string command) {
    std::lock_guard<std::mutex> lock(mutex_);
    command_ = std::move(command);
  }
  std::string Command() {
    std::lock_guard<std::mutex> lock(mutex_);
    return command_;
  }

  // A script whose output is `printf` of `format` (shell printf escapes).
  void ServeOutput(std::string_view format) {
    SetCommand(test::WriteScript(dir_, "program.sh", "printf '" + std::string(format) + "'\n"));
  }

  Reply Fetch(const std::string& request) {
    if (port_ == 0) port_ = test::ActivateOnLoopback(server_);
    test::TestClient client;
    EXPECT_TRUE(client.Connect(port_));
    client.Send(request);
    return ParseReply(client.ReadUntilClose(kReplyTimeout));
  }
  Reply Get(const std::string& target, const std::string& extra_headers = "") {
    return Fetch("GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + extra_headers + "\r\n");
  }

  test::TempDir dir_;
  CgiRunner runner_;
  HttpServer server_;  // Declared after the runner: stops before the runner goes.
  int port_ = 0;

 private:
  std::mutex mutex_;
  std::string command_;  // Guarded by mutex_; read on peer threads.
};

TEST_F(CgiRunnerTest, ProgramHeadersAndBodyAreSentWithServerLineAndNoContentLength) {
  ServeOutput("Content-type: text/plain\\r\\nX-Custom: kept\\r\\n\\r\\nhi");
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(reply.Header("Content-Type"), "text/plain");
  EXPECT_EQ(reply.Header("X-Custom"), "kept");
  EXPECT_EQ(reply.Header("Server"), "TestServer/1.0");
  EXPECT_FALSE(reply.HasHeader("Content-Length"));
  EXPECT_EQ(reply.body, "hi");
}

TEST_F(CgiRunnerTest, StatusFromProgramGivesCodeWithServersReasonAndIsPassedOn) {
  ServeOutput("Status: 404 Gone Away\\r\\nContent-type: text/html\\r\\n\\r\\nmissing");
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(reply.Header("Status"), "404 Gone Away");
  EXPECT_EQ(reply.body, "missing");
}

TEST_F(CgiRunnerTest, LocationGives302WhateverStatusWasSent) {
  ServeOutput("Status: 301 Moved\\r\\nLocation: /elsewhere\\r\\n\\r\\n");
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 302 Moved Temporarily");
  EXPECT_EQ(reply.Header("Location"), "/elsewhere");
}

TEST_F(CgiRunnerTest, OutputWithBareLineFeedsGivesEmptyHtmlPage) {
  ServeOutput("Status: 404\\nContent-type: text/plain\\n\\nhi\\n");
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(reply.Header("Content-Type"), "text/html");
  EXPECT_FALSE(reply.HasHeader("Status"));
  EXPECT_EQ(reply.body, "");
}

TEST_F(CgiRunnerTest, HeadersWithoutBlankAfterColonAreNotReadAndTypeLineIsRemoved) {
  ServeOutput("Status:404\\r\\nContent-type:text/plain\\r\\n\\r\\nx");
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_FALSE(reply.HasHeader("Content-Type"));
  EXPECT_EQ(reply.body, "x");
}

TEST_F(CgiRunnerTest, HangingProgramIsKilledAndAnswered500WithTheTimeOutPage) {
  runner_.SetTimeOut(500);
  SetCommand(test::WriteScript(dir_, "hang.sh",
                               test::PrintProcessMark("$$") + " > " + dir_.File("pid") +
                                   "\nprintf 'Content-type: text/plain\\r\\n\\r\\n'"
                                   "\nexec sleep 30\n"));
  const auto start = std::chrono::steady_clock::now();
  const Reply reply = Get("/page.php");
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500 + 1000));
  EXPECT_EQ(reply.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(reply.body, CgiRunner::kDefaultTimeOutMsg);
  EXPECT_EQ(reply.Header("Content-Length"), std::to_string(reply.body.size()));
  EXPECT_TRUE(test::ProcessEnds(dir_.Read("pid")));
}

TEST_F(CgiRunnerTest, CrashingProgramWithoutHeaderGivesEmptyPage) {
  SetCommand(test::WriteScript(dir_, "crash.sh", "printf 'Content-type: te'\nkill -SEGV $$\n"));
  const Reply reply = Get("/page.php");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(reply.body, "");
}

// Prints the variables named in `names` and then its input.
std::string EchoProgram(const std::vector<std::string>& names) {
  std::string body = "printf 'Content-type: text/plain\\r\\n\\r\\n'\n";
  for (const std::string& name : names) body += "echo \"" + name + "=${" + name + "-unset}\"\n";
  return body + "cat\n";
}

TEST_F(CgiRunnerTest, GetQueryIsInEnvironmentAndOnInput) {
  SetCommand(test::WriteScript(dir_, "echo.sh", EchoProgram({"QUERY_STRING", "REQUEST_METHOD"})));
  const Reply reply = Get("/page.php?x=1");
  EXPECT_EQ(reply.body, "QUERY_STRING=x=1\nREQUEST_METHOD=GET\nx=1");
}

// The input keeps the body with the query behind it, as before; the query
// is QUERY_STRING for a POST too.
TEST_F(CgiRunnerTest, PostBodyGoesToInputAndTheQueryToQueryString) {
  SetCommand(test::WriteScript(dir_, "echo.sh", EchoProgram({"QUERY_STRING", "CONTENT_LENGTH"})));
  const Reply reply =
      Fetch("POST /page.php?q=2 HTTP/1.1\r\nHost: localhost\r\nContent-Length: 7\r\n\r\na=1&b=2");
  EXPECT_EQ(reply.body, "QUERY_STRING=q=2\nCONTENT_LENGTH=7\na=1&b=2\r\nq=2");
}

TEST_F(CgiRunnerTest, EnvironmentDescribesTheRequestAndItsConnection) {
  SetCommand(test::WriteScript(
      dir_, "echo.sh",
      EchoProgram({"HTTP_CACHE_CONTROL", "SERVER_PORT", "SERVER_ADDR", "REMOTE_ADDR",
                   "SERVER_SOFTWARE", "SCRIPT_FILENAME", "DOCUMENT_ROOT", "SCRIPT_NAME",
                   "SERVER_PROTOCOL", "SERVER_ADMIN", "HOME"})));
  runner_.SetServerAdmin("admin@example.org");
  const Reply reply = Get("/sub/page.php", "Cache-Control: no-cache\r\n");
  EXPECT_EQ(reply.body, "HTTP_CACHE_CONTROL=no-cache\nSERVER_PORT=" + std::to_string(port_) +
                            "\nSERVER_ADDR=127.0.0.1\nREMOTE_ADDR=127.0.0.1\n"
                            "SERVER_SOFTWARE=TestServer/1.0\nSCRIPT_FILENAME=" +
                            dir_.Path() + "/sub/page.php\nDOCUMENT_ROOT=" + dir_.Path() +
                            "\nSCRIPT_NAME=/sub/page.php\nSERVER_PROTOCOL=HTTP/1.1\n"
                            "SERVER_ADMIN=admin@example.org\nHOME=unset\n");
}

TEST_F(CgiRunnerTest, CommandPathWithSpaceIsQuotedAndRuns) {
  SetCommand(test::WriteScript(dir_, "with space/my program.sh",
                               "printf 'Content-type: text/plain\\r\\n\\r\\nran'\n"));
  EXPECT_EQ(Get("/page.php").body, "ran");
}

TEST_F(CgiRunnerTest, ConcurrentRequestsShareOneRunner) {
  SetCommand(test::WriteScript(dir_, "echo.sh", EchoProgram({"QUERY_STRING"})));
  port_ = test::ActivateOnLoopback(server_);
  constexpr int kClients = 4;
  std::vector<std::string> bodies(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([this, i, &bodies] {
      test::TestClient client;
      if (!client.Connect(port_)) return;
      client.Send("GET /p.php?n=" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
      bodies[static_cast<std::size_t>(i)] = ParseReply(client.ReadUntilClose(kReplyTimeout)).body;
    });
  }
  for (std::thread& client : clients) client.join();
  for (int i = 0; i < kClients; ++i) {
    const std::string query = "n=" + std::to_string(i);
    EXPECT_EQ(bodies[static_cast<std::size_t>(i)], "QUERY_STRING=" + query + "\n" + query);
  }
}

TEST_F(CgiRunnerTest, PhpPageRunsUnderTheRealPhpCgi) {
  if (::access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << kPhpCgi << " is not installed";
  dir_.Write("page.php",
             "<?php header('X-Page: yes'); echo 'sum=', 1 + 2, ' x=', $_GET['x'] ?? '',"
             " ' p=', $_POST['p'] ?? '';");
  dir_.Write("gone.php", "<?php http_response_code(404); echo 'not here';");
  SetCommand(kPhpCgi);

  const Reply get = Get("/page.php?x=7");
  EXPECT_EQ(get.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(get.Header("X-Page"), "yes");
  EXPECT_TRUE(StartsWithIgnoreCase(get.Header("Content-Type"), "text/html"))
      << get.Header("Content-Type");
  EXPECT_EQ(get.body, "sum=3 x=7 p=");

  const Reply post = Fetch(
      "POST /page.php HTTP/1.1\r\nHost: localhost\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 3\r\n\r\np=5");
  EXPECT_EQ(post.body, "sum=3 x= p=5");

  const Reply gone = Get("/gone.php");
  EXPECT_EQ(gone.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(gone.body, "not here");
}

// Runs without a server: a connection without a socket and a peer thread
// that serves nothing, for answers that never reach a client.
class CgiRunnerAnswerTest : public test::NoLeftoversTest {
 protected:
  TcpConnection connection_;
  HttpRequestInfo request_;
  HttpResponseInfo response_{connection_};
  PeerThread thread_;
};

// A spawner whose pipes cannot be created, or whose programs do not start.
class FaultySpawner final : public ProcessSpawner {
 public:
  explicit FaultySpawner(bool pipes_fail) : pipes_fail_(pipes_fail) {}
  std::unique_ptr<ChildProcess> CreatePipes() override {
    if (pipes_fail_) throw MakeOSError(EMFILE);
    return std::make_unique<UnstartableChild>();
  }

 private:
  class UnstartableChild final : public ChildProcess {
   public:
    bool Start(const std::string&, const std::vector<std::string>&) override { return false; }
    InputResult WriteInput(std::string_view, Deadline) override {
      return InputResult::kClosedByProgram;
    }
    void CloseInput() override {}
    OutputResult ReadOutput(char*, std::size_t, std::size_t& count, Deadline) override {
      count = 0;
      return OutputResult::kEnd;
    }
    bool WaitForExit(Deadline) override { return true; }
    void KillAndReap() override {}
  };
  bool pipes_fail_;
};

TEST_F(CgiRunnerAnswerTest, PipeFailureRaisesSystemErrorAndLeavesResponseAlone) {
  CgiRunner runner(std::make_unique<FaultySpawner>(/*pipes_fail=*/true));
  int before = 0;
  int after = 0;
  runner.SetBeforeExecute([&before](CgiRunner&) { ++before; });
  runner.SetAfterExecute([&after](CgiRunner&) { ++after; });
  try {
    runner.RunProgram("php-cgi", thread_, request_, response_, "/srv/web", "");
    ADD_FAILURE() << "no error raised";
  } catch (const OSError& error) {
    EXPECT_EQ(error.Message(), "System Error.  Code: 24.\r\nToo many open files");
    EXPECT_STREQ(error.ClassName(), "OSError");
  }
  EXPECT_EQ(response_.StatusCode(), 200);
  EXPECT_EQ(response_.ContentText, "");
  EXPECT_EQ(response_.ContentLength, -1);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 0);
}

TEST_F(CgiRunnerAnswerTest, ProgramThatCannotStartGets500WithTheTimeOutPage) {
  CgiRunner runner(std::make_unique<FaultySpawner>(/*pipes_fail=*/false));
  runner.SetTimeOutMsg("gone");
  int after = 0;
  runner.SetAfterExecute([&after](CgiRunner&) { ++after; });
  EXPECT_EQ(runner.RunProgram("php-cgi", thread_, request_, response_, "/srv/web", ""), 4);
  EXPECT_EQ(response_.StatusCode(), 500);
  EXPECT_EQ(response_.ResponseText, "Internal Server Error");
  EXPECT_EQ(response_.ContentText, "gone");
  EXPECT_EQ(response_.ContentLength, 4);
  EXPECT_FALSE(response_.HeaderWritten());
  EXPECT_EQ(after, 1);
}

}  // namespace
}  // namespace vantrel
