// The HTTP server on a loopback port: one request per connection, the
// response the server writes around its handler, and the requests it
// answers with nothing but a closed connection.
#include "http/http_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "http/http_errors.h"
#include "http/thread_manager.h"
#include "tests/http/server_test_util.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using test::EventLog;
using test::TestClient;

class HttpServerTest : public test::LeakCheckedTest {
 protected:
  HttpServerTest() { server_.SetTerminateWaitTime(1000); }

  int Start() { return port_ = test::ActivateOnLoopback(server_); }

  // Sends `request` on a new connection and returns all that comes back
  // before the server closes.
  std::string Exchange(const std::string& request) {
    TestClient client;
    if (!client.Connect(port_) || !client.Send(request)) return "<no connection>";
    std::string reply = client.ReadUntilClose();
    if (!client.ServerClosed()) reply += "<still open>";
    return reply;
  }

  EventLog events_;
  HttpServer server_;
  int port_ = 0;
};

constexpr char kGetRoot[] = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";

TEST_F(HttpServerTest, HandlerThatSetsNothingGetsBareOkAndTheConnectionCloses) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) {});
  Start();
  EXPECT_EQ(Exchange(kGetRoot),
            "HTTP/1.1 200 OK\r\nServer: Vantrel/3.0\r\nContent-Type: text/html\r\n"
            "Connection: close\r\n\r\n");
}

TEST_F(HttpServerTest, HandlerSeesParsedRequestAndPeerAddress) {
  server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
    events_.Add(request.Command + " " + request.Document + " " + request.RemoteIP + " " +
                request.ParamText);
  });
  Start();
  Exchange("HEAD /a%20b.html?x=1 HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(events_.Contains("HEAD /a%20b.html 127.0.0.1 x=1"));
}

TEST_F(HttpServerTest, HandlerExceptionBecomes500WithMessageAndLength) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    response.ContentText = "partial page";
    throw std::runtime_error("boom");
  });
  Start();
  EXPECT_EQ(Exchange(kGetRoot),
            "HTTP/1.1 500 Internal Server Error\r\nServer: Vantrel/3.0\r\n"
            "Content-Type: text/html\r\nContent-Length: 4\r\nConnection: close\r\n\r\nboom");
}

TEST_F(HttpServerTest, ExceptionAfterTheHeaderSendsOnlyTheMessage) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    response.WriteHeader();
    throw std::runtime_error("late");
  });
  Start();
  const std::string reply = Exchange(kGetRoot);
  EXPECT_EQ(reply.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(reply.substr(reply.size() - 8), "\r\n\r\nlate");
}

TEST_F(HttpServerTest, AuthRealmTurnsAnyStatusInto401WithChallenge) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    response.SetStatusCode(403);
    response.AuthRealm = "Vantrel server";
    response.ContentText = "no";
  });
  Start();
  const std::string reply = Exchange(kGetRoot);
  EXPECT_EQ(reply.substr(0, 27), "HTTP/1.1 401 Unauthorized\r\n");
  EXPECT_NE(reply.find("\r\nWWW-Authenticate: Basic realm=\"Vantrel server\"\r\n"),
            std::string::npos);
}

TEST_F(HttpServerTest, ServerSoftwareReplacesTheDefaultUnlessBlank) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) {});
  server_.SetServerSoftware("Gate/1");
  Start();
  EXPECT_NE(Exchange(kGetRoot).find("\r\nServer: Gate/1\r\n"), std::string::npos);
  server_.SetActive(false);
  server_.SetServerSoftware("  ");
  Start();
  EXPECT_NE(Exchange(kGetRoot).find("\r\nServer: Vantrel/3.0\r\n"), std::string::npos);
}

TEST_F(HttpServerTest, OtherMethodGoesToOnCommandOtherWithoutResponse) {
  server_.SetOnCommandGet(
      [this](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) { events_.Add("get"); });
  server_.SetOnCommandOther(
      [this](PeerThread&, const std::string& command, const std::string& data,
             const std::string& version) { events_.Add(command + "|" + data + "|" + version); });
  Start();
  EXPECT_EQ(Exchange("put /x?y=1 HTTP/1.1\r\n\r\n"), "");
  EXPECT_TRUE(events_.Contains("PUT|/x?y=1|HTTP/1.1"));
  EXPECT_FALSE(events_.Contains("get"));
}

TEST_F(HttpServerTest, WithoutOnCommandGetEveryMethodIsOther) {
  server_.SetOnCommandOther([this](PeerThread&, const std::string& command, const std::string&,
                                   const std::string&) { events_.Add(command); });
  Start();
  EXPECT_EQ(Exchange(kGetRoot), "");
  EXPECT_TRUE(events_.Contains("GET"));
}

TEST_F(HttpServerTest, BadRequestsCloseWithoutResponseAndTheServerGoesOn) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    response.ContentText = "fine";
  });
  Start();
  EXPECT_EQ(Exchange("NOSPACE\r\n\r\n"), "");
  EXPECT_EQ(Exchange("GET / HTTP/1.1\r\nAuthorization: Digest x\r\n\r\n"), "");
  EXPECT_EQ(Exchange("GET / HTTP/1.1\r\nAuthorization: Basic !!\r\n\r\n"), "");
  EXPECT_NE(Exchange(kGetRoot).find("\r\n\r\nfine"), std::string::npos);
}

// A stranger's request must cost no more than its header until it is
// allowed: buffering a body of hundreds of MiB before refusing the request
// gave every client the server's memory.
TEST_F(HttpServerTest, RefusedRequestIsAnsweredBeforeItsBodyIsRead) {
  server_.SetOnAdmitRequest([](PeerThread&, HttpRequestInfo& request, HttpResponseInfo& response) {
    if (request.AuthPresent) return HttpAdmission{};
    response.SetStatusCode(401);
    response.ContentText = "who?";
    return HttpAdmission{.Admitted = false};
  });
  server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
    events_.Add("handled " + request.ParamText);
  });
  Start();
  // 256 MiB announced, 3 bytes sent: the answer comes without waiting for
  // the rest, and the client can read it whole although it keeps sending.
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send("POST / HTTP/1.1\r\nContent-Length: 268435456\r\n\r\nabc");
  EXPECT_EQ(client.ReadUntil("who?"),
            "HTTP/1.1 401 Unauthorized\r\nServer: Vantrel/3.0\r\nContent-Type: text/html\r\n"
            "Content-Length: 4\r\nConnection: close\r\n\r\nwho?");
  client.Send(std::string(64 * 1024, 'x'));
  EXPECT_EQ(client.ReadUntilClose(), "");
  EXPECT_TRUE(client.ServerClosed());
  EXPECT_FALSE(events_.Contains("handled abc"));

  // An admitted request is read and handled as before.
  EXPECT_NE(Exchange("POST / HTTP/1.1\r\nAuthorization: Basic dTpw\r\nContent-Length: 3\r\n\r\n"
                     "a=1")
                .find("200 OK"),
            std::string::npos);
  EXPECT_TRUE(events_.WaitFor("handled a=1"));
}

TEST_F(HttpServerTest, BodyOverTheAdmittedLimitIsAnswered413WithoutBeingKept) {
  server_.SetOnAdmitRequest([](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) {
    return HttpAdmission{.MaxBodyBytes = 10};
  });
  server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
    events_.Add("body " + request.ParamText);
  });
  Start();
  const std::string too_large =
      "HTTP/1.1 413 Request Entity To Long\r\nServer: Vantrel/3.0\r\nContent-Type: text/html\r\n"
      "Content-Length: 90\r\nConnection: close\r\n\r\n<html><head><title>Error</title></head>"
      "<body><h1>Request Entity To Long</h1></body></html>";
  // Announced: answered at once, before a byte of the body came.
  EXPECT_EQ(Exchange("POST / HTTP/1.1\r\nContent-Length: 11\r\n\r\n"), too_large);
  EXPECT_EQ(Exchange("GET / HTTP/1.1\r\nContent-Length: 999999999999\r\n\r\n"), too_large);
  // Read until the client closes: answered as soon as the limit is passed.
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send("POST / HTTP/1.1\r\n\r\n0123456789x");
  EXPECT_EQ(client.ReadUntil("</html>"), too_large);
  // At the limit, the body is the handler's.
  EXPECT_NE(Exchange("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789").find("200 OK"),
            std::string::npos);
  EXPECT_TRUE(events_.WaitFor("body 0123456789"));
  EXPECT_FALSE(events_.Contains("body 0123456789x"));
}

// A body sent a byte at a time, each just before the stall time-out, kept a
// thread for as long as the client liked: 1,100 such clients stopped the
// server. The whole request now has a deadline its size sets.
TEST_F(HttpServerTest, BodyArrivingSlowerThanTheMinimumRateIsCutOff) {
  server_.SetRequestHeaderTimeout(300);
  server_.SetBodyStallTimeout(5000);
  server_.SetMinBodyRate(100);  // 20 bytes: 300 ms + 200 ms.
  server_.SetOnCommandGet(
      [this](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) { events_.Add("handled"); });
  Start();
  for (const char* head :
       {"POST / HTTP/1.1\r\nContent-Length: 20\r\n\r\n", "POST / HTTP/1.1\r\n\r\n"}) {
    TestClient trickling;
    ASSERT_TRUE(trickling.Connect(port_));
    trickling.Send(head);
    const auto started = std::chrono::steady_clock::now();
    // A byte every 100 ms: 10 bytes a second, never a stall.
    for (int i = 0; i < 19 && !trickling.ServerClosed(); ++i) {
      trickling.Send("a");
      trickling.ReadFor(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(trickling.ServerClosed()) << head;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900)) << head;
  }
  EXPECT_FALSE(events_.Contains("handled"));
  // A body at the rate gets through.
  EXPECT_NE(Exchange("POST / HTTP/1.1\r\nContent-Length: 20\r\n\r\n" + std::string(20, 'b'))
                .find("200 OK"),
            std::string::npos);
}

TEST_F(HttpServerTest, EndlessRequestLineIsCutOffWithoutResponse) {
  std::atomic<int> calls{0};
  server_.SetOnCommandGet([&calls](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) { ++calls; });
  Start();
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  const std::string chunk(64 * 1024, 'a');
  bool sent = client.Send("GET /");
  // Keep sending until the server gives up; it must, long before 8 MiB.
  for (int i = 0; i < 128 && sent; ++i) sent = client.Send(chunk);
  EXPECT_FALSE(sent);
  EXPECT_EQ(client.ReadUntilClose(), "");
  EXPECT_EQ(calls, 0);
}

TEST_F(HttpServerTest, ClientsThatVanishOrStallLeaveNoThreadBehind) {
  server_.SetOnCommandGet(
      [this](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) { events_.Add("handled"); });
  Start();
  {
    TestClient vanishing;
    ASSERT_TRUE(vanishing.Connect(port_));
    vanishing.Send("POST / HTTP/1.1\r\nContent-Length: 100000000\r\n\r\nabc");
    vanishing.ResetClose();
  }
  {
    TestClient closing;
    ASSERT_TRUE(closing.Connect(port_));
    closing.Send("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
    closing.ShutdownWrite();
    EXPECT_EQ(closing.ReadUntilClose(), "");
  }
  TestClient stalled;
  ASSERT_TRUE(stalled.Connect(port_));
  stalled.Send("GET / HTTP/1.1\r\nHost:");
  ASSERT_TRUE(test::WaitUntil([this] { return server_.Threads().Count() > 0; },
                              std::chrono::milliseconds(5000)));
  server_.SetActive(false);  // Drops the stalled connection.
  EXPECT_TRUE(stalled.ReadUntilClose().empty());
  EXPECT_FALSE(events_.Contains("handled"));
}

// A connection that says nothing waits in the system, not on a thread of
// ours: neither the connect hook nor Threads sees it, and clients that
// speak are served meanwhile. Once it speaks, it is served at once.
TEST_F(HttpServerTest, SilentConnectionTakesNoThreadUntilItSpeaks) {
  server_.SetOnCommandGet([](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    response.ContentText = "served";
  });
  // Counted in the fixture, which outlives the server: the silent clients
  // closing at the end are handed over, and hooked, after this body.
  const auto connected = [this] { return events_.Events().size(); };
  server_.SetOnConnect([this](PeerThread&) { events_.Add("connect"); });
  ASSERT_EQ(server_.DeferAcceptTime(), HttpServer::kDefaultDeferAcceptTime);
  Start();
  std::vector<TestClient> silent(20);
  for (TestClient& client : silent) ASSERT_TRUE(client.Connect(port_));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Exchange(kGetRoot).ends_with("\r\n\r\nserved"));
  ASSERT_TRUE(test::WaitUntil([this] { return server_.Threads().Count() == 0; },
                              std::chrono::milliseconds(5000)));
  EXPECT_EQ(connected(), 3u);

  silent[7].Send(kGetRoot);
  EXPECT_TRUE(silent[7].ReadUntilClose().ends_with("\r\n\r\nserved"));
  EXPECT_EQ(connected(), 4u);
}

TEST_F(HttpServerTest, PostWithoutLengthIsReadUntilTheClientStopsSending) {
  server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
    events_.Add("body:" + request.ParamText);
  });
  Start();
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send("POST / HTTP/1.1\r\n\r\na=1&b=2");
  client.ShutdownWrite();
  client.ReadUntilClose();
  EXPECT_TRUE(events_.WaitFor("body:a=1&b=2"));
}

TEST_F(HttpServerTest, RequestsThatStallAreClosedAndTheirThreadsGoBackToThePool) {
  // A thread that ends through an exception is never kept, so an ordinary
  // end is one where every thread made so far is still alive and idle.
  struct CountedThread : PeerThread {
    explicit CountedThread(std::atomic<int>& ended) : ended_(ended) {}
    ~CountedThread() override { ++ended_; }
    std::atomic<int>& ended_;
  };
  std::atomic<int> made{0};
  std::atomic<int> ended{0};
  server_.SetThreadClass([&made, &ended] {
    ++made;
    return std::make_unique<CountedThread>(ended);
  });
  auto manager = std::make_shared<DefaultThreadManager>();
  server_.SetThreadMgr(manager);
  server_.SetRequestHeaderTimeout(200);
  server_.SetBodyStallTimeout(200);
  server_.SetOnCommandGet(
      [this](PeerThread&, HttpRequestInfo&, HttpResponseInfo&) { events_.Add("handled"); });
  Start();
  const auto back_in_pool = [&manager, &made, &ended] {
    return test::WaitUntil([&] { return manager->IdleThreadCount() + ended == made && made > 0; },
                           std::chrono::milliseconds(5000)) &&
           ended == 0;
  };
  const auto closes_unanswered = [this](const std::string& request) {
    TestClient client;
    if (!client.Connect(port_) || !client.Send(request)) return false;
    return client.ReadUntilClose(std::chrono::milliseconds(2000)).empty() && client.ServerClosed();
  };
  EXPECT_TRUE(closes_unanswered("GET / HTTP/1.1\r\nHost: x\r\n"));
  EXPECT_TRUE(back_in_pool());
  EXPECT_TRUE(closes_unanswered("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc"));
  EXPECT_TRUE(back_in_pool());
  EXPECT_TRUE(closes_unanswered("POST / HTTP/1.1\r\n\r\nabc"));
  EXPECT_TRUE(back_in_pool());

  // Bytes that keep arriving do not stretch the time the header may take.
  TestClient trickling;
  ASSERT_TRUE(trickling.Connect(port_));
  trickling.Send("GET / HTTP/1.1\r\nX-Slow: ");
  for (int i = 0; i < 40 && !trickling.ServerClosed(); ++i) {
    trickling.Send("a");
    trickling.ReadFor(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(trickling.ServerClosed());
  EXPECT_TRUE(back_in_pool());
  EXPECT_FALSE(events_.Contains("handled"));
  EXPECT_EQ(Exchange(kGetRoot).substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST_F(HttpServerTest, PostReadUntilCloseKeepsThePeerAddressForTheHandler) {
  // Reading until the client closes drops the connection, clearing its
  // socket record before the handler runs.
  server_.SetOnCommandGet([this](PeerThread&, HttpRequestInfo& request, HttpResponseInfo&) {
    events_.Add(request.RemoteIP + ":" + std::to_string(request.RemotePort));
  });
  Start();
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  client.Send("POST / HTTP/1.1\r\n\r\na=1");
  client.ShutdownWrite();
  client.ReadUntilClose();
  EXPECT_TRUE(events_.WaitFor("127.0.0.1:" + std::to_string(client.LocalPort())));
}

class ServeDocumentTest : public HttpServerTest {
 protected:
  void ServeFile(const std::string& path, bool clear_type) {
    server_.SetOnCommandGet(
        [this, path, clear_type](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
          if (clear_type) response.ContentType = "";
          events_.Add("sent:" + std::to_string(server_.ServeDocument(response, path)));
        });
    Start();
  }

  test::TempDir dir_;
};

TEST_F(ServeDocumentTest, SmallFileComesWithHeaderAndTableType) {
  ServeFile(dir_.Write("page.png", "PNGDATA"), /*clear_type=*/true);
  EXPECT_EQ(Exchange(kGetRoot),
            "HTTP/1.1 200 OK\r\nServer: Vantrel/3.0\r\nContent-Type: image/png\r\n"
            "Content-Length: 7\r\nConnection: close\r\n\r\nPNGDATA");
  EXPECT_TRUE(events_.WaitFor("sent:7"));
}

TEST_F(ServeDocumentTest, LargeFileArrivesWholeAndKeepsTheCallersType) {
  const std::string bytes = test::PatternBytes(300 * 1024 + 17);
  ServeFile(dir_.Write("big.bin", bytes), /*clear_type=*/false);
  const std::string reply = Exchange(kGetRoot);
  const std::size_t body = reply.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_NE(reply.find("Content-Type: text/html\r\nContent-Length: 307217\r\n"), std::string::npos);
  EXPECT_TRUE(reply.substr(body + 4) == bytes);
}

TEST_F(ServeDocumentTest, MissingFileBecomes500BeforeAnyHeader) {
  ServeFile(dir_.File("absent.html"), /*clear_type=*/false);
  const std::string reply = Exchange(kGetRoot);
  EXPECT_EQ(reply.substr(0, 35), "HTTP/1.1 500 Internal Server Error\r");
  EXPECT_NE(reply.find("absent.html"), std::string::npos);
}

TEST_F(ServeDocumentTest, FifoIsRefusedLikeAMissingFileInsteadOfHangingTheThread) {
  const std::string fifo = dir_.File("pipe.html");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ServeFile(fifo, /*clear_type=*/false);
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  ASSERT_TRUE(client.Send(kGetRoot));
  const std::string reply = client.ReadUntilClose(std::chrono::milliseconds(2000));
  // Should the server be stuck opening the FIFO, a writer releases it.
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  EXPECT_TRUE(client.ServerClosed());
  EXPECT_EQ(reply.substr(0, 35), "HTTP/1.1 500 Internal Server Error\r");
  EXPECT_NE(reply.find("pipe.html\". No such file or directory"), std::string::npos);
}

TEST_F(ServeDocumentTest, FileGrowingWhileSentGetsExactlyTheAnnouncedLength) {
  const std::string bytes = test::PatternBytes(300 * 1024);
  const std::string path = dir_.Write("log.txt", bytes);
  std::atomic<std::int64_t> filler_bytes{-1};
  server_.SetOnCommandGet([&](PeerThread&, HttpRequestInfo&, HttpResponseInfo& response) {
    // Fill the socket's buffers, so that ServeDocument, having read the
    // file's size, waits in sending the header until the client reads.
    const int socket = response.Connection.Socket().Handle;
    const std::string filler(64 * 1024, '#');
    std::int64_t total = 0;
    for (ssize_t sent = 0; sent >= 0; total += sent) {
      sent = ::send(socket, filler.data(), filler.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    filler_bytes = total + 1;  // The loop counted the failed send's -1.
    server_.ServeDocument(response, path);
  });
  Start();
  TestClient client;
  ASSERT_TRUE(client.Connect(port_));
  ASSERT_TRUE(client.Send(kGetRoot));
  ASSERT_TRUE(test::WaitUntil([&] { return filler_bytes >= 0; }, std::chrono::milliseconds(5000)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::ofstream(path, std::ios::app) << "appended meanwhile";

  const std::string reply =
      client.ReadUntilClose().substr(static_cast<size_t>(filler_bytes.load()));
  const std::size_t body = reply.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_NE(reply.find("\r\nContent-Length: 307200\r\n"), std::string::npos);
  EXPECT_EQ(reply.size() - body - 4, bytes.size());
  EXPECT_TRUE(reply.substr(body + 4) == bytes);
}

}  // namespace
}  // namespace vantrel
