// The request guard of a real gateway on a loopback port: what a stranger,
// another web site or a name pointed at the gateway gets.
#include "app/request_guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/gateway.h"
#include "tests/app/served_gateway_test.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using test::Config;

class RequestGuardTest : public test::ServedGatewayTest {
 protected:
  void SetUp() override {
    dir_.Write("web/index.html", "<p>home</p>");
    dir_.Write("web/drive.vpg", "<% x = 1 %>driven");
    dir_.Write("web/q.php", "<?php echo 'php ran'; ?>");
  }

  std::string GetWithHost(const std::string& host, const std::string& document = "/") {
    return Send("GET " + document + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
  }

  static std::string MachineName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return std::string(name).substr(0, std::string(name).find('.'));
  }
};

// A DNS name an attacker points at the gateway's address made the
// attacker's page same-origin with the gateway: "Host: attacker.example"
// was served.
TEST_F(RequestGuardTest, HostMustNameThisGateway) {
  Start(Config(port_));
  const std::string refused = GetWithHost("attacker.example");
  EXPECT_THAT(refused, StartsWith("HTTP/1.1 403 Forbidden\r\n"));
  EXPECT_THAT(refused, EndsWith("<h1>Access denied</h1>\rThis gateway does not answer to the name "
                                "attacker.example. To let it, add the name to the setting "
                                "\"Allowed hosts\" in config.ini.</body></html>"));
  EXPECT_THAT(LogMessages(), Contains("Request refused: the host name attacker.example is not "
                                      "allowed (setting \"Allowed hosts\")."));
  // The refused name comes back as text, never as markup.
  EXPECT_THAT(GetWithHost("<b>x"), AllOf(HasSubstr("name &lt;b&gt;x."), Not(HasSubstr("<b>x"))));
  // An absolute request URI names its host too.
  EXPECT_THAT(Send("GET http://attacker.example/ HTTP/1.1\r\n\r\n"), StartsWith("HTTP/1.1 403"));
  EXPECT_THAT(GetWithHost("attacker.example.localhost"), StartsWith("HTTP/1.1 403"));

  for (const std::string& host : std::vector<std::string>{
           "localhost", "LocalHost:" + std::to_string(port_), "127.0.0.1", "192.168.1.20:80",
           "[::1]:8080", "localhost.", MachineName(), MachineName() + ".local"}) {
    EXPECT_THAT(GetWithHost(host), EndsWith("<p>home</p>")) << host;
  }
  // HTTP/1.0 sends no host: nothing to check.
  EXPECT_THAT(Send("GET / HTTP/1.0\r\n\r\n"), EndsWith("<p>home</p>"));
}

TEST_F(RequestGuardTest, AllowedHostsAddNamesOrTurnTheCheckOff) {
  Start(Config(port_, "Allowed hosts= device.example.org , Other.Example:8080\r\n"));
  EXPECT_THAT(GetWithHost("Device.Example.org"), EndsWith("<p>home</p>"));
  EXPECT_THAT(GetWithHost("other.example:81"), EndsWith("<p>home</p>"));
  EXPECT_THAT(GetWithHost("example.org"), StartsWith("HTTP/1.1 403"));
  EXPECT_THAT(GetWithHost("device.example.org.evil"), StartsWith("HTTP/1.1 403"));
  // Settings count from the next request on.
  StringList lines = gateway_->Settings().Lines();
  lines[0] = "Allowed hosts=*";
  gateway_->Settings().SetLines(lines);
  EXPECT_THAT(GetWithHost("anything.example"), EndsWith("<p>home</p>"));
}

// An image or a link on another site made the user's browser request the
// pages that open, write and close the port.
TEST_F(RequestGuardTest, PagesDoNotRunForAnotherSitesRequests) {
  Start(Config(port_, "", "/usr/bin/php-cgi"));
  const auto get = [this](const std::string& document, const std::string& headers) {
    return Get(document, headers);
  };
  for (const char* headers : {"Sec-Fetch-Site: cross-site\r\n", "Sec-Fetch-Site: same-site\r\n",
                              "Sec-Fetch-Site: cross-site\r\nOrigin: http://localhost\r\n",
                              "Origin: http://attacker.example\r\n", "Origin: null\r\n",
                              "Origin: http://localhost:1\r\n"}) {
    for (const char* document : {"/drive.vpg", "/q.php", "/abort.vpg"}) {
      const std::string answer = get(document, headers);
      EXPECT_THAT(answer, StartsWith("HTTP/1.1 403 Forbidden\r\n")) << document << " " << headers;
      EXPECT_THAT(answer, HasSubstr("This page does not run when another site's page asks for "
                                    "it ("))
          << headers;
      EXPECT_THAT(answer, HasSubstr("add its origin to the setting \"Trusted origins\""));
    }
  }
  EXPECT_THAT(LogMessages(), Contains("Request refused: it comes from another site "
                                      "(http://attacker.example; setting \"Trusted origins\")."));
  // Files may be linked from anywhere.
  EXPECT_THAT(get("/index.html", "Sec-Fetch-Site: cross-site\r\n"), EndsWith("<p>home</p>"));

  // The gateway's own pages, a typed address, and clients that say nothing.
  for (const char* headers : {"Sec-Fetch-Site: same-origin\r\n", "Sec-Fetch-Site: none\r\n", "",
                              "Origin: http://LOCALHOST\r\n"}) {
    EXPECT_THAT(get("/drive.vpg", headers), EndsWith("driven\r\n\r\n")) << headers;
  }
}

TEST_F(RequestGuardTest, TrustedOriginsMayUseThePages) {
  Start(Config(port_, "Trusted origins=https://portal.example/, http://other.example:8080\r\n"));
  // A followed link sends no Origin, only a Referer.
  EXPECT_THAT(
      Get("/drive.vpg", "Sec-Fetch-Site: cross-site\r\nReferer: https://portal.example/a/b?c\r\n"),
      EndsWith("driven\r\n\r\n"));
  EXPECT_THAT(Get("/drive.vpg", "Origin: http://other.example:8080\r\n"),
              EndsWith("driven\r\n\r\n"));
  EXPECT_THAT(
      Get("/drive.vpg", "Sec-Fetch-Site: cross-site\r\nOrigin: https://portal.example.evil\r\n"),
      StartsWith("HTTP/1.1 403"));
  EXPECT_THAT(
      Get("/drive.vpg", "Sec-Fetch-Site: cross-site\r\nReferer: http://portal.example/\r\n"),
      StartsWith("HTTP/1.1 403"));
}

// A stranger without credentials sent bodies of hundreds of MiB that were
// kept in memory before the credentials were looked at.
TEST_F(RequestGuardTest, StrangersAreRefusedBeforeTheirBodyAndBodiesAreBounded) {
  std::string config = Config(port_, "Max body=1\r\n");
  config.replace(config.find("Auth require=no"), 15, "Auth require=yes");
  Start(config);
  test::TestClient stranger;
  ASSERT_TRUE(stranger.Connect(port_));
  stranger.Send(
      "POST /drive.vpg HTTP/1.1\r\nHost: localhost\r\nContent-Length: 268435456\r\n\r\nab");
  EXPECT_THAT(stranger.ReadUntil("</html>"), StartsWith("HTTP/1.1 401 Unauthorized\r\n"));

  const std::string credentials = "Authorization: Basic dXNlcjprZWxw\r\n";
  const std::string over = "POST /drive.vpg HTTP/1.1\r\nHost: localhost\r\n" + credentials +
                           "Content-Length: 1048577\r\n\r\n";
  EXPECT_THAT(Send(over), StartsWith("HTTP/1.1 413 Request Entity To Long\r\n"));
  const std::string at_limit = "POST /drive.vpg HTTP/1.1\r\nHost: localhost\r\n" + credentials +
                               "Content-Length: 1048576\r\n\r\n" + std::string(1 << 20, 'a');
  EXPECT_THAT(Send(at_limit), EndsWith("driven\r\n\r\n"));
}

}  // namespace
}  // namespace vantrel
