// Streamed responses on a loopback server: a body written as it goes,
// woken from another thread, and ended by the client or by the server's
// stop without leaving a thread or descriptor behind.
#include "http/response_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/thread_priority.h"
#include "http/http_server.h"
#include "tests/http/server_test_util.h"
#include "tests/support/process_stats.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using test::EventLog;
using test::TestClient;

constexpr char kGet[] = "GET /events HTTP/1.1\r\nHost: x\r\n\r\n";

class ResponseStreamTest : public test::LeakCheckedTest {
 protected:
  ResponseStreamTest() {
    server_.SetTerminateWaitTime(1000);
    // Writes "hello", then a line per wake-up until the connection ends.
    server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
      response.ContentType = "text/plain";
      response.ContentText = "never sent";
      response.BodyWriter = [this](ResponseStream& body) {
        SetStream(&body);
        body.Write("hello\n");
        for (;;) {
          const ResponseStream::WaitResult result = body.Wait(milliseconds(60000));
          if (result == ResponseStream::WaitResult::kClosed) break;
          body.Write(result == ResponseStream::WaitResult::kWoken ? "woken\n" : "timed out\n");
        }
        SetStream(nullptr);
        events_.Add("writer returned");
      };
    });
    port_ = test::ActivateOnLoopback(server_);
  }

  void SetStream(ResponseStream* stream) {
    std::lock_guard lock(mutex_);
    stream_ = stream;
  }
  bool Wake() {
    std::lock_guard lock(mutex_);
    if (stream_ == nullptr) return false;
    stream_->Wake();
    return true;
  }

  EventLog events_;
  std::mutex mutex_;
  ResponseStream* stream_ = nullptr;  // Guarded by mutex_.
  HttpServer server_;
  int port_ = 0;
};

TEST_F(ResponseStreamTest, BodyGoesOutAsWrittenWithoutLengthAndEachWakeUpIsAnswered) {
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send(kGet);
  EXPECT_EQ(client.ReadUntil("hello\n"),
            "HTTP/1.1 200 OK\r\nServer: Vantrel/3.0\r\nContent-Type: text/plain\r\n"
            "Connection: close\r\n\r\nhello\n");
  ASSERT_TRUE(Wake());
  EXPECT_EQ(client.ReadUntil("\n"), "woken\n");
  ASSERT_TRUE(Wake());
  EXPECT_EQ(client.ReadUntil("\n"), "woken\n");
  // Bytes the client sends on a stream are thrown away, not taken for its end.
  client.Send("ignored");
  ASSERT_TRUE(Wake());
  EXPECT_EQ(client.ReadUntil("\n"), "woken\n");
}

// A stream waits for its producer, not for the socket: without the socket
// in its wait, a client that left would keep the thread until the next
// event, which may never come.
TEST_F(ResponseStreamTest, ClientThatLeavesEndsTheWaitAtOnce) {
  {
    TestClient client;
    ASSERT_TRUE(client.Connect(port_));
    client.Send(kGet);
    ASSERT_EQ(client.ReadUntil("hello\n").substr(0, 15), "HTTP/1.1 200 OK");
  }
  EXPECT_TRUE(
      test::WaitUntil([this] { return events_.Contains("writer returned"); }, milliseconds(5000)));
}

TEST_F(ResponseStreamTest, StoppingTheServerEndsEveryStream) {
  TestClient first;
  TestClient second;
  for (TestClient* client : {&first, &second}) {
    ASSERT_TRUE(client->Connect(port_));
    client->Send(kGet);
    ASSERT_EQ(client->ReadUntil("hello\n").substr(0, 15), "HTTP/1.1 200 OK");
  }
  server_.SetActive(false);
  EXPECT_TRUE(
      test::WaitUntil([this] { return server_.Threads().Count() == 0; }, milliseconds(5000)));
  EXPECT_EQ(first.ReadUntilClose(), "");
  EXPECT_TRUE(first.ServerClosed());
  EXPECT_EQ(second.ReadUntilClose(), "");
  EXPECT_TRUE(second.ServerClosed());
}

// A client that asks and then never reads: the answer stalls once the
// buffers are full, and after the stall limit the connection ends and its
// thread is free, for a streamed body and for a file alike.
TEST(SendStallTest, ClientThatStopsReadingLosesTheConnectionNotAThreadForEver) {
  test::TempDir dir;
  const std::string file = dir.Write("large.bin", std::string(8 << 20, 'f'));
  HttpServer server;
  server.SetTerminateWaitTime(1000);
  server.SetSendStallTime(300);
  EventLog events;
  server.SetOnCommandGet([&](PeerThread&, HttpRequestInfo& request, HttpResponseInfo& response) {
    if (request.Document == "/file") {
      try {
        server.ServeDocument(response, file);
      } catch (...) {
        events.Add("file ended");
        throw;
      }
      return;
    }
    response.BodyWriter = [&events](ResponseStream& body) {
      struct Ended {
        EventLog& events;
        ~Ended() { events.Add("stream ended"); }
      } ended{events};
      const std::string chunk(64 * 1024, 's');
      for (;;) body.Write(chunk);
    };
  });
  const int port = test::ActivateOnLoopback(server);
  TestClient stream_client;
  TestClient file_client;
  ASSERT_TRUE(stream_client.ConnectWithReceiveBuffer(port, 4096));
  ASSERT_TRUE(file_client.ConnectWithReceiveBuffer(port, 4096));
  stream_client.Send("GET /events HTTP/1.1\r\n\r\n");
  file_client.Send("GET /file HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(events.WaitFor("stream ended", milliseconds(10000)));
  EXPECT_TRUE(events.WaitFor("file ended", milliseconds(10000)));
  EXPECT_TRUE(test::WaitUntil([&] { return server.Threads().Count() == 0; }, milliseconds(5000)))
      << "the clients are still connected";
}

// A stream that only watches runs below everything else, and the thread it
// held serves the next request at the priority it had: a pooled thread
// must not carry the low priority into pages and files.
TEST(BackgroundStreamTest, WriterRunsAtTheLowestPriorityAndItsThreadServesOnAsBefore) {
  HttpServer server;
  std::mutex mutex;
  std::vector<std::pair<pid_t, bool>> seen;  // Thread, and whether it ran low; guarded by mutex.
  auto note = [&] {
    std::lock_guard lock(mutex);
    seen.emplace_back(::gettid(), LowThreadPriority::IsLow());
  };
  server.SetOnCommandGet([&](PeerThread&, HttpRequestInfo& request, HttpResponseInfo& response) {
    if (request.Document != "/events") {
      note();
      response.ContentText = "ok";
      return;
    }
    response.BodyWriterInBackground = true;
    response.BodyWriter = [&](ResponseStream& body) {
      note();
      body.Write("watched\n");
    };
  });
  const int port = test::ActivateOnLoopback(server);
  ASSERT_FALSE(LowThreadPriority::IsLow());

  TestClient watcher;
  ASSERT_TRUE(watcher.Connect(port));
  watcher.Send(kGet);
  ASSERT_NE(watcher.ReadUntilClose().find("watched"), std::string::npos);
  // Served again until the stream's thread, back in the pool, takes a request.
  for (int attempt = 0; attempt < 20; ++attempt) {
    ASSERT_TRUE(test::WaitUntil([&] { return server.Threads().Count() == 0; }, milliseconds(5000)));
    TestClient client;
    ASSERT_TRUE(client.Connect(port));
    client.Send("GET /page HTTP/1.1\r\nHost: x\r\n\r\n");
    client.ReadUntilClose();
    std::lock_guard lock(mutex);
    if (seen.back().first == seen.front().first) break;
  }
  std::lock_guard lock(mutex);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(seen.front().second);
  EXPECT_EQ(seen.back().first, seen.front().first);
  EXPECT_FALSE(seen.back().second);
}

}  // namespace
}  // namespace vantrel
