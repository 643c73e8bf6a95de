// The vantrel program run headless as a user runs it: a real process, a
// real port, real signals.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/configuration.h"
#include "base/string_list.h"
#include "tests/support/ports.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_client.h"
#include "tests/support/test_locales.h"

extern char** environ;

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

// One run of the program with its output captured in files.
class HeadlessProgram {
 public:
  // Runs with program directory `home`, `dir` when empty; the output goes
  // to files in `dir`.
  explicit HeadlessProgram(const test::TempDir& dir, std::string home = "") : dir_(dir) {
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (home.empty()) home = dir.Path();
    const char* argv[] = {VANTREL_PROGRAM, "--headless", "--home", home.c_str(), nullptr};
    const int result = posix_spawn(&pid_, VANTREL_PROGRAM, &actions, nullptr,
                                   const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) pid_ = -1;
  }

  ~HeadlessProgram() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Started() const { return pid_ > 0; }
  std::string Output() const { return dir_.Read("stdout.txt"); }
  std::string Errors() const { return dir_.Read("stderr.txt"); }

  // Waits until standard output holds `text`.
  bool WaitForOutput(const std::string& text, milliseconds limit = milliseconds(5000)) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Output().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
  }

  // Waits for the program to end; its exit code, or -1 on a time-out or a
  // death by signal.
  int WaitForExit(milliseconds limit = milliseconds(10000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(milliseconds(20));
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Signal(int signal_number) const { kill(pid_, signal_number); }

 private:
  const test::TempDir& dir_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

std::string Listening(int port) {
  return "Listening for HTTP connections on 0.0.0.0:" + std::to_string(port) + ".";
}

TEST(HeadlessTest, ListensAcceptsAndStopsCleanlyOnSigterm) {
  test::TempDir dir;
  const int port = test::FreePort();
  dir.Write("config.ini", "Server port=" + std::to_string(port) + "\r\n");
  HeadlessProgram program(dir);
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitForOutput(Listening(port))) << program.Output();
  EXPECT_TRUE(test::CanConnect(port));

  StringList lines;
  lines.SetText(program.Output());
  ASSERT_GE(lines.Count(), 4u);
  EXPECT_EQ(lines[0], "To get help please start the server then click \"Start browser\" button.");

  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_THAT(program.Output(), HasSubstr("Stop listening, com port closed.\n"));
  EXPECT_FALSE(test::CanConnect(port));
}

// Under the locale of the United States (and Canada) the long time format
// is "%r", which was read as nothing: every time a page printed was "".
TEST(HeadlessTest, PagesPrintDatesAndTimesInTheLocaleOfTheEnvironment) {
  const std::string locales = test::TestLocaleFolder({"en_US.UTF-8"});
  if (locales.empty()) GTEST_SKIP() << "localedef cannot make the test locales";
  test::TempDir dir;
  const int port = test::FreePort();
  dir.Write("config.ini", "Server port=" + std::to_string(port) + "\r\n");
  dir.Write("web/when.vpg",
            "<%= TimeToStr(EncodeTime(19, 34, 5, 0)) & \"|\" & DateToStr(EncodeDate(2026, 5, 3)) "
            "%>");
  // The program's environment is this process's, for the time of the start.
  ::setenv("LANG", "en_US.UTF-8", 1);
  ::setenv("LOCPATH", locales.c_str(), 1);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_TIME");
  HeadlessProgram program(dir);
  ::unsetenv("LANG");
  ::unsetenv("LOCPATH");
  ASSERT_TRUE(program.WaitForOutput(Listening(port))) << program.Output();
  test::TestClient client;
  ASSERT_TRUE(client.Connect(port));
  client.Send("GET /when.vpg HTTP/1.1\r\nHost: localhost\r\n\r\n");
  EXPECT_THAT(client.ReadUntilClose(), EndsWith("\r\n\r\n07:34:05 PM|05/03/2026\r\n\r\n"));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(HeadlessTest, SigintStopsLikeSigterm) {
  test::TempDir dir;
  const int port = test::FreePort();
  dir.Write("config.ini", "Server port=" + std::to_string(port) + "\r\n");
  HeadlessProgram program(dir);
  ASSERT_TRUE(program.WaitForOutput(Listening(port))) << program.Output();
  program.Signal(SIGINT);
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_THAT(program.Output(), EndsWith("Stop listening, com port closed.\n"));
}

TEST(HeadlessTest, PortInUseReportsTheBindErrorAndExits) {
  test::TempDir dir;
  test::ListeningSocket occupier;
  dir.Write("config.ini", "Server port=" + std::to_string(occupier.Port()) + "\r\n");
  HeadlessProgram program(dir);
  EXPECT_EQ(program.WaitForExit(), 1);
  EXPECT_THAT(program.Output(),
              HasSubstr("Exception CouldNotBindSocketError in Activate. Error is:\"Could not "
                        "bind socket. Address and port are already in use.\". Port " +
                        std::to_string(occupier.Port()) + " is in use by another program"));
}

// "AutoActivate" tried the start, and the headless start then tried it a
// second time: two identical error lines for one failure.
TEST(HeadlessTest, AFailedAutoActivateIsTriedAndLoggedOnce) {
  test::TempDir dir;
  test::ListeningSocket occupier;
  dir.Write("config.ini",
            "AutoActivate=yes\r\nServer port=" + std::to_string(occupier.Port()) + "\r\n");
  HeadlessProgram program(dir);
  EXPECT_EQ(program.WaitForExit(), 1);
  const std::string output = program.Output();
  const std::size_t first = output.find("in Activate. Error is:");
  ASSERT_NE(first, std::string::npos) << output;
  EXPECT_EQ(output.find("in Activate. Error is:", first + 1), std::string::npos) << output;
}

// A mistyped --home used to run on the default settings and answer 404 to
// every request, with nothing said.
TEST(HeadlessTest, AMissingProgramDirectoryIsSaidAndEndsTheProgram) {
  test::TempDir dir;
  test::TempDir missing;
  const std::string home = missing.File("no-such-folder");
  HeadlessProgram program(dir, home);
  EXPECT_EQ(program.WaitForExit(), 1);
  const std::string message = "The program directory " + home + " does not exist";
  EXPECT_THAT(program.Errors(), HasSubstr(message));
  EXPECT_THAT(program.Output(), HasSubstr(message));
  EXPECT_THAT(program.Output(), Not(HasSubstr("Listening")));
}

TEST(HeadlessTest, NoConfigWritesTheDefaultsAndPrintsTheMessageBox) {
  test::TempDir dir;  // Port 80 from the defaults may or may not be free here.
  HeadlessProgram program(dir);
  ASSERT_TRUE(program.WaitForOutput("Listening for HTTP connections on 0.0.0.0:80.") ||
              program.WaitForOutput("in Activate. Error is:"))
      << program.Output();
  StringList written;
  written.SetText(dir.Read("config.ini"));
  EXPECT_EQ(written, Configuration::DefaultLines());
  EXPECT_THAT(program.Errors(), HasSubstr(Configuration::kLoadErrorMessage));
  program.Signal(SIGTERM);
  EXPECT_NE(program.WaitForExit(), -1);
}

}  // namespace
}  // namespace vantrel
