// The web functions as page scripts call them: a Basic scripter with the
// system and VBScript libraries and WebScripter, attached to a gateway whose
// serial port a pseudo terminal plays.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "app/gateway.h"
#include "app/web_scripter.h"
#include "base/exception.h"
#include "base/string_list.h"
#include "script/library/built_in_libraries.h"
#include "script/scripter/basic_scripter.h"
#include "tests/app/recording_front_end.h"
#include "tests/support/ports.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The built-in libraries are in the registry before the scripter is made.
struct BuiltInLibrariesRegistered {
  BuiltInLibrariesRegistered() { RegisterBuiltInLibraries(); }
};

class WebFunctionsTest : public ::testing::Test {
 protected:
  WebFunctionsTest() {
    dir_.Write("config.ini", "Server port=" + std::to_string(test::FreePort()) + "\r\n");
    gateway_ = std::make_unique<Gateway>(dir_.Path(), loop_.Loop(), front_end_);
    gateway_->MainWindowShown();
    scripter_ = std::make_unique<BasicScripter>();
    scripter_->AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
    WebScripter::AttachTo(*scripter_, *gateway_);
  }

  ~WebFunctionsTest() override {
    // The gateway's own handlers run on the loop: stop them before it goes.
    gateway_->CP1().ClosePort();
  }

  // Runs `source` as a page would; returns the echoed entries, each
  // followed by "\n", then "!" and the message of an error.
  std::string Run(const std::string& source) {
    gateway_->ScriptOutput().Clear();
    StringList lines;
    lines.SetText(source);
    std::string output;
    try {
      scripter_->SetSourceCode(lines);
      scripter_->Execute();
    } catch (const Exception& error) {
      output = "!" + error.Message();
    }
    std::string echoed;
    const OutputLines& entries = gateway_->ScriptOutput();
    for (std::size_t i = 0; i < entries.Count(); ++i) echoed += std::string(entries[i]) + "\n";
    return echoed + output;
  }

  // openport on `path` with the given speed and framing texts.
  std::string OpenPortCall(const std::string& path, const std::string& texts) {
    return "openport(\"" + path + "\", " + texts + ")\n";
  }

  bool BufferHolds(const std::string& bytes) {
    return test::WaitUntil([&] { return gateway_->GetReceiveBuffer().Text() == bytes; },
                           milliseconds(3000));
  }

  BuiltInLibrariesRegistered registered_;
  test::TempDir dir_;
  test::LoopThread loop_;
  test::RecordingFrontEnd front_end_;
  std::unique_ptr<Gateway> gateway_;
  std::unique_ptr<BasicScripter> scripter_;
};

// echo writes a value as converting it to text would, whatever its type and
// however it is passed.
TEST_F(WebFunctionsTest, EchoWritesEveryKindOfValueAsItsText) {
  EXPECT_EQ(Run("dim i\ni = -2147483647 - 1\necho(i)\necho(2147483647)\necho(0)\n"
                "echo(1.5)\necho(True)\necho(Null)\necho(\"s\")\n"),
            "-2147483648\n2147483647\n0\n1.5\nTrue\n\ns\n");
}

TEST_F(WebFunctionsTest, SplitKeepsInnerEmptyPiecesDropsATrailingOneAndExtractStaysInside) {
  EXPECT_EQ(Run("echo(split(\"a;;b\", \";\"))\n"
                "echo(extract(1) & \"|\" & extract(2) & \"|\" & extract(3))\n"
                "echo(\"[\" & extract(0) & extract(4) & extract(-1) & \"]\")\n"
                "echo(split(\"a;b;\", \";\"))\n"
                "echo(split(\"x--y\", \"--\") & extract(2))\n"
                "echo(split(\"a;b\", \"\") & extract(1))\n"
                "echo(split(\"keep;me\", \";\"))\n"),
            "3\na||b\n[]\n2\n2y\n1a;b\n2\n");
  // The pieces outlive the run that made them, until the next split.
  EXPECT_EQ(Run("echo(extract(\"2\"))\necho(split(\"\", \";\") & \"[\" & extract(1) & \"]\")\n"),
            "me\n0[]\n");
}

TEST_F(WebFunctionsTest, EscapeHtmlTurnsEveryMarkupCharacterIntoAnEntityAndLeavesTheRest) {
  EXPECT_EQ(Run("echo(escape_html(\"<a href='x' title=\"\"y\"\">&amp;</a>\"))\n"
                "echo(escape_html(Chr(0) & \"\xc3\xa9 \" & 12))\n"
                "echo(escape_html(Null) & \"|\")"),
            "&lt;a href=&#39;x&#39; title=&quot;y&quot;&gt;&amp;amp;&lt;/a&gt;\n" +
                std::string("\0\xc3\xa9 12\n", 7) + "|\n");
}

TEST_F(WebFunctionsTest, GetValueMatchesTheExactNameOfTheFirstParameter) {
  EXPECT_EQ(Run("echo(\"[\" & get_value(\"a\") & \"]\")\n"), "[]\n");  // No request.
  HttpRequestInfo request;
  request.Params = StringList{"name=lower", "Name=first", "Name=second", "bare", "a=b=c"};
  gateway_->SetCurrentRequest(&request);
  EXPECT_EQ(Run("echo(get_value(\"Name\"))\n"
                "echo(get_value(\"name\"))\n"
                "echo(get_value(\"\"))\n"
                "echo(get_value(\"a\"))\n"
                "echo(\"[\" & get_value(\"NAME\") & \"]\")\n"),
            "first\nlower\nbare\nb=c\n[]\n");
  gateway_->SetCurrentRequest(nullptr);
}

TEST_F(WebFunctionsTest, FlushPartRemovesTheFirstBytesAndRefusesANonInteger) {
  gateway_->GetReceiveBuffer().Append("12345", 1 << 20);
  EXPECT_EQ(Run("flush_part(3)\nflush_part(0)\nflush_part(-2)\necho(receive())\n"), "45\n");
  EXPECT_THAT(Run("flush_part(\"1.5\")\n"),
              StartsWith("!RUNTIME ERROR\r\n'1.5' is not a valid integer value when"));
  EXPECT_THAT(Run("flush_part(\"x\")\n"), HasSubstr("'x' is not a valid integer value"));
  EXPECT_EQ(Run("flush_part(99)\necho(\"[\" & receive() & \"]\")\n"), "[]\n");
}

TEST_F(WebFunctionsTest, OpenPortTakesTheSixTextsAndTheBridgeCarriesBytesBothWays) {
  test::Pty device;
  const std::string path = device.SlavePath();
  EXPECT_EQ(Run("echo(\"[\" & is_open() & \"]\")\n"), "[]\n");
  EXPECT_EQ(
      Run(OpenPortCall(path, "19200, 7, \"even\", \"1\", \"hardware\"") + "echo(is_open())\n"),
      path + " 19200 7 Even 1 Hardware\n");
  // Applied to the open port; unknown texts take the fallbacks, which for
  // flow control keeps what is set.
  EXPECT_EQ(Run(OpenPortCall(path, "9601, \"9\", \"?\", \"3\", \"xyz\"") + "echo(is_open())\n"),
            path + " 9600 8 None 1 Hardware\n");

  EXPECT_EQ(Run("send(\"ping\" & 1)\nsend(\"\")\n"), "");
  EXPECT_EQ(device.Receive(5), "ping1");
  device.Send("pong");
  ASSERT_TRUE(BufferHolds("pong"));  // Arrived while no page ran.
  EXPECT_EQ(Run("echo(receive())\nflush()\necho(\"[\" & receive() & \"]\")\n"), "pong\n[]\n");

  device.Send("left");
  ASSERT_TRUE(BufferHolds("left"));
  EXPECT_EQ(Run("closeport()\necho(\"[\" & is_open() & receive() & \"]\")\ncloseport()\n"), "[]\n");
  EXPECT_THAT(Run("send(\"late\")\n"), HasSubstr("WriteFile function failed"));
}

TEST_F(WebFunctionsTest, EnumPortsListsWhatCanBeOpenedNowByTheNamesOpenPortTakes) {
  test::Pty first, second;
  test::TempDir devices;
  ASSERT_EQ(::symlink(first.SlavePath().c_str(), devices.File("ttyS2").c_str()), 0);
  ASSERT_EQ(::symlink(second.SlavePath().c_str(), devices.File("ttyUSB0").c_str()), 0);
  devices.Write("ttyACM0", "not a terminal");
  gateway_->Bridge().SetDeviceDirectory(devices.Path());

  EXPECT_EQ(Run("echo(enumports())\n"), "COM3 TTYUSB0\n");
  EXPECT_EQ(Run(OpenPortCall(second.SlavePath(), "9600, 8, \"None\", 1, \"None\"") +
                "echo(\"[\" & enumports() & \"]\")\n"),
            "[COM3]\n");
}

// Any terminal of the machine opened as a "port": a page read what was
// typed on a logged-in terminal, and the answers told which paths exist.
// A device that is no serial port, and one that is not there, are refused
// in the same words.
TEST_F(WebFunctionsTest, OnlySerialPortsOpenAndOthersAreRefusedLikeMissingOnes) {
  test::Pty device;
  test::Pty login;
  test::SessionOnTerminal shell(login.SlavePath());
  ASSERT_TRUE(shell.Ready());
  test::TempDir devices;
  ASSERT_EQ(::symlink(device.SlavePath().c_str(), devices.File("ttyUSB3").c_str()), 0);
  devices.Write("plain", "a file");
  gateway_->Bridge().SetDeviceDirectory(devices.Path());
  const std::string refusal =
      "Unable to open com port (win error code: 2) - not a serial port this gateway opens: it "
      "opens the system's serial devices, the names under /dev/serial/by-id and "
      "/dev/serial/by-path, pseudo terminals that are no session's terminal, and the paths of "
      "the setting \"Serial devices\" in config.ini; ports that can be opened now: TTYUSB3 ";
  for (const std::string& path : {devices.File("ttyUSB9"), login.SlavePath(),
                                  std::string("/dev/null"), devices.File("plain")}) {
    EXPECT_THAT(Run(OpenPortCall(path, "9600, 8, \"None\", 1, \"None\"")), HasSubstr(refusal))
        << path;
  }
  EXPECT_EQ(Run("echo(\"[\" & is_open() & \"]\")\n"), "[]\n");
  // The setting opens what the rule does not.
  StringList lines = gateway_->Settings().Lines();
  lines.Add("Serial devices=/nowhere, " + login.SlavePath());
  gateway_->Settings().SetLines(lines);
  EXPECT_EQ(Run(OpenPortCall(login.SlavePath(), "9600, 8, \"None\", 1, \"None\"") +
                "echo(is_open() <> \"\")\ncloseport()\n"),
            "True\n");
}

TEST_F(WebFunctionsTest, StoppingTheServerWaitsForAWriteInProgressInsteadOfAbortingIt) {
  test::Pty device;
  ASSERT_EQ(Run(OpenPortCall(device.SlavePath(), "115200, 8, \"None\", 1, \"None\"")), "");
  gateway_->acActivateExecute();
  ASSERT_TRUE(gateway_->Active());

  // Far more than the terminal queues hold: the write lasts until the
  // device reads.
  constexpr std::size_t kBytes = 1 << 20;
  auto page = std::async(std::launch::async,
                         [&] { return Run("send(Space(" + std::to_string(kBytes) + "))\n"); });
  ASSERT_TRUE(test::WaitUntil([&] { return device.QueuedAtMaster() > 0; }, milliseconds(3000)));
  auto stop = std::async(std::launch::async, [&] { gateway_->acActivateExecute(); });
  EXPECT_EQ(stop.wait_for(milliseconds(300)), std::future_status::timeout);
  EXPECT_TRUE(gateway_->CP1().Connected());

  // Closing discards what the terminal still queues; the write itself
  // completes.
  device.Receive(kBytes);
  const std::string page_result = page.get();
  EXPECT_TRUE(page_result.empty()) << page_result.substr(0, 80);
  stop.get();
  EXPECT_FALSE(gateway_->CP1().Connected());
}

TEST_F(WebFunctionsTest, GetTicksCountsMillisecondsOfTheMonotonicClock) {
  const auto now = [] {
    timespec time{};
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) * 1000 + static_cast<double>(time.tv_nsec / 1000000);
  };
  const double before = now();
  const double ticks = std::stod(Run("echo(getticks())\n"));
  EXPECT_LE(before, ticks);
  EXPECT_LE(ticks, now());
}

TEST_F(WebFunctionsTest, ADetachedLibraryLeavesNoFunctionBehind) {
  ScripterLibrary* library = scripter_->FindLibrary("WebScripter");
  ASSERT_NE(library, nullptr);
  scripter_->DetachLibrary(*library);
  EXPECT_THAT(Run("echo(1)\n"), HasSubstr("!"));
  EXPECT_EQ(Run("x = UpperCase(\"a\")\n"), "");  // The system library's own stay.
}

}  // namespace
}  // namespace vantrel
