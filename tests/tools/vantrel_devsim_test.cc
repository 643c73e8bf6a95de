// The simulated device vantrel-devsim, run as a real program: a test opens the
// link it makes as a page would open a device path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

// Reads from `fd` until `count` bytes have come or five seconds pass.
std::string ReadBytes(int fd, std::size_t count) {
  std::string bytes;
  while (bytes.size() < count) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 5000) <= 0) break;
    char chunk[256];
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

// The simulator started with `arguments`; its standard output is a pipe.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> arguments) {
    int out[2];
    if (::pipe(out) != 0) return;
    std::string program = VANTREL_DEVSIM_PROGRAM;
    std::vector<char*> argv{program.data()};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Simulator() {
    if (pid_ > 0) Stop(SIGKILL);
    if (out_ >= 0) ::close(out_);
  }

  // The first line it printed, without the line feed.
  std::string FirstLine() {
    std::string line;
    for (std::string c = ReadBytes(out_, 1); !c.empty() && c != "\n"; c = ReadBytes(out_, 1)) {
      line += c;
    }
    return line;
  }

  // Sends `signal` and returns the exit status, or -1 when it did not exit.
  int Stop(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

class VantrelDevsimTest : public ::testing::Test {
 protected:
  // Opens the simulator's link as the gateway opens a device path.
  int OpenLink() { return ::open(link_.c_str(), O_RDWR | O_NOCTTY); }
  bool LinkExists() const {
    struct stat status {};
    return ::lstat(link_.c_str(), &status) == 0;
  }

  test::TempDir dir_;
  std::string link_ = dir_.File("sim");
};

TEST_F(VantrelDevsimTest, AnswersIdentificationRawAndRemovesItsLinkOnTerm) {
  Simulator simulator({link_});
  ASSERT_EQ(simulator.FirstLine(), link_);
  const int fd = OpenLink();
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "ID?\r", 4), 4);
  // Exactly these bytes: a line discipline left cooking would turn the CR
  // into a line feed or echo the answer back to the simulator.
  EXPECT_EQ(ReadBytes(fd, 17), "VANTREL-SIM,1.0\r\n");
  ::close(fd);
  EXPECT_EQ(simulator.Stop(SIGTERM), 0);
  EXPECT_FALSE(LinkExists());
}

TEST_F(VantrelDevsimTest, EchoModeSendsEveryByteBackUnchanged) {
  Simulator simulator({"--mode", "echo", link_});
  ASSERT_EQ(simulator.FirstLine(), link_);
  const int fd = OpenLink();
  ASSERT_GE(fd, 0);
  const std::string bytes("a\n\0\xff\r", 5);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), 5);
  EXPECT_EQ(ReadBytes(fd, 5), bytes);
  ::close(fd);
  EXPECT_EQ(simulator.Stop(SIGINT), 0);
}

TEST_F(VantrelDevsimTest, LeavesAFileThatIsNoLinkAlone) {
  dir_.Write("sim", "keep");
  Simulator simulator({link_});
  EXPECT_EQ(simulator.Wait(), 1);
  EXPECT_EQ(dir_.Read("sim"), "keep");
}

}  // namespace
}  // namespace vantrel
