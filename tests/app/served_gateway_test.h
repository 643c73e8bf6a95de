// A fixture for tests of the gateway answering real HTTP requests on a
// loopback port.
#ifndef VANTREL_TESTS_APP_SERVED_GATEWAY_TEST_H_
#define VANTREL_TESTS_APP_SERVED_GATEWAY_TEST_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gateway.h"
#include "base/local_event_loop.h"
#include "base/string_list.h"
#include "tests/app/recording_front_end.h"
#include "tests/support/ports.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_client.h"

namespace vantrel::test {

// Settings lines in the order of the default file, so that the tenth line
// is the PHP path.
inline std::string Config(int port, const std::string& extra_first = "",
                          const std::string& php_path = "") {
  return extra_first + "AutoActivate=no\r\nAutoMinimize=no\r\nServer port=" + std::to_string(port) +
         "\r\nUse session=no\r\nSession expire=1\r\nAuth require=no\r\nAuth user=user\r\n"
         "Auth password=kelp\r\nLog to file=no\r\nPHP path=" +
         php_path + "\r\n";
}

// The first line of the body of the answer to `request` on `port`.
inline std::string FirstBodyLine(int port, const std::string& request) {
  TestClient client;
  if (!client.Connect(port)) return "<no connection>";
  client.Send(request);
  const std::string answer = client.ReadUntilClose();
  const std::size_t body = answer.find("\r\n\r\n");
  if (body == std::string::npos) return "<no header>";
  return answer.substr(body + 4, answer.find("\r\n", body + 4) - body - 4);
}

class ServedGatewayTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (gateway_ && gateway_->Active()) gateway_->acActivateExecute();
  }

  // Starts a gateway whose settings are `config` (with `port_` in it);
  // `configure` may set up its parts before the server starts.
  void Start(const std::string& config, const std::function<void(Gateway&)>& configure = nullptr) {
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_, front_end_);
    StringList lines;
    lines.SetText(config);
    gateway_->Settings().SetLines(lines);
    gateway_->HTTPServer().SetTerminateWaitTime(1000);
    if (configure) configure(*gateway_);
    gateway_->acActivateExecute();
    ASSERT_TRUE(gateway_->Active());
  }

  // Sends `request` and returns the whole answer.
  std::string Send(const std::string& request) {
    TestClient client;
    if (!client.Connect(port_)) return "<no connection>";
    client.Send(request);
    return client.ReadUntilClose();
  }

  std::string Get(const std::string& document, const std::string& headers = "") {
    return Send("GET " + document + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n");
  }

  // The log's messages without their time stamps.
  std::vector<std::string> LogMessages() const {
    StringList lines;
    lines.SetText(gateway_->Log().Text());
    std::vector<std::string> messages;
    for (const std::string& line : lines) {
      const std::size_t stamp_end = line.find(" ; ");
      if (stamp_end != std::string::npos) messages.push_back(line.substr(stamp_end + 9));
    }
    return messages;
  }

  TempDir dir_;
  LocalEventLoop loop_;
  RecordingFrontEnd front_end_;
  std::unique_ptr<Gateway> gateway_;
  const int port_ = FreePort();
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_APP_SERVED_GATEWAY_TEST_H_
