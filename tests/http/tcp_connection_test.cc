// Reading and writing through a served connection, driven by a raw client.
#include "http/tcp_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "base/file_stream.h"
#include "http/byte_buffer.h"
#include "http/net_errors.h"
#include "http/peer_thread.h"
#include "http/tcp_server.h"
#include "tests/http/server_test_util.h"
#include "tests/support/process_stats.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_client.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using test::EventLog;
using test::TestClient;

class ConnectionTest : public test::LeakCheckedTest {
 protected:
  // Serves every connection with `handler`, recording the class of any
  // error that escapes it and every disconnect hook.
  int Serve(std::function<void(TcpServerConnection&)> handler,
            const std::string& address = "127.0.0.1") {
    server_.SetTerminateWaitTime(1000);
    server_.SetThreadMgr(manager_);
    server_.SetOnExecute([this, handler](PeerThread& thread) {
      try {
        handler(*thread.Connection());
      } catch (const Exception& error) {
        events_.Add(std::string("error:") + error.ClassName());
        throw;
      }
    });
    server_.SetOnDisconnect([this](PeerThread&) { events_.Add("disconnect"); });
    server_.Bindings().Clear();
    server_.Bindings().Add().LocalIP = address;
    server_.SetActive(true);
    return server_.Bindings()[0].LocalPort;
  }

  std::shared_ptr<DefaultThreadManager> manager_ = std::make_shared<DefaultThreadManager>();
  EventLog events_;
  TcpServer server_;
};

TEST_F(ConnectionTest, LineEndingsAreStrippedOnlyForTheDefaultTerminator) {
  const int port = Serve([](TcpServerConnection& connection) {
    const std::string line = connection.ReadTextLine();
    if (line == "custom") {
      connection.WriteLine("[" + connection.ReadTextLine("END") + "]");
    } else {
      connection.WriteLine("[" + line + "]");
    }
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  // CR LF, bare LF, a CR inside a line, a line split in the middle of its CR LF.
  ASSERT_TRUE(client.Send("one\r\ntwo\nth\rree\r\nfo\r"));
  EXPECT_EQ(client.ReadUntil("[th\rree]\r\n"), "[one]\r\n[two]\r\n[th\rree]\r\n");
  ASSERT_TRUE(client.Send("\n"));
  EXPECT_EQ(client.ReadUntil("\r\n"), "[fo]\r\n");
  // A terminator of several bytes arriving in pieces; the CR before it stays.
  ASSERT_TRUE(client.Send("custom\nab\r\nE"));
  ASSERT_TRUE(client.Send("ND"));
  EXPECT_EQ(client.ReadUntil("]\r\n"), "[ab\r\n]\r\n");
}

TEST_F(ConnectionTest, PeerClosingAfterPartialLineEndsThreadWithClosedGracefully) {
  const int port = Serve([this](TcpServerConnection& connection) {
    events_.Add("line:" + connection.ReadTextLine());
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send("no line end"));
  client.ShutdownWrite();

  EXPECT_TRUE(events_.WaitFor("error:ConnClosedGracefullyError"));
  EXPECT_TRUE(events_.WaitFor("disconnect"));
  // The close must not pass for an (empty) line or a time-out.
  EXPECT_EQ(events_.Events().front(), "error:ConnClosedGracefullyError");
  EXPECT_EQ(client.ReadUntilClose(), "");
  EXPECT_TRUE(client.ServerClosed());
  EXPECT_TRUE(test::WaitUntil([&] { return server_.Threads().Count() == 0; }, milliseconds(5000)));
  // A thread ended by an exception is not kept for the next connection.
  EXPECT_EQ(manager_->IdleThreadCount(), 0);
}

TEST_F(ConnectionTest, TimedOutLineReadReturnsEmptyAndKeepsThePartialLine) {
  const int port = Serve([](TcpServerConnection& connection) {
    const std::string first = connection.ReadTextLine("", 100);
    connection.WriteLine(connection.ReadTimedOut() ? "timed out" : "line:" + first);
    const std::string second = connection.ReadTextLine();
    connection.WriteLine(connection.ReadTimedOut() ? "timed out" : "line:" + second);
    connection.CloseConnection();
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send("abc"));
  EXPECT_EQ(client.ReadUntil("\r\n"), "timed out\r\n");
  ASSERT_TRUE(client.Send("def\n"));
  EXPECT_EQ(client.ReadUntilClose(), "line:abcdef\r\n");
}

TEST_F(ConnectionTest, ResetByPeerEndsConnectionQuietly) {
  const int port = Serve(
      [](TcpServerConnection& connection) { connection.WriteLine(connection.ReadTextLine()); });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send("ping\n"));
  EXPECT_EQ(client.ReadUntil("\r\n"), "ping\r\n");
  client.ResetClose();

  EXPECT_TRUE(events_.WaitFor("disconnect"));
  // Quiet: the reset (10054) escaped the handler but did not end the thread
  // through an exception, so the thread went back to the pool, which threads
  // ended by an exception never do.
  EXPECT_TRUE(
      test::WaitUntil([&] { return manager_->IdleThreadCount() == 1; }, milliseconds(5000)));
}

TEST_F(ConnectionTest, PeerAddressIsReadableBeforeTheDropAndClearedAfterIt) {
  const int port = Serve([this](TcpServerConnection& connection) {
    const SocketHandle& socket = connection.Socket();
    events_.Add("before:" + socket.PeerIP + ":" + std::to_string(socket.PeerPort));
    connection.CloseConnection();
    events_.Add("after:" + socket.PeerIP + ":" + std::to_string(socket.PeerPort) + ":" +
                (connection.ClosedGracefully() ? "closed" : "open"));
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  EXPECT_TRUE(events_.WaitFor("before:127.0.0.1:" + std::to_string(client.LocalPort())));
  EXPECT_TRUE(events_.WaitFor("after::0:closed"));
}

// Every loopback address is local, so both ends can carry bytes of one,
// two and three digits.
TEST_F(ConnectionTest, AddressesAreWrittenInDottedDecimal) {
  const int port = Serve(
      [this](TcpServerConnection& connection) {
        const SocketHandle& socket = connection.Socket();
        events_.Add(socket.LocalIP + " " + socket.PeerIP);
      },
      "127.10.200.3");
  ASSERT_EQ(server_.Bindings()[0].LocalIP, "127.10.200.3");

  const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(client, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ASSERT_EQ(::inet_pton(AF_INET, "127.0.20.99", &from.sin_addr), 1);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(::inet_pton(AF_INET, "127.10.200.3", &to.sin_addr), 1);
  EXPECT_EQ(::bind(client, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
  EXPECT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  EXPECT_TRUE(events_.WaitFor("127.10.200.3 127.0.20.99"));
  ::close(client);
}

TEST_F(ConnectionTest, ReadExactToStreamTakesBufferedBytesFirstAndStopsAtTheCount) {
  const std::string body = test::PatternBytes(100000);
  const int port = Serve([this, &body](TcpServerConnection& connection) {
    const int64_t count = std::stoll(connection.ReadTextLine());
    ByteBuffer stream;
    stream.SetSize(count + 10);  // Old contents past the body must be cut off.
    connection.ReadExactToStream(stream, count);
    events_.Add(stream.View() == body ? "body intact" : "body damaged");
    connection.WriteLine("after:" + connection.ReadTextLine());
    connection.CloseConnection();
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  // The count line and the first body bytes arrive together, so part of the
  // body is already buffered when the exact read starts.
  ASSERT_TRUE(client.Send("100000\n" + body + "tail\n"));
  EXPECT_EQ(client.ReadUntilClose(), "after:tail\r\n");
  EXPECT_TRUE(events_.Contains("body intact"));
}

TEST_F(ConnectionTest, ReadExactToStreamRaisesWhenPeerClosesEarly) {
  const int port = Serve([this](TcpServerConnection& connection) {
    ByteBuffer stream;
    connection.ReadExactToStream(stream, 1000);
    events_.Add("read " + std::to_string(stream.Size()));
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send(std::string(600, 'x')));
  client.ShutdownWrite();
  EXPECT_TRUE(events_.WaitFor("error:ConnClosedGracefullyError"));
}

TEST_F(ConnectionTest, ReadToCloseStreamCollectsEverythingUntilPeerCloses) {
  const std::string body = test::PatternBytes(70000);
  const int port = Serve([this, &body](TcpServerConnection& connection) {
    ByteBuffer stream;
    connection.ReadToCloseStream(stream);
    events_.Add(stream.View() == body ? "body intact" : "body damaged");
    events_.Add(connection.IsConnected() ? "connected" : "not connected");
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send(body.substr(0, 1000)));
  ASSERT_TRUE(client.Send(body.substr(1000)));
  client.ShutdownWrite();
  EXPECT_TRUE(events_.WaitFor("not connected"));
  EXPECT_TRUE(events_.Contains("body intact"));
  EXPECT_FALSE(events_.Contains("error:ConnClosedGracefullyError"));
}

TEST_F(ConnectionTest, SendStreamAndSendFileContentsDeliverEveryByte) {
  test::TempDir dir;
  const std::string stream_bytes = test::PatternBytes(100000);
  const std::string file_bytes = test::PatternBytes(70001).substr(7);
  const std::string path = dir.Write("body.bin", file_bytes);
  const int port = Serve([this, &stream_bytes, &path](TcpServerConnection& connection) {
    ByteBuffer stream;
    stream.Write(stream_bytes.data(), static_cast<int64_t>(stream_bytes.size()));
    connection.SendStream(stream);  // From the start, whatever the position.
    events_.Add("file size " + std::to_string(connection.SendFileContents(path)));
    connection.CloseConnection();
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  const std::string received = client.ReadUntilClose();
  EXPECT_EQ(received.size(), stream_bytes.size() + file_bytes.size());
  EXPECT_TRUE(received == stream_bytes + file_bytes);
  EXPECT_TRUE(events_.Contains("file size " + std::to_string(file_bytes.size())));
}

// A stream that claims more bytes than it can deliver.
class ShortStream final : public Stream {
 public:
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min<int64_t>(count, 10 - position_);
    if (n <= 0) return 0;
    std::memset(buffer, 'x', static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Size() const override { return 100; }
  void SetSize(int64_t) override {}
  int64_t Position() const override { return position_; }
  int64_t Seek(int64_t offset, SeekOrigin) override { return position_ = offset; }

 private:
  int64_t position_ = 0;
};

TEST_F(ConnectionTest, SendingStreamShorterThanItsSizeRaisesNoDataToRead) {
  const int port = Serve([](TcpServerConnection& connection) {
    ShortStream stream;
    connection.SendStream(stream);
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  EXPECT_TRUE(events_.WaitFor("error:NoDataToReadError"));
  EXPECT_EQ(client.ReadUntilClose(), std::string(10, 'x'));
}

TEST_F(ConnectionTest, BufferedWriteHoldsBytesUntilThresholdOrEnd) {
  std::promise<void> go;
  std::shared_future<void> gate = go.get_future().share();
  const int port = Serve([this, gate](TcpServerConnection& connection) {
    connection.BeginBufferedWrite(-1);
    connection.WriteText("head");
    connection.WriteLine("er");
    events_.Add("held");
    gate.wait_for(std::chrono::seconds(10));
    connection.EndBufferedWrite();
    connection.BeginBufferedWrite(4);
    connection.WriteText("abcdefghij");  // Sends two chunks of 4, holds "ij".
    events_.Add("thresholded");
    connection.EndBufferedWrite();
    connection.CloseConnection();
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(events_.WaitFor("held"));
  EXPECT_EQ(client.ReadFor(milliseconds(150)), "");
  go.set_value();
  EXPECT_EQ(client.ReadUntil("header\r\nabcdefgh"), "header\r\nabcdefgh");
  EXPECT_EQ(client.ReadUntilClose(), "ij");
}

TEST_F(ConnectionTest, WritingToAResetPeerRaisesInsteadOfKillingTheProcess) {
  const int port = Serve([this](TcpServerConnection& connection) {
    connection.ReadTextLine();
    events_.Add("writing");
    const std::string chunk(65536, 'y');
    for (int i = 0; i < 10000; ++i) connection.WriteText(chunk);
  });
  TestClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Send("go\n"));
  ASSERT_TRUE(events_.WaitFor("writing"));
  client.ResetClose();
  // Without MSG_NOSIGNAL the process would die of SIGPIPE here.
  EXPECT_TRUE(events_.WaitFor("disconnect"));
}

}  // namespace
}  // namespace vantrel
