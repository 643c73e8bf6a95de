// The gateway answering real HTTP requests on a loopback port.
#include "app/request_dispatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "app/gateway.h"
#include "app/session_gate.h"
#include "base/local_event_loop.h"
#include "base/string_list.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "tests/app/served_gateway_test.h"
#include "tests/support/process_stats.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kPhpCgi = "/usr/bin/php-cgi";

using test::Config;

class RequestDispatcherTest : public test::ServedGatewayTest {
 protected:
  void SetUp() override {
    dir_.Write("web/index.html", "<p>home</p>");
    dir_.Write("web/sub/index.html", "<p>sub</p>");
    dir_.Write("web/empty/readme.txt", "no index here");
    dir_.Write("web/page.PHP", "<?php echo 'ran'; ?>");
    dir_.Write("web/x.vpg.html", "<% secret source %>");
    dir_.Write("web/a b.txt", "spaced");
    dir_.Write("config.ini", "outside");
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png.append(1000, '\x01');
    dir_.Write("web/pic.png", png);
  }
};

TEST_F(RequestDispatcherTest, ServesFilesWithTypeLengthAndLogLines) {
  Start(Config(port_));
  const std::string answer = Get("/sub/index.html");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\nServer: Vantrel/3.0\r\n"
                                 "Content-Type: text/html\r\nContent-Length: 10\r\n"
                                 "Connection: close\r\n\r\n<p>sub</p>"));
  const std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_THAT(log[2], AllOf(StartsWith("Command GET /sub/index.html received from 127.0.0.1:"),
                            Not(HasSubstr(":0"))));
  EXPECT_THAT(log[3], StartsWith("Serving file " + dir_.File("web/sub/index.html") +
                                 " (10 bytes / 10 bytes sent) to 127.0.0.1:"));
  // The document is not percent-decoded: "a%20b.txt" is not "a b.txt".
  EXPECT_THAT(Get("/a%20b.txt"), StartsWith("HTTP/1.1 404 Not Found"));
}

TEST_F(RequestDispatcherTest, DirectoriesServeTheirIndexOrNotFound) {
  Start(Config(port_));
  EXPECT_THAT(Get("/"), EndsWith("<p>home</p>"));
  EXPECT_THAT(Get("/sub"), EndsWith("<p>sub</p>"));
  EXPECT_THAT(Get("/sub/"), EndsWith("<p>sub</p>"));
  EXPECT_THAT(Get("/sub\\index.html"), EndsWith("<p>sub</p>"));  // Both separators count.
  EXPECT_THAT(Get("/empty/"),
              AllOf(StartsWith("HTTP/1.1 404 Not Found"),
                    EndsWith("\r\n\r\n<html><head><title>Error</title></head><body><h1>Not "
                             "Found</h1></body></html>")));
}

TEST_F(RequestDispatcherTest, DocumentsClimbingOutOfTheWebDirectoryAreForbidden) {
  Start(Config(port_));
  EXPECT_THAT(Get("/../config.ini"),
              AllOf(StartsWith("HTTP/1.1 403 Forbidden"),
                    EndsWith("\r\n\r\n<html><head><title>Error</title></head><body><h1>Access "
                             "denied</h1>\rYou do not have sufficient priviligies to access this "
                             "document.</body></html>")));
  EXPECT_THAT(Get("/sub/../../config.ini"), StartsWith("HTTP/1.1 403 Forbidden"));
  EXPECT_THAT(Get("/../nothing-here"), StartsWith("HTTP/1.1 404 Not Found"));
  EXPECT_THAT(Get("/../web/index.html"), EndsWith("<p>home</p>"));  // Back inside.
}

TEST_F(RequestDispatcherTest, HeadSendsTypeAndSizeWithoutBody) {
  Start(Config(port_));
  const std::string answer = Send("HEAD /pic.png HTTP/1.1\r\n\r\n");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(answer, HasSubstr("Content-Type: image/png\r\n"));
  EXPECT_THAT(answer, HasSubstr("Content-Length: 1008\r\n"));
  EXPECT_THAT(answer, EndsWith("\r\n\r\n"));
  EXPECT_THAT(LogMessages().back(), StartsWith("Command HEAD /pic.png"));

  const std::string got = Get("/pic.png");
  EXPECT_THAT(got, HasSubstr("Content-Type: image/png\r\n"));
  EXPECT_THAT(LogMessages().back(), HasSubstr("(1008 bytes / 1008 bytes sent)"));
}

TEST_F(RequestDispatcherTest, AuthenticationIsExactAndCaseSensitive) {
  std::string config = Config(port_);
  config.replace(config.find("Auth require=no"), 15, "Auth require=yes");
  Start(config);
  const std::string refused = Get("/");
  EXPECT_THAT(refused, StartsWith("HTTP/1.1 401 Unauthorized"));
  EXPECT_THAT(refused, HasSubstr("WWW-Authenticate: Basic realm=\"Vantrel server\"\r\n"));
  EXPECT_THAT(refused, EndsWith("<html><head><title>Error</title></head><body><h1>Authentication "
                                "failed</h1>\r</body></html>"));
  // "user:kelp", "User:kelp" and "user:Kelp".
  EXPECT_THAT(Get("/", "Authorization: Basic dXNlcjprZWxw\r\n"), EndsWith("<p>home</p>"));
  EXPECT_THAT(Get("/", "Authorization: Basic VXNlcjprZWxw\r\n"), StartsWith("HTTP/1.1 401"));
  EXPECT_THAT(Get("/", "Authorization: Basic dXNlcjpLZWxw\r\n"), StartsWith("HTTP/1.1 401"));
}

// With an empty user and password configured, a request that sent no
// credentials at all used to match them and pass.
TEST_F(RequestDispatcherTest, RequestsWithoutCredentialsNeverPassWhenAuthenticationIsRequired) {
  std::string config = Config(port_);
  config.replace(config.find("Auth require=no"), 15, "Auth require=yes");
  config.replace(config.find("Auth user=user"), 14, "Auth user=");
  config.replace(config.find("Auth password=kelp"), 18, "Auth password=");
  Start(config);
  EXPECT_THAT(Get("/"), StartsWith("HTTP/1.1 401 Unauthorized"));
  EXPECT_THAT(Get("/", "Authorization: Basic Og==\r\n"), EndsWith("<p>home</p>"));  // ":"
}

// A FIFO opened for reading waits for a writer: serving one hung the
// request's thread, and stopping the server then waited for it for ever.
TEST_F(RequestDispatcherTest, OnlyRegularFilesAreServed) {
  ASSERT_EQ(mkfifo(dir_.File("web/pipe").c_str(), 0644), 0);
  dir_.Write("web/pipedir/readme.txt", "");
  ASSERT_EQ(mkfifo(dir_.File("web/pipedir/index.html").c_str(), 0644), 0);
  Start(Config(port_));
  EXPECT_THAT(Get("/pipe"), StartsWith("HTTP/1.1 404 Not Found"));
  EXPECT_THAT(Send("HEAD /pipe HTTP/1.1\r\n\r\n"), StartsWith("HTTP/1.1 404 Not Found"));
  EXPECT_THAT(Get("/pipedir/"), StartsWith("HTTP/1.1 404 Not Found"));
}

// Control characters from the client went into the log as they came: a CR
// or LF started a forged line of its own, an escape sequence reached the
// terminal of a headless gateway.
TEST_F(RequestDispatcherTest, ClientTextReachesTheLogWithItsControlCharactersEscaped) {
  Start(Config(port_));
  Send("GET /a\x1B[2Jb HTTP/1.1\r\nHost: x\r\n\r\n");
  Send("G\rE\nT / HTTP/1.1\r\n\r\n");
  const std::string log = gateway_->Log().Text();
  EXPECT_THAT(log, HasSubstr("Command GET /a\\x1B[2Jb received from"));
  EXPECT_THAT(log, Not(HasSubstr("\x1B")));
  EXPECT_THAT(LogMessages(), Not(Contains(StartsWith("E"))));
  // A document of 100 KB is logged by its first 1,000 characters.
  Send("GET /" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n");
  EXPECT_EQ(LogMessages().back(),
            "Command GET /" + std::string(999, 'a') + "... received from 127.0.0.1:" +
                LogMessages().back().substr(LogMessages().back().rfind(':') + 1));
}

// A body read to the close left the connection without its peer: the
// request was logged as received from ":0".
TEST_F(RequestDispatcherTest, APostReadToTheCloseIsLoggedWithItsClient) {
  Start(Config(port_));
  test::TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send("POST /index.html HTTP/1.1\r\n\r\na=1");
  client.ShutdownWrite();
  // The body ends with the connection, which closes before the request is
  // handled: its log line may come a moment later.
  client.ReadUntilClose();
  ASSERT_TRUE(test::WaitUntil([this] { return LogMessages().size() >= 3; }, milliseconds(5000)));
  EXPECT_EQ(LogMessages()[2], "Command POST /index.html received from 127.0.0.1:" +
                                  std::to_string(client.LocalPort()));
}

TEST_F(RequestDispatcherTest, ScriptPagesRunAndNeverShowTheirSource) {
  dir_.Write("web/s.vpg", "<% dim secret_source %>");
  Start(Config(port_));
  const std::string answer = Get("/s.vpg");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 OK"));
  EXPECT_THAT(answer, Not(HasSubstr("secret_source")));
  EXPECT_THAT(Get("/missing.VPG"),
              AllOf(StartsWith("HTTP/1.1 404"),
                    EndsWith("\r\n\r\n<H1><center>Script not found</center></H1>")));
  // A page is named by the end of the path: this is an HTML file.
  EXPECT_THAT(Get("/x.vpg.html"), EndsWith("<% secret source %>"));
}

// A document names a page only by the file it maps to. Taking any document
// that mentions ".php" for a PHP page ran whatever file the rest of the path
// named (the log file, which a request can write PHP code into) through the
// PHP program.
TEST_F(RequestDispatcherTest, OnlyTheFileServedDecidesWhetherADocumentRuns) {
  // A stand-in PHP program that tells which file it was asked to run.
  dir_.Write(
      "fake-php",
      "#!/bin/sh\nprintf 'Content-type: text/plain\\r\\n\\r\\nran %s' \"$SCRIPT_FILENAME\"\n");
  ASSERT_EQ(chmod(dir_.File("fake-php").c_str(), 0755), 0);
  dir_.Write("web/x.php", "<?php echo 'x'; ?>");
  dir_.Write("web/x.vpg", "<% dim x %>");
  dir_.Write("web/log.txt", "<?php echo 'owned'; ?>");
  Start(Config(port_, "", dir_.File("fake-php")));
  EXPECT_THAT(Get("/x.php"), EndsWith("ran " + dir_.File("web/x.php")));
  EXPECT_THAT(Get("/sub/../x.php"), HasSubstr("ran "));
  for (const char* document : {"/x.php/../log.txt", "/x.PHP\\..\\log.txt", "/x.vpg/../log.txt"}) {
    EXPECT_THAT(Get(document),
                AllOf(StartsWith("HTTP/1.1 200 OK"), HasSubstr("Content-Type: text/plain\r\n"),
                      EndsWith("\r\n\r\n<?php echo 'owned'; ?>")))
        << document;
  }
  EXPECT_THAT(Get("/log.txt%00.php"), AllOf(StartsWith("HTTP/1.1 404"), Not(HasSubstr("ran "))));
  // A document that ends like a folder's name names no file: "/log.txt/"
  // passed a reverse proxy's rule for "/log.txt" and served the log.
  for (const char* document : {"/log.txt/", "/log.txt/.", "/log.txt\\", "/x.php/", "/x.vpg/."}) {
    EXPECT_THAT(Get(document), AllOf(StartsWith("HTTP/1.1 404 Not Found"), Not(HasSubstr("owned")),
                                     Not(HasSubstr("ran "))))
        << document;
  }
  for (const std::string& document :
       {std::string("/log.txt\0.php", 13), std::string("/x.php\x01"), std::string("/x.php\x7F")}) {
    EXPECT_THAT(Get(document), AllOf(StartsWith("HTTP/1.1 400 Bad Request"),
                                     EndsWith("<h1>Bad Request</h1></body></html>")));
  }
}

// A PHP program that could not be run at all (no pipes, no process) was
// answered with an empty 200 and left no trace in the log.
TEST_F(RequestDispatcherTest, CgiProgramsGetServerSoftwareAndFailuresToRunThemAnswer500) {
  dir_.Write("fake-php",
             "#!/bin/sh\nprintf 'Content-type: text/plain\\r\\n\\r\\n%s' \"$SERVER_SOFTWARE\"\n");
  ASSERT_EQ(chmod(dir_.File("fake-php").c_str(), 0755), 0);
  Start(Config(port_, "", dir_.File("fake-php")));
  EXPECT_THAT(Get("/page.PHP"), EndsWith("\r\n\r\nVantrel/3.0"));

  gateway_->acActivateExecute();  // Stopped: no connection thread reads the runner.
  gateway_->cgiRunner().SetBeforeExecute(
      [](CgiRunner&) { throw OSError("System Error.  Code: 24.\r\nToo many open files"); });
  gateway_->acActivateExecute();
  EXPECT_THAT(Get("/page.PHP"), AllOf(StartsWith("HTTP/1.1 500 Internal Server Error"),
                                      EndsWith("Too many open files")));
  EXPECT_THAT(LogMessages().back(), StartsWith("PHP page " + dir_.File("web/page.PHP") +
                                               " could not be run: System Error.  Code: 24."));
}

// A POST lost its URL's query, and "/app.php/some/page" was 404: PHP
// applications that post forms to URLs carrying their state, or name their
// pages by path info, broke on their second page.
TEST_F(RequestDispatcherTest, PhpPagesGetTheQueryOfAPostAndPathInfo) {
  if (access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << "php-cgi is not installed";
  const std::string show =
      "<?php echo $_GET['x'] ?? '-', '|', $_POST['a'] ?? '-', '|', $_SERVER['PATH_INFO'] ?? '-', "
      "'|', $_SERVER['SCRIPT_NAME'], '|', basename(__FILE__); ?>";
  dir_.Write("web/q.php", show);
  dir_.Write("web/dir.php/page.PHP", show);
  dir_.Write("web/log.txt", "the log");
  Start(Config(port_, "", kPhpCgi));
  EXPECT_THAT(Send("POST /q.php?x=2 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                   "Content-Length: 3\r\n\r\na=1"),
              EndsWith("\r\n\r\n2|1|-|/q.php|q.php"));
  EXPECT_THAT(Get("/q.php/some/page?x=3"), EndsWith("\r\n\r\n3|-|/some/page|/q.php|q.php"));
  // The first segment that is a PHP file runs: a folder named so is passed.
  EXPECT_THAT(Get("/dir.php/page.PHP/a/b"),
              EndsWith("\r\n\r\n-|-|/a/b|/dir.php/page.PHP|page.PHP"));
  // Normalising comes first: nothing that is not a page runs.
  EXPECT_THAT(Get("/q.php/../log.txt"), EndsWith("\r\n\r\nthe log"));
  EXPECT_THAT(Get("/absent.php/x"), StartsWith("HTTP/1.1 404"));
  EXPECT_THAT(Get("/absent.php"), EndsWith("<H1><center>PHP script not found</center></H1>"));
}

// Every PHP page could read the gateway's own user and password from the
// credentials the browser sends with each request.
TEST_F(RequestDispatcherTest, PhpPagesDoNotSeeTheGatewaysCredentials) {
  if (access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << "php-cgi is not installed";
  dir_.Write("web/who.php",
             "<?php echo '[', $_SERVER['HTTP_AUTHORIZATION'] ?? '', '|', "
             "$_SERVER['PHP_AUTH_PW'] ?? '', ']'; ?>");
  std::string config = Config(port_, "", kPhpCgi);
  config.replace(config.find("Auth require=no"), 15, "Auth require=yes");
  Start(config);
  EXPECT_THAT(Get("/who.php", "Authorization: Basic dXNlcjprZWxw\r\n"), EndsWith("\r\n\r\n[|]"));
  // Without the gateway's login, a program's own Basic login reaches it.
  StringList lines = gateway_->Settings().Lines();
  lines[5] = "Auth require=no";
  gateway_->Settings().SetLines(lines);
  EXPECT_THAT(Get("/who.php", "Authorization: Basic dXNlcjprZWxw\r\n"),
              EndsWith("[Basic dXNlcjprZWxw|kelp]"));
}

TEST_F(RequestDispatcherTest, PhpPagesAreFilesWithoutAPhpPath) {
  Start(Config(port_));
  EXPECT_THAT(Get("/page.PHP"), EndsWith("<?php echo 'ran'; ?>"));
}

TEST_F(RequestDispatcherTest, PhpPagesRunThroughTheConfiguredInterpreter) {
  if (access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << "php-cgi is not installed";
  Start(Config(port_, "", kPhpCgi));
  const std::string ran = Get("/page.PHP");
  EXPECT_THAT(ran, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(ran, EndsWith("\r\n\r\nran"));
  EXPECT_THAT(Get("/absent.php"),
              AllOf(StartsWith("HTTP/1.1 404 Not Found"),
                    EndsWith("<H1><center>PHP script not found</center></H1>")));
}

TEST_F(RequestDispatcherTest, ShortSettingsListAnswers500ForPhpPages) {
  Start("Server port=" + std::to_string(port_) + "\r\n");
  const std::string answer = Get("/page.php");
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 500 Internal Server Error"));
  EXPECT_THAT(answer, EndsWith("List index out of bounds (9)"));
}

class SessionGateTest : public RequestDispatcherTest {
 protected:
  void StartWithSessions() {
    std::string config = Config(port_);
    config.replace(config.find("Use session=no"), 14, "Use session=yes");
    Start(config);
  }

  static std::string CookieOf(const std::string& answer) {
    const std::size_t at = answer.find("Set-Cookie: Vantrel=");
    if (at == std::string::npos) return "";
    const std::size_t start = at + 20;
    return answer.substr(start, answer.find(';', start) - start);
  }
};

TEST_F(SessionGateTest, OneBrowserAtATimeUntilTheSessionExpires) {
  StartWithSessions();
  const std::string first = Get("/");
  const std::string cookie = CookieOf(first);
  ASSERT_FALSE(cookie.empty()) << first;
  EXPECT_EQ(cookie, gateway_->SessionId());
  // Scripts cannot read it, and other sites' requests do not carry it.
  EXPECT_THAT(first, HasSubstr("Set-Cookie: Vantrel=" + cookie +
                               "; Version=\"1\"; HttpOnly; SameSite=Strict\r\n"));

  const std::string other = Get("/");
  EXPECT_THAT(other, StartsWith("HTTP/1.1 200 OK"));
  EXPECT_THAT(other, EndsWith("<h1>Access denied</h1>\rOnly one session allowed. Please come "
                              "back later.</body></html>"));
  EXPECT_THAT(Get("/", "Cookie: Vantrel=" + cookie + "\r\n"), EndsWith("<p>home</p>"));
  // Of two cookies of that name the last one counts.
  EXPECT_THAT(Get("/", "Cookie: Vantrel=" + cookie + "; vantrel=1\r\n"),
              HasSubstr("Only one session"));
  EXPECT_THAT(Get("/", "Cookie: Vantrel=1; VANTREL=" + cookie + "\r\n"), EndsWith("<p>home</p>"));

  // A short session, so that the test need not wait minutes.
  gateway_->Timer1().SetInterval(100);
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        loop_.RunPending();
        return !gateway_->Timer1().Enabled();
      },
      milliseconds(3000)));
  EXPECT_EQ(LogMessages().back(), "User session expired");
  // The expired cookie is no longer the session's: the next browser gets a
  // new one.
  EXPECT_NE(gateway_->SessionId(), cookie);
  EXPECT_EQ(CookieOf(Get("/")), gateway_->SessionId());
}

TEST_F(SessionGateTest, BadSessionLengthIsLoggedAndMeansOneMinute) {
  std::string config = Config(port_);
  config.replace(config.find("Use session=no"), 14, "Use session=yes");
  config.replace(config.find("Session expire=1"), 16, "Session expire=abc");
  Start(config);
  Get("/");
  EXPECT_EQ(gateway_->Timer1().Interval(), 60000);
  const std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "Session expire value is incorrect. Using 1 minute.");
  EXPECT_EQ(log[log.size() - 2], "User session started.");
}

TEST_F(SessionGateTest, TwoBrowsersArrivingTogetherStartOneSession) {
  StartWithSessions();
  for (int round = 0; round < 20; ++round) {
    gateway_->Sessions().EndSession();
    std::atomic<int> started{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> browsers;
    for (int i = 0; i < 4; ++i) {
      browsers.emplace_back([&] {
        HttpRequestInfo request;
        // The gate only needs the records; no connection is written to.
        TcpConnection connection;
        HttpResponseInfo response(connection);
        if (gateway_->Sessions().Admit(request, response)) {
          if (response.Cookies.Count() == 1) ++started;
        } else {
          ++refused;
        }
      });
    }
    for (auto& browser : browsers) browser.join();
    EXPECT_EQ(started, 1);
    EXPECT_EQ(refused, 3);
  }
}

TEST_F(SessionGateTest, StoppingTheServerEndsTheSessionWithoutALogLine) {
  StartWithSessions();
  Get("/");
  ASSERT_TRUE(gateway_->Timer1().Enabled());
  gateway_->acActivateExecute();
  EXPECT_FALSE(gateway_->Timer1().Enabled());
  EXPECT_EQ(LogMessages().back(), "Stop listening, com port closed.");
}

}  // namespace
}  // namespace vantrel
