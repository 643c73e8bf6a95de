#include "app/gateway.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/local_event_loop.h"
#include "base/string_list.h"
#include "tests/app/recording_front_end.h"
#include "tests/support/ports.h"
#include "tests/support/process_stats.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class GatewayTest : public ::testing::Test {
 protected:
  // A gateway whose config.ini holds `config`, loaded.
  Gateway& MakeGateway(const std::string& config) {
    dir_.Write("config.ini", config);
    dir_.Write("web/index.html", "<html></html>");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_, front_end_);
    gateway_->HTTPServer().SetTerminateWaitTime(1000);
    gateway_->MainWindowShown();
    return *gateway_;
  }

  // The log lines after their time stamps ("Dec 6, 2026 ; 19:34 " is 20
  // characters); plain lines as they are.
  std::vector<std::string> LogMessages() const {
    StringList lines;
    lines.SetText(gateway_->Log().Text());
    std::vector<std::string> messages;
    for (std::size_t i = 3; i < lines.Count(); ++i) {  // Skip the three plain lines.
      const std::string& line = lines[i];
      const std::size_t stamp_end = line.find(" ; ");
      messages.push_back(stamp_end == std::string::npos ? line : line.substr(stamp_end + 9));
    }
    return messages;
  }

  test::TempDir dir_;
  LocalEventLoop loop_;
  test::RecordingFrontEnd front_end_;
  std::unique_ptr<Gateway> gateway_;
};

TEST_F(GatewayTest, CreationShowsTheThreePlainLines) {
  Gateway& gateway = MakeGateway("");
  EXPECT_EQ(gateway.Log().Text(),
            "To get help please start the server then click \"Start browser\" button.\r\n"
            "The help files contain examples written with scripts.\r\n"
            "You can try an web RS232 terminal written with scripts.");
}

TEST_F(GatewayTest, AutoActivateStartsListeningOnTheConfiguredPort) {
  const int port = test::FreePort();
  Gateway& gateway =
      MakeGateway("AutoActivate=yes\r\nServer port=" + std::to_string(port) + "\r\n");
  gateway.Start();
  ASSERT_TRUE(gateway.Active());
  // Without authentication, the log says who can drive the port and how to
  // change that.
  EXPECT_THAT(
      LogMessages(),
      ElementsAre("Listening for HTTP connections on 0.0.0.0:" + std::to_string(port) + ".",
                  "Authentication is off: anyone who can reach port " + std::to_string(port) +
                      " can drive the serial port. To require a login, set \"Auth "
                      "require=yes\", \"Auth user\" and \"Auth password\" in config.ini."));
  EXPECT_THAT(front_end_.Captions(), ElementsAre("Stop"));
  EXPECT_TRUE(test::CanConnect(port));
  // The session cookie is 64 unpredictable bits, new with every start.
  const std::string first_session = gateway.SessionId();
  EXPECT_THAT(first_session, MatchesRegex("[0-9a-f]{16}"));
  gateway.acActivateExecute();
  gateway.acActivateExecute();
  EXPECT_NE(gateway.SessionId(), first_session);
}

TEST_F(GatewayTest, OnlyALowerCaseYesSwitchesOn) {
  Gateway& gateway = MakeGateway("AutoActivate=Yes\r\nAutoMinimize=YES\r\n");
  gateway.Start();
  EXPECT_FALSE(gateway.Active());
  EXPECT_TRUE(front_end_.Captions().empty());
}

TEST_F(GatewayTest, AutoMinimizeActsAfterActivation) {
  const int port = test::FreePort();
  Gateway& gateway = MakeGateway(
      "AutoMinimize=yes\r\nAutoActivate=yes\r\nServer port=" + std::to_string(port) + "\r\n");
  gateway.Start();
  EXPECT_THAT(front_end_.Captions(), ElementsAre("Stop", "<minimized>"));
}

TEST_F(GatewayTest, MissingConfigWritesDefaultsShowsMessageAndDoesNotStart) {
  gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_, front_end_);
  gateway_->Start();
  EXPECT_FALSE(gateway_->Active());
  EXPECT_THAT(front_end_.Messages(),
              ElementsAre("Error loading configuration. Please check configuration."));
  StringList written;
  written.SetText(dir_.Read("config.ini"));
  EXPECT_EQ(written, Configuration::DefaultLines());
  // Showing the main window reloads without defaults: the file is there now.
  gateway_->MainWindowShown();
  EXPECT_EQ(front_end_.Messages().size(), 1u);
}

TEST_F(GatewayTest, PortInUseLogsTheActivationErrorAndASecondStartTriesAgain) {
  test::ListeningSocket occupier;
  Gateway& gateway = MakeGateway("Server port=" + std::to_string(occupier.Port()) + "\r\n");
  gateway.acActivateExecute();
  EXPECT_FALSE(gateway.Active());
  EXPECT_THAT(LogMessages(),
              ElementsAre("Exception CouldNotBindSocketError in Activate. Error is:\"Could not "
                          "bind socket. Address and port are already in use.\". Port " +
                          std::to_string(occupier.Port()) +
                          " is in use by another program: stop that program or choose another "
                          "server port."));
  EXPECT_TRUE(front_end_.Captions().empty());

  const int port = occupier.Port();
  occupier.Close();
  gateway.acActivateExecute();
  EXPECT_TRUE(gateway.Active());
  EXPECT_THAT(LogMessages(),
              Contains("Listening for HTTP connections on 0.0.0.0:" + std::to_string(port) + "."));
}

TEST_F(GatewayTest, StoppingLogsTheStopLineWithoutASerialPortAndSwitchesTheTimerOff) {
  const int port = test::FreePort();
  Gateway& gateway = MakeGateway("Server port=" + std::to_string(port) + "\r\n");
  gateway.acActivateExecute();
  gateway.Timer1().SetInterval(60000);
  gateway.Timer1().SetEnabled(true);
  gateway.acActivateExecute();
  EXPECT_FALSE(gateway.Active());
  EXPECT_FALSE(gateway.Timer1().Enabled());
  EXPECT_EQ(LogMessages().back(), "Stop listening, com port closed.");
  EXPECT_THAT(front_end_.Captions(), ElementsAre("Stop", "Start"));
  EXPECT_FALSE(test::CanConnect(port));
}

TEST_F(GatewayTest, PortsThatAreNoIntegerOrNoTcpPortFallBackTo80) {
  for (const char* value : {"abc", "", "0", "65536", "-1", " 8080", "99999999999"}) {
    SCOPED_TRACE(value);
    gateway_.reset();
    Gateway& gateway = MakeGateway(std::string("Server port=") + value + "\r\n");
    gateway.acActivateExecute();
    const std::vector<std::string> messages = LogMessages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Port value is incorrect. Using port 80.");
    EXPECT_EQ(gateway.HTTPServer().DefaultPort(), 80);
    // Port 80 may be taken on the test machine; either way it was the port tried.
    EXPECT_THAT(messages[1], ::testing::AnyOf("Listening for HTTP connections on 0.0.0.0:80.",
                                              HasSubstr("in Activate. Error is:")));
    if (gateway.Active()) gateway.acActivateExecute();
  }
}

TEST_F(GatewayTest, ABadPortAfterAGoodOneStillMeans80) {
  const int port = test::FreePort();
  Gateway& gateway = MakeGateway("Server port=" + std::to_string(port) + "\r\n");
  gateway.acActivateExecute();
  gateway.acActivateExecute();
  gateway.Settings().SetLines(StringList{"Server port=abc"});
  gateway.acActivateExecute();
  EXPECT_EQ(gateway.HTTPServer().DefaultPort(), 80);
  if (gateway.Active()) gateway.acActivateExecute();
}

TEST_F(GatewayTest, CommandOtherIsLogged) {
  Gateway& gateway = MakeGateway("");
  gateway.HTTPServerCommandOther("OPTIONS");
  EXPECT_THAT(LogMessages(), ElementsAre("Command other: OPTIONS"));
}

TEST_F(GatewayTest, FormCloseQueryStopsARunningServerAndIsHarmlessWhenStopped) {
  const int port = test::FreePort();
  Gateway& gateway = MakeGateway("Server port=" + std::to_string(port) + "\r\n");
  gateway.FormCloseQuery();
  EXPECT_TRUE(LogMessages().empty());
  gateway.acActivateExecute();
  gateway.FormCloseQuery();
  EXPECT_FALSE(gateway.Active());
  EXPECT_EQ(LogMessages().back(), "Stop listening, com port closed.");
}

TEST_F(GatewayTest, LogToFileFollowsTheSettingAndFallsBackWithoutAWebFolder) {
  Gateway& gateway = MakeGateway("Log to file=yes\r\n");
  gateway.WriteLog("into the file");
  EXPECT_THAT(dir_.Read("web/log.txt"), EndsWith("into the file\r\n"));

  std::filesystem::remove_all(dir_.File("web"));
  gateway.WriteLog("lost");
  EXPECT_THAT(LogMessages(),
              ElementsAre("into the file", "lost", HasSubstr("Not saved to file: ")));
}

TEST_F(GatewayTest, StartStopCyclesWithClientsLeakNoDescriptors) {
  const int port = test::FreePort();
  Gateway& gateway = MakeGateway("Server port=" + std::to_string(port) + "\r\n");
  const int before = test::OpenDescriptorCount();
  for (int cycle = 0; cycle < 5; ++cycle) {
    gateway.acActivateExecute();
    ASSERT_TRUE(gateway.Active());
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(test::CanConnect(port));
    gateway.acActivateExecute();
  }
  EXPECT_EQ(test::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace vantrel
