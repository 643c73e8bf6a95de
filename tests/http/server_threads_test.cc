// Peer threads under load: reuse, bounds, leaks and lifetimes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/net_errors.h"
#include "http/peer_thread.h"
#include "http/tcp_server.h"
#include "http/thread_manager.h"
#include "tests/http/server_test_util.h"
#include "tests/support/process_stats.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using test::EventLog;
using test::TestClient;

// Answers one line per connection, then closes it, as the HTTP layer does.
void ServeOneLinePerConnection(TcpServer& server) {
  server.SetTerminateWaitTime(1000);
  server.SetOnExecute([](PeerThread& thread) {
    TcpServerConnection& connection = *thread.Connection();
    connection.WriteLine("echo:" + connection.ReadTextLine());
    connection.CloseConnection();
  });
}

class ServerThreadsTest : public test::LeakCheckedTest {};

bool RoundTrip(int port, const std::string& text) {
  TestClient client;
  return client.Connect(port) && client.Send(text + "\n") &&
         client.ReadUntilClose() == "echo:" + text + "\r\n" && client.ServerClosed();
}

TEST_F(ServerThreadsTest, SequentialConnectionsReuseFinishedThreads) {
  std::atomic<int> created{0};
  TcpServer server;
  ServeOneLinePerConnection(server);
  server.SetThreadClass([&created] {
    ++created;
    return std::make_unique<PeerThread>();
  });
  const int port = test::ActivateOnLoopback(server);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(RoundTrip(port, "n" + std::to_string(i)));
  // A thread per connection would make 100.
  EXPECT_LE(created.load(), 10);
}

// Deactivation wakes the listener at once, not after its wait time, with
// finished threads waiting in the pool, and leaves the port free for the
// next activation.
TEST_F(ServerThreadsTest, DeactivationWakesTheListenerAtOnce) {
  auto manager = std::make_shared<DefaultThreadManager>();
  TcpServer server;
  server.SetThreadMgr(manager);
  ServeOneLinePerConnection(server);
  server.SetAcceptWaitTime(30000);
  const int port = test::ActivateOnLoopback(server);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(RoundTrip(port, "n" + std::to_string(i)));
    ASSERT_TRUE(test::WaitUntil(
        [&] { return manager->ActiveThreadCount() == 0 && manager->IdleThreadCount() > 0; },
        milliseconds(5000)));

    const auto start = std::chrono::steady_clock::now();
    server.SetActive(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));

    server.Bindings()[0].LocalPort = port;
    server.SetActive(true);
    ASSERT_TRUE(RoundTrip(port, "again"));
  }
  const auto start = std::chrono::steady_clock::now();
  server.SetActive(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
}

TEST_F(ServerThreadsTest, ConcurrentConnectionsAreAllServedCorrectly) {
  TcpServer server;
  ServeOneLinePerConnection(server);
  const int port = test::ActivateOnLoopback(server);
  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      for (int i = 0; i < 25; ++i) {
        if (!RoundTrip(port, std::to_string(c) + "-" + std::to_string(i))) ++failures;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST_F(ServerThreadsTest, IdlePoolKeepsAtMostItsLimitAfterABurst) {
  auto manager = std::make_shared<DefaultThreadManager>(4);
  TcpServer server;
  server.SetThreadMgr(manager);
  ServeOneLinePerConnection(server);
  const int port = test::ActivateOnLoopback(server);
  const int threads_before = test::ThreadCount();

  // Ten connections held open at once: ten threads serve at the same time.
  std::vector<TestClient> clients(10);
  for (TestClient& client : clients) ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(test::WaitUntil([&] { return server.Threads().Count() == 10; }, milliseconds(5000)));
  EXPECT_EQ(manager->ActiveThreadCount(), 10);
  for (TestClient& client : clients) ASSERT_TRUE(client.Send("x\n"));
  for (TestClient& client : clients) EXPECT_EQ(client.ReadUntilClose(), "echo:x\r\n");

  EXPECT_TRUE(
      test::WaitUntil([&] { return manager->ActiveThreadCount() == 0; }, milliseconds(5000)));
  EXPECT_EQ(manager->IdleThreadCount(), 4);
  // The six threads the pool had no room for ended.
  EXPECT_TRUE(test::WaitUntil([&] { return test::ThreadCount() <= threads_before + 4; },
                              milliseconds(5000)))
      << test::ThreadCount() << " threads, " << threads_before << " before";
}

TEST_F(ServerThreadsTest, NoDescriptorOrThreadOutlivesTheServerAfterABurst) {
  // The fixture checks that no descriptor or thread outlives the server.
  std::vector<TestClient> kept;
  {
    TcpServer server;
    ServeOneLinePerConnection(server);
    const int port = test::ActivateOnLoopback(server);
    for (int i = 0; i < 40; ++i) {
      TestClient client;
      ASSERT_TRUE(client.Connect(port));
      switch (i % 4) {
        case 0:  // A whole exchange.
          ASSERT_TRUE(client.Send("a\n"));
          client.ReadUntilClose();
          break;
        case 1:  // A partial line, then an orderly close.
          ASSERT_TRUE(client.Send("partial"));
          break;
        case 2:  // A reset.
          ASSERT_TRUE(client.Send("partial"));
          client.ResetClose();
          break;
        default:  // Connected, silent, still open when the server goes.
          kept.push_back(std::move(client));
          break;
      }
    }
  }
}

TEST_F(ServerThreadsTest, DestroyingTheServerWaitsForAHandlerStillBusy) {
  EventLog events;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  auto server = std::make_unique<TcpServer>();
  server->SetTerminateWaitTime(0);  // Deactivation itself does not wait.
  server->SetOnExecute([&events, gate](PeerThread& thread) {
    events.Add("busy");
    gate.wait_for(std::chrono::seconds(10));
    events.Add("done");
    thread.Connection()->WriteLine("too late");  // The connection was dropped meanwhile.
  });
  server->SetOnDisconnect([&events](PeerThread&) { events.Add("disconnect"); });
  const int port = test::ActivateOnLoopback(*server);
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(events.WaitFor("busy"));

  std::thread releaser([&release] {
    std::this_thread::sleep_for(milliseconds(300));
    release.set_value();
  });
  server.reset();  // Must not return while the peer thread still uses the server.
  EXPECT_TRUE(events.Contains("disconnect"));
  releaser.join();
  EXPECT_EQ(client.ReadUntilClose(), "");
}

TEST_F(ServerThreadsTest, HandlerOutlivingDeactivationEndsSafelyWithoutItsManager) {
  const int threads_before = test::ThreadCount();
  EventLog events;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  TcpServer server;
  server.SetTerminateWaitTime(0);
  server.SetOnExecute([&events, gate](PeerThread& thread) {
    events.Add("busy");
    gate.wait_for(std::chrono::seconds(10));
    thread.Connection()->CloseConnection();
  });
  server.SetOnDisconnect([&events](PeerThread&) { events.Add("disconnect"); });
  const int port = test::ActivateOnLoopback(server);
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(events.WaitFor("busy"));

  server.SetActive(false);  // Frees the implicit manager; the handler still runs.
  EXPECT_EQ(server.ThreadMgr(), nullptr);
  EXPECT_EQ(server.Threads().Count(), 1);
  release.set_value();
  EXPECT_TRUE(events.WaitFor("disconnect"));
  // The thread could not go back to a pool that is gone: it ended.
  EXPECT_TRUE(
      test::WaitUntil([&] { return test::ThreadCount() <= threads_before; }, milliseconds(5000)));
}

}  // namespace
}  // namespace vantrel
