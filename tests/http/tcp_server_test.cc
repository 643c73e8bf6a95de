// Activation, deactivation and the listener of TcpServer.
#include "http/tcp_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/net_errors.h"
#include "http/peer_thread.h"
#include "tests/http/server_test_util.h"
#include "tests/support/ports.h"
#include "tests/support/process_stats.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using test::EventLog;
using test::TestClient;

// Echoes lines until the peer goes; records errors and disconnects.
void ServeEcho(TcpServer& server, EventLog& events) {
  server.SetTerminateWaitTime(1000);
  server.SetOnExecute([&events](PeerThread& thread) {
    try {
      thread.Connection()->WriteLine(thread.Connection()->ReadTextLine());
    } catch (const Exception& error) {
      events.Add(std::string("error:") + error.ClassName());
      throw;
    }
  });
  server.SetOnDisconnect([&events](PeerThread&) { events.Add("disconnect"); });
}

class TcpServerTest : public test::LeakCheckedTest {};

bool Echoes(int port) {
  TestClient client;
  return client.Connect(port) && client.Send("hello\n") && client.ReadUntil("\r\n") == "hello\r\n";
}

TEST_F(TcpServerTest, ActivationWithoutBindingsListensOnEveryInterfaceOnDefaultPort) {
  EventLog events;
  TcpServer server;
  ServeEcho(server, events);
  const int port = test::FreePort();
  server.SetDefaultPort(port);
  server.SetActive(true);
  ASSERT_TRUE(server.Active());
  ASSERT_EQ(server.Bindings().Count(), 1);
  EXPECT_EQ(server.Bindings()[0].LocalIP, "0.0.0.0");
  EXPECT_EQ(server.Bindings()[0].LocalPort, port);
  EXPECT_TRUE(Echoes(port));
}

TEST_F(TcpServerTest, TakenPortFailsActivationCleanlyAndALaterActivationWorks) {
  test::ListeningSocket blocker;
  ASSERT_GT(blocker.Port(), 0);
  EventLog events;
  TcpServer server;
  ServeEcho(server, events);
  SocketHandle& free_binding = server.Bindings().Add();
  free_binding.LocalIP = "127.0.0.1";
  SocketHandle& taken_binding = server.Bindings().Add();
  taken_binding.LocalIP = "127.0.0.1";
  taken_binding.LocalPort = blocker.Port();

  const int descriptors = test::OpenDescriptorCount();
  try {
    server.SetActive(true);
    FAIL() << "activation on a taken port succeeded";
  } catch (const CouldNotBindSocketError& error) {
    EXPECT_EQ(error.Message(), "Could not bind socket. Address and port are already in use.");
    EXPECT_STREQ(error.ClassName(), "CouldNotBindSocketError");
  }
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.ThreadMgr(), nullptr);
  // The socket of the first binding, already listening, was closed again.
  EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
  EXPECT_FALSE(server.Bindings()[0].HandleAllocated);

  blocker.Close();
  server.Bindings()[1].LocalPort = 0;
  server.SetActive(true);
  EXPECT_TRUE(server.Active());
  EXPECT_TRUE(Echoes(server.Bindings()[1].LocalPort));
}

TEST_F(TcpServerTest, RepeatedActivationAndDeactivationAreHarmless) {
  EventLog events;
  TcpServer server;
  ServeEcho(server, events);
  server.SetActive(false);
  const int port = test::ActivateOnLoopback(server);
  server.SetActive(true);
  EXPECT_TRUE(Echoes(port));
  server.SetActive(false);
  server.SetActive(false);
  EXPECT_FALSE(server.Active());
  // The binding keeps its address and port, so activating again reopens it.
  EXPECT_EQ(server.Bindings()[0].LocalIP, "127.0.0.1");
  EXPECT_EQ(server.Bindings()[0].LocalPort, port);
  EXPECT_FALSE(server.Bindings()[0].HandleAllocated);
  TestClient refused;
  EXPECT_FALSE(refused.Connect(port, milliseconds(1000)));
  server.SetActive(true);
  EXPECT_TRUE(Echoes(port));
}

TEST_F(TcpServerTest, DeactivationDropsASilentPeerWithinTerminateWaitTime) {
  EventLog events;
  TcpServer server;
  ServeEcho(server, events);
  const int port = test::ActivateOnLoopback(server);
  TestClient silent;
  ASSERT_TRUE(silent.Connect(port));
  ASSERT_TRUE(test::WaitUntil([&] { return server.Threads().Count() == 1; }, milliseconds(5000)));

  const auto start = std::chrono::steady_clock::now();
  server.SetActive(false);
  const auto took = std::chrono::steady_clock::now() - start;
  // TerminateWaitTime (1000) plus one listener pass (1000), with margin.
  EXPECT_LT(took, milliseconds(4000));
  EXPECT_EQ(server.Threads().Count(), 0);
  EXPECT_TRUE(events.Contains("disconnect"));
  EXPECT_EQ(silent.ReadUntilClose(), "");
  EXPECT_TRUE(silent.ServerClosed());
}

TEST_F(TcpServerTest, ConnectionWithoutExecuteHandlerIsClosed) {
  EventLog events;
  TcpServer server;
  server.SetOnDisconnect([&events](PeerThread&) { events.Add("disconnect"); });
  const int port = test::ActivateOnLoopback(server);
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  EXPECT_EQ(client.ReadUntilClose(), "");
  EXPECT_TRUE(client.ServerClosed());
  EXPECT_TRUE(events.WaitFor("disconnect"));
}

TEST_F(TcpServerTest, FailingDisconnectHandlerStillLetsTheThreadLeave) {
  TcpServer server;
  server.SetOnExecute([](PeerThread& thread) { thread.Connection()->CloseConnection(); });
  server.SetOnDisconnect([](PeerThread&) { throw Exception("disconnect failed"); });
  const int port = test::ActivateOnLoopback(server);
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  EXPECT_EQ(client.ReadUntilClose(), "");
  // Were the thread to stay in Threads, destroying the server would hang.
  EXPECT_TRUE(test::WaitUntil([&] { return server.Threads().Count() == 0; }, milliseconds(5000)));
}

TEST_F(TcpServerTest, MoreBindingsThanOneWaitCanWatchFailActivation) {
  TcpServer server;
  for (int i = 0; i < kMaxSocketsPerWait + 1; ++i) server.Bindings().Add().LocalIP = "127.0.0.1";
  const int descriptors = test::OpenDescriptorCount();
  EXPECT_THROW(server.SetActive(true), StackSetSizeExceededError);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
}

// Fills every free descriptor slot but one while alive.
class DescriptorExhaustion {
 public:
  DescriptorExhaustion() {
    const int seed = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (seed < 0) return;
    fillers_.push_back(seed);
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = static_cast<rlim_t>(test::OpenDescriptorCount() + 16);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    for (int fd; (fd = ::fcntl(seed, F_DUPFD_CLOEXEC, 0)) >= 0;) fillers_.push_back(fd);
    ::close(fillers_.back());  // One slot for the client.
    fillers_.pop_back();
  }
  ~DescriptorExhaustion() { Release(); }

  bool Exhausted() const { return fillers_.size() > 1; }

  void Release() {
    if (fillers_.empty()) return;
    for (const int fd : fillers_) ::close(fd);
    fillers_.clear();
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }

 private:
  rlimit saved_{};
  std::vector<int> fillers_;
};

TEST_F(TcpServerTest, AcceptFailingForLackOfDescriptorsDoesNotStopTheListener) {
#ifdef VANTREL_UBSAN_BUILD
  // The sanitizer probes memory through a pipe, which fails without free
  // descriptors and makes it report objects as broken.
  GTEST_SKIP() << "needs free descriptors under UndefinedBehaviorSanitizer";
#endif
  EventLog events;
  TcpServer server;
  ServeEcho(server, events);
  const int port = test::ActivateOnLoopback(server);
  TestClient client;
  {
    DescriptorExhaustion exhaustion;
    ASSERT_TRUE(exhaustion.Exhausted());
    ASSERT_TRUE(client.Connect(port));  // Completes in the backlog; accept has no slot left.
    ASSERT_TRUE(client.Send("first\n"));
    EXPECT_EQ(client.ReadFor(milliseconds(300)), "");
  }
  // With descriptors back, the waiting connection and new ones are served.
  EXPECT_EQ(client.ReadUntil("\r\n"), "first\r\n");
  EXPECT_TRUE(Echoes(port));
}

}  // namespace
}  // namespace vantrel
