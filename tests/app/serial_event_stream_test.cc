// The serial port's event stream on the real gateway: listeners on
// loopback HTTP, a pseudo terminal as the device, pages driving it.
#include "app/serial_event_stream.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gateway.h"
#include "tests/app/recording_front_end.h"
#include "tests/app/served_gateway_test.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr milliseconds kPatience{10000};

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char byte : bytes) {
    hex += kDigits[static_cast<unsigned char>(byte) >> 4];
    hex += kDigits[static_cast<unsigned char>(byte) & 0x0F];
  }
  return hex;
}

// The data of every complete event named `name` in `text`.
std::vector<std::string> DataOfEach(const std::string& text, const std::string& name) {
  std::vector<std::string> data;
  const std::string head = "event: " + name + "\ndata: ";
  for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
    const std::size_t start = at + head.size();
    const std::size_t end = text.find("\n\n", start);
    if (end == std::string::npos) break;
    data.push_back(text.substr(start, end - start));
  }
  return data;
}

std::string DataOf(const std::string& text, const std::string& name) {
  std::string joined;
  for (const std::string& data : DataOfEach(text, name)) joined += data;
  return joined;
}

// The bytes that the rx events and gap events of `text` account for.
std::size_t Accounted(const std::string& text) {
  std::size_t count = DataOf(text, "rx").size() / 2;
  for (const std::string& gap : DataOfEach(text, "gap")) count += std::stoull(gap);
  return count;
}

// A browser listening to the stream.
class Listener {
 public:
  // Connects and sends the request; `Header()` then reads the answer's header.
  Listener(int port, const std::string& headers = "Host: localhost\r\n") {
    if (client_.Connect(port)) client_.Send("GET /serial-events HTTP/1.1\r\n" + headers + "\r\n");
  }
  std::string Header() { return client_.ReadUntil("\r\n\r\n"); }
  // Reads until `done` holds for all that came, or the patience ends.
  bool ReadUntil(const std::function<bool(const std::string&)>& done) {
    return test::WaitUntil(
        [&] {
          text_ += client_.ReadFor(milliseconds(20));
          return done(text_);
        },
        kPatience);
  }
  const std::string& Text() const { return text_; }
  test::TestClient& Client() { return client_; }

 private:
  test::TestClient client_;
  std::string text_;
};

class SerialEventStreamTest : public ::testing::Test {
 protected:
  SerialEventStreamTest() {
    dir_.Write("web/open.vpg",
               "<% openport(get_value(\"port\"), \"19200\", \"7\", \"even\", \"1\", \"none\") %>"
               "<%= is_open() %>");
    dir_.Write("web/send.vpg", "<% send(get_value(\"d\")) %>sent");
    dir_.Write("web/count.vpg", "<%= Length(receive()) %>");
    dir_.Write("web/send-long.vpg", "<% send(String(200000, \"A\")) %>sent");
  }
  ~SerialEventStreamTest() override {
    if (gateway_ && gateway_->Active()) gateway_->acActivateExecute();
  }

  // Starts the gateway with `settings` lines besides the usual ones.
  void Start(const std::string& settings = "") {
    // The first line with a name counts: these come before the usual ten.
    dir_.Write("config.ini", test::Config(port_, settings));
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
    gateway_->HTTPServer().SetTerminateWaitTime(1000);
    gateway_->acActivateExecute();
    ASSERT_TRUE(gateway_->Active());
  }

  // The body of the answer to GET `document`, up to its first line end.
  std::string Page(const std::string& document) {
    return test::FirstBodyLine(port_, "GET " + document + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
  }

  // The status line of the stream's answer to a request with `headers`.
  std::string StreamStatus(const std::string& headers) {
    Listener listener(port_, headers);
    const std::string header = listener.Header();
    return header.substr(0, header.find("\r\n"));
  }

  test::TempDir dir_;
  test::LoopThread loop_;
  test::RecordingFrontEnd front_end_;
  const int port_ = test::FreePort();
  std::unique_ptr<Gateway> gateway_;
};

TEST_F(SerialEventStreamTest, TwoListenersGetTheSameBytesInOrderWhileAPageStillReceivesThem) {
  Start();
  test::Pty device;
  const std::string settings = device.SlavePath() + " 19200 7 Even 1 None";
  ASSERT_EQ(Page("/open.vpg?port=" + device.SlavePath()), settings);
  Listener first(port_);
  Listener second(port_, "Host: localhost\r\nSec-Fetch-Site: same-origin\r\n");
  for (Listener* listener : {&first, &second}) {
    const std::string header = listener->Header();
    EXPECT_THAT(header, StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(header, HasSubstr("Content-Type: text/event-stream\r\n"));
    EXPECT_THAT(header, HasSubstr("Cache-Control: no-cache\r\n"));
    EXPECT_THAT(header, ::testing::Not(HasSubstr("Content-Length")));
    ASSERT_TRUE(listener->ReadUntil(
        [&](const std::string& text) { return DataOf(text, "open") == settings; }));
  }

  std::string sent_by_device = "hello ";
  device.Send(sent_by_device);
  std::string block;
  for (int i = 0; i < 20000; ++i) block += static_cast<char>(i * 7 % 256);
  block += std::string("\0\xff\r\n", 4);
  device.Send(block);
  sent_by_device += block;
  for (Listener* listener : {&first, &second}) {
    EXPECT_TRUE(listener->ReadUntil([&](const std::string& text) {
      return DataOf(text, "rx").size() >= 2 * sent_by_device.size();
    }));
    EXPECT_EQ(DataOf(listener->Text(), "rx"), Hex(sent_by_device));
  }
  EXPECT_EQ(Page("/count.vpg"), std::to_string(sent_by_device.size()))
      << "the stream only watches: the receive buffer keeps every byte";
  EXPECT_EQ(Page("/send.vpg?d=ID%3F"), "sent");
  for (Listener* listener : {&first, &second}) {
    EXPECT_TRUE(listener->ReadUntil(
        [](const std::string& text) { return DataOf(text, "tx") == Hex("ID?"); }));
  }

  // The device answers while the page's write still waits for it to read
  // (more than a pseudo terminal holds): the answer still follows the command.
  EXPECT_EQ(device.Receive(3), "ID?");
  test::TestClient sender;
  ASSERT_TRUE(sender.Connect(port_));
  sender.Send("GET /send-long.vpg HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_TRUE(test::WaitUntil([&] { return device.QueuedAtMaster() > 0; }, kPatience));
  device.Send("OK");
  EXPECT_EQ(device.Receive(200000).size(), 200000u);
  EXPECT_THAT(sender.ReadUntil("sent"), HasSubstr("sent"));
  for (Listener* listener : {&first, &second}) {
    ASSERT_TRUE(listener->ReadUntil(
        [](const std::string& text) { return DataOf(text, "rx").ends_with(Hex("OK")); }));
    const std::string& text = listener->Text();
    EXPECT_LT(text.rfind("event: tx\ndata: 4141"), text.rfind("event: rx\ndata: "));
  }
}

// A stream shows what the device says: another site's page, a host name
// pointed at the gateway, or a stranger without the password must not read
// it, exactly as they may not run a script page.
TEST_F(SerialEventStreamTest, TheStreamIsGuardedLikeAScriptPage) {
  Start("Auth require=yes\r\nAuth user=u\r\nAuth password=p\r\n");
  const std::string credentials = "Authorization: Basic dTpw\r\n";  // u:p
  const std::string host = "Host: localhost\r\n";
  EXPECT_EQ(StreamStatus(host), "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(StreamStatus(host + credentials +
                         "Sec-Fetch-Site: cross-site\r\n"
                         "Origin: http://evil.example\r\n"),
            "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(StreamStatus(host + credentials + "Origin: http://evil.example\r\n"),
            "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(StreamStatus("Host: evil.example\r\n" + credentials), "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(StreamStatus("Host: LOCALHOST\r\n" + credentials), "HTTP/1.1 200 OK");
}

TEST_F(SerialEventStreamTest, ListenersBeyondTheBoundAreRefusedAndOneThatLeavesFreesItsPlace) {
  Start("Max listeners=2\r\n");
  auto first = std::make_unique<Listener>(port_);
  Listener second(port_, "Host: localhost\r\n");
  EXPECT_THAT(first->Header(), StartsWith("HTTP/1.1 200 OK"));
  EXPECT_THAT(second.Header(), StartsWith("HTTP/1.1 200 OK"));
  Listener third(port_);
  EXPECT_THAT(third.Header(), StartsWith("HTTP/1.1 503 Service Unavailable"));
  EXPECT_THAT(third.Client().ReadUntilClose(), HasSubstr("Max listeners"));
  // No serial traffic wakes the stream: its thread notices the client left.
  first.reset();
  EXPECT_TRUE(
      test::WaitUntil([&] { return gateway_->SerialEvents().ListenerCount() == 1; }, kPatience));
  Listener fourth(port_, "Host: localhost\r\n");
  EXPECT_THAT(fourth.Header(), StartsWith("HTTP/1.1 200 OK"));
}

// A listener whose browser reads nothing must not hold up the port, the
// pages or the other listeners; once it reads again it learns how much it
// missed and goes on.
TEST_F(SerialEventStreamTest, ListenerThatNeverReadsHoldsUpNothingAndLearnsOfItsGap) {
  Start();
  test::Pty device;
  ASSERT_THAT(Page("/open.vpg?port=" + device.SlavePath()), StartsWith(device.SlavePath()));
  const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(stalled, 0);
  const int small = 4096;
  ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(stalled, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = "GET /serial-events HTTP/1.1\r\nHost: localhost\r\n\r\n";
  ASSERT_EQ(::send(stalled, request.data(), request.size(), 0),
            static_cast<ssize_t>(request.size()));
  Listener reading(port_);
  ASSERT_THAT(reading.Header(), StartsWith("HTTP/1.1 200 OK"));
  ASSERT_TRUE(
      test::WaitUntil([&] { return gateway_->SerialEvents().ListenerCount() == 2; }, kPatience));

  // Far more than the stalled listener's backlog and socket buffers hold.
  const std::size_t total = 8 * SerialEventHub::kDefaultBacklogBytes;
  const std::string chunk(64 * 1024, 'z');
  for (std::size_t sent = 0; sent < total; sent += chunk.size()) device.Send(chunk);
  // At the terminal's full speed even a reading listener may fall behind:
  // each one accounts for every byte, as received or as missed.
  EXPECT_TRUE(reading.ReadUntil([&](const std::string& text) { return Accounted(text) >= total; }));
  EXPECT_EQ(Accounted(reading.Text()), total);
  EXPECT_EQ(Page("/count.vpg"), std::to_string(total));

  // Now it reads: what was queued, then the gap, and it goes on.
  std::string seen;
  const auto read_until = [&](const std::function<bool()>& done) {
    return test::WaitUntil(
        [&] {
          pollfd ready{stalled, POLLIN, 0};
          char buffer[65536];
          while (::poll(&ready, 1, 20) > 0) {
            const ssize_t got = ::recv(stalled, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            seen.append(buffer, static_cast<std::size_t>(got));
          }
          return done();
        },
        kPatience);
  };
  EXPECT_TRUE(read_until([&] { return !DataOf(seen, "gap").empty(); })) << seen.size();
  device.Send("end");
  EXPECT_TRUE(read_until([&] { return DataOf(seen, "rx").ends_with(Hex("end")); }));
  ::close(stalled);
  const std::string gap = DataOf(seen, "gap");
  ASSERT_FALSE(gap.empty());
  EXPECT_EQ(Accounted(seen), total + 3) << "every byte arrived or was counted as missed";
}

TEST_F(SerialEventStreamTest, StoppingTheServerEndsEveryStreamAndLeavesNoThreadOrDescriptor) {
  Start();
  gateway_->acActivateExecute();  // Counted while stopped.
  std::thread([] {}).join();      // Sanitizer runtimes start a helper thread with the first one.
  const int threads = test::ThreadCount();
  const int descriptors = test::OpenDescriptorCount();
  gateway_->acActivateExecute();
  {
    std::vector<std::unique_ptr<Listener>> listeners;
    for (int i = 0; i < 3; ++i) {
      listeners.push_back(std::make_unique<Listener>(port_));
      ASSERT_THAT(listeners.back()->Header(), StartsWith("HTTP/1.1 200 OK"));
    }
    gateway_->acActivateExecute();
    for (auto& listener : listeners) {
      listener->Client().ReadUntilClose();
      EXPECT_TRUE(listener->Client().ServerClosed());
    }
  }
  EXPECT_EQ(gateway_->SerialEvents().ListenerCount(), 0);
  EXPECT_TRUE(test::WaitUntil(
      [&] { return test::ThreadCount() <= threads && test::OpenDescriptorCount() == descriptors; },
      kPatience))
      << test::ThreadCount() << " threads (" << threads << " before), "
      << test::OpenDescriptorCount() << " descriptors (" << descriptors << " before)";
  Listener refused(port_);
  EXPECT_EQ(refused.Header(), "") << "nothing listens while stopped";
}

}  // namespace
}  // namespace vantrel
