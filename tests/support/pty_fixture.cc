#include "tests/support/pty_fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <future>

namespace vantrel::test {

Pty::Pty() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "openpty failed: errno " << errno;
    std::abort();
  }
  slave_path_ = name;
  termios raw{};
  ::tcgetattr(master_, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(master_, TCSANOW, &raw);
}

Pty::~Pty() { Vanish(); }

void Pty::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      ADD_FAILURE() << "write on the master failed: errno " << errno;
      return;
    }
  }
}

std::string Pty::Receive(std::size_t count) {
  std::string bytes;
  while (bytes.size() < count) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, 1000) <= 0) break;
    char chunk[4096];
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

int Pty::QueuedAtMaster() const {
  int count = 0;
  return ::ioctl(master_, FIONREAD, &count) == 0 ? count : -1;
}

void Pty::Vanish() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = -1;
  master_ = -1;
}

namespace {

// Forks a child that runs `hold` (async-signal-safe calls only: the test
// process has threads), which returns whether it holds what it should; the
// child reports that on a pipe and waits to be killed. Returns the child's
// id, -1 when it could not start; `*ready` tells whether it holds.
template <typename Hold>
int ForkHolder(Hold hold, bool* ready) {
  int report[2];
  if (::pipe(report) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The child holds only what `hold` opens: not the test's own devices.
    for (int fd = 3; fd < 4096; ++fd) {
      if (fd != report[1]) ::close(fd);
    }
    const char held = hold() ? 1 : 0;
    (void)!::write(report[1], &held, 1);
    for (;;) ::pause();
  }
  ::close(report[1]);
  char held = 0;
  *ready = pid > 0 && ::read(report[0], &held, 1) == 1 && held == 1;
  ::close(report[0]);
  return pid;
}

void EndChild(int pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

SessionOnTerminal::SessionOnTerminal(const std::string& path) {
  pid_ = ForkHolder(
      [&path] {
        if (::setsid() < 0) return false;
        const int fd = ::open(path.c_str(), O_RDWR);
        return fd >= 0 && ::ioctl(fd, TIOCSCTTY, 0) == 0;
      },
      &ready_);
}

SessionOnTerminal::~SessionOnTerminal() { EndChild(pid_); }

HolderProcess::HolderProcess(const std::string& path) {
  pid_ = ForkHolder([&path] { return ::open(path.c_str(), O_RDWR | O_NOCTTY) >= 0; }, &ready_);
}

HolderProcess::~HolderProcess() { EndChild(pid_); }

LoopThread::LoopThread() : thread_([this] { loop_.Run(); }) {
  // Run has taken the loop over once a posted task has run there.
  std::promise<void> running;
  loop_.Post([&running] { running.set_value(); });
  running.get_future().wait();
}

LoopThread::~LoopThread() {
  loop_.Quit();
  thread_.join();
}

}  // namespace vantrel::test
