// Server sessions: the session list on its own, and the server that looks
// sessions up from cookies and ends them.
#include "http/http_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/http_errors.h"
#include "http/http_server.h"
#include "http/http_session_list.h"
#include "tests/http/server_test_util.h"
#include "tests/support/process_stats.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using test::EventLog;
using test::TestClient;

// A session list whose end events are counted per session ID.
class SessionListTest : public ::testing::Test {
 protected:
  SessionListTest() {
    list_.SetOnSessionEnd([this](HttpSession& session) { ended_.push_back(session.SessionID); });
  }

  std::vector<std::string> ended_;  // Outlives list_, whose destructor raises end events.
  HttpSessionList list_;
};

TEST_F(SessionListTest, IdsHaveFifteenCharactersNeverZeroAndDiffer) {
  list_.SetSessionTimeout(60000);
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    const std::string id = list_.CreateSession("1.2.3.4")->SessionID;
    EXPECT_EQ(id.size(), 15u);
    EXPECT_EQ(id.find('0'), std::string::npos);
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 200u);
}

TEST_F(SessionListTest, LookupIgnoresIdCaseButIsBoundToTheAddress) {
  list_.SetSessionTimeout(60000);
  const auto session = list_.CreateSession("10.0.0.1");
  std::string id = session->SessionID;
  for (char& c : id) c = static_cast<char>(c ^ ((c >= 'A') ? 0x20 : 0));  // Flip letter case.
  EXPECT_EQ(list_.FindSession(id, "10.0.0.1"), session);
  EXPECT_EQ(list_.FindSession(id, "10.0.0.2"), nullptr);
  EXPECT_EQ(list_.FindSession(id, ""), session);
}

TEST_F(SessionListTest, LookupRemovesEveryStaleSessionAndStillFindsALiveOneAfterThem) {
  list_.SetSessionTimeout(10);
  const auto stale1 = list_.CreateSession("h");
  const auto stale2 = list_.CreateSession("h");
  std::this_thread::sleep_for(milliseconds(30));
  const auto live = list_.CreateSession("h");
  EXPECT_EQ(list_.FindSession(live->SessionID, "h"), live);
  EXPECT_EQ(ended_, (std::vector<std::string>{stale1->SessionID, stale2->SessionID}));
  EXPECT_EQ(list_.Count(), 1u);
  EXPECT_EQ(stale1->Owner(), nullptr);  // Detached, yet still valid for its holders.
}

TEST_F(SessionListTest, EveryRemovalRaisesExactlyOneEndEvent) {
  list_.SetSessionTimeout(60000);
  const auto a = list_.CreateSession("h");
  const auto b = list_.CreateSession("h");
  list_.RemoveSession(*a);
  list_.RemoveSession(*a);
  list_.PurgeStale(/*all=*/false);
  EXPECT_EQ(ended_, (std::vector<std::string>{a->SessionID}));
  list_.EndAllSessions();
  list_.PurgeStale(/*all=*/true);
  EXPECT_EQ(ended_, (std::vector<std::string>{a->SessionID, b->SessionID}));
  EXPECT_EQ(list_.Count(), 0u);
}

TEST_F(SessionListTest, StartEventSeesTheSessionBeforeItIsListed) {
  std::size_t listed = 99;
  list_.SetOnSessionStart([&](HttpSession&) { listed = list_.Count(); });
  list_.CreateSession("h");
  EXPECT_EQ(listed, 0u);
}

class ServerSessionTest : public test::LeakCheckedTest {
 protected:
  ServerSessionTest() {
    server_.SetTerminateWaitTime(1000);
    server_.SetSessionState(true);
    server_.SetAutoStartSession(true);
    server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
      events_.Add(request.Session ? "session:" + request.Session->SessionID : "no session");
    });
    server_.SetOnSessionStart(
        [this](HttpSession& session) { events_.Add("start:" + session.SessionID); });
    server_.SetOnSessionEnd(
        [this](HttpSession& session) { events_.Add("end:" + session.SessionID); });
  }

  std::string Get(const std::string& cookie_line = "") {
    TestClient client;
    if (!client.Connect(port_)) return "";
    client.Send("GET / HTTP/1.1\r\n" + cookie_line + "\r\n");
    return client.ReadUntilClose();
  }

  // The session ID of the cookie in `reply`.
  static std::string CookieId(const std::string& reply) {
    const std::size_t start = reply.find("Set-Cookie: HTTPSESSIONID=");
    if (start == std::string::npos) return "";
    return reply.substr(start + 26, HttpSessionList::kSessionIdLength);
  }

  EventLog events_;
  HttpServer server_;
  int port_ = 0;
};

TEST_F(ServerSessionTest, ZeroTimeoutTurnsSessionsOffAtActivation) {
  server_.SetSessionTimeOut(0);
  port_ = test::ActivateOnLoopback(server_);
  EXPECT_FALSE(server_.SessionState());
  EXPECT_EQ(Get().find("Set-Cookie"), std::string::npos);
  EXPECT_TRUE(events_.Contains("no session"));
}

TEST_F(ServerSessionTest, CookieFindsTheSameSessionAndCarriesMaxAge) {
  server_.SetSessionTimeOut(30000);
  port_ = test::ActivateOnLoopback(server_);
  const std::string reply = Get();
  EXPECT_NE(reply.find("Set-Cookie: HTTPSESSIONID=" + CookieId(reply) +
                       "; Version=\"1\"; Path=/; Max-Age=30\r\n"),
            std::string::npos);
  const std::string id = CookieId(reply);
  ASSERT_EQ(id.size(), 15u);
  EXPECT_TRUE(events_.Contains("start:" + id));

  const std::string again = Get("Cookie: other=1; httpsessionid=" + id + "\r\n");
  EXPECT_EQ(CookieId(again), "");  // Found: no new cookie.
  EXPECT_EQ(server_.Sessions().Count(), 1u);
  EXPECT_TRUE(events_.Contains("session:" + id));

  Get("Cookie: HTTPSESSIONID=unknown\r\n");
  EXPECT_EQ(server_.Sessions().Count(), 2u);  // Unknown ID: a new session.
}

TEST_F(ServerSessionTest, UnusedSessionIsEndedByTheCleanerOnce) {
  server_.SetSessionTimeOut(100);
  port_ = test::ActivateOnLoopback(server_);
  const std::string id = CookieId(Get());
  ASSERT_FALSE(id.empty());
  EXPECT_TRUE(events_.WaitFor("end:" + id, milliseconds(5000)));
  EXPECT_EQ(server_.Sessions().Count(), 0u);
  server_.SetActive(false);
  int ends = 0;
  for (const std::string& event : events_.Events()) ends += event == "end:" + id;
  EXPECT_EQ(ends, 1);
}

TEST_F(ServerSessionTest, DeactivationEndsEveryLiveSession) {
  server_.SetSessionTimeOut(60000);
  port_ = test::ActivateOnLoopback(server_);
  const std::string first = CookieId(Get());
  const std::string second = CookieId(Get());
  server_.SetActive(false);
  EXPECT_TRUE(events_.Contains("end:" + first));
  EXPECT_TRUE(events_.Contains("end:" + second));
  EXPECT_EQ(server_.Sessions().Count(), 0u);
}

TEST_F(ServerSessionTest, SessionStateCannotChangeWhileActive) {
  server_.SetSessionTimeOut(60000);
  port_ = test::ActivateOnLoopback(server_);
  try {
    server_.SetSessionState(false);
    FAIL() << "no error";
  } catch (const HttpSessionStateActiveError& error) {
    EXPECT_EQ(error.Message(), "Cannot change session state when the server is active.");
  }
  EXPECT_TRUE(server_.SessionState());
}

}  // namespace
}  // namespace vantrel
