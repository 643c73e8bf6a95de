// vantrel-devsim: a simulated serial device on a pseudo terminal, so that the
// gateway's pages can be tried without serial hardware.
//
//   vantrel-devsim [--mode echo|commands] [--watch-pid PID] [PATH]
//
// The terminal's device end is linked at PATH (default /tmp/vantrel-sim), which
// a page opens like any device path. The simulator answers until SIGINT or
// SIGTERM (or until the watched process ends), then removes the link. It waits
// in poll() and never spins.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/retry_on_interrupt.h"

namespace vantrel {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 64;

constexpr std::string_view kDefaultPath = "/tmp/vantrel-sim";
constexpr std::string_view kIdentification = "VANTREL-SIM,1.0";
constexpr std::string_view kLineEnd = "\r\n";
// A command line longer than this is refused as a whole, so a peer that
// never sends a line end cannot make the simulator grow without bound.
constexpr std::size_t kMaxCommandLength = 256;
// Answers waiting to be read by the peer; past this the simulator stops
// reading until the peer has taken some.
constexpr std::size_t kMaxPendingOutput = 64 * 1024;

constexpr std::string_view kUsage =
    "Usage: vantrel-devsim [--mode echo|commands] [--watch-pid PID] [PATH]\n"
    "       vantrel-devsim --help\n"
    "\n"
    "Simulates a serial device on a pseudo terminal whose device end is linked\n"
    "at PATH (default /tmp/vantrel-sim); prints PATH on standard output and\n"
    "answers until SIGINT or SIGTERM, then removes the link. A symbolic link\n"
    "already at PATH is replaced; anything else there is left alone and the\n"
    "simulator does not start.\n"
    "\n"
    "  --mode commands  (default) answers lines ending in CR or LF, each\n"
    "                   answer ending in CR LF:\n"
    "                     ID?     the identification, VANTREL-SIM,1.0\n"
    "                     COUNT?  how many commands have come, this one too\n"
    "                     TIME?   the local time, yyyy-mm-dd hh:mm:ss\n"
    "                     HELP    the list of commands\n"
    "                   anything else gets \"ERR unknown command\"\n"
    "  --mode echo      sends every byte back as it comes\n"
    "  --watch-pid PID  also ends when the process PID ends\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 after a signal or the end of the watched process,\n"
    "1 when the terminal or the link cannot be made, 64 wrong usage.\n";

enum class Mode { kEcho, kCommands };

struct Options {
  Mode mode = Mode::kCommands;
  std::string path{kDefaultPath};
  pid_t watch_pid = 0;
  bool help = false;
};

// False on wrong usage.
bool ParseArguments(int argc, char** argv, Options& options) {
  bool have_path = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--mode") {
      if (++i == argc) return false;
      const std::string_view mode = argv[i];
      if (mode == "echo") {
        options.mode = Mode::kEcho;
      } else if (mode == "commands") {
        options.mode = Mode::kCommands;
      } else {
        return false;
      }
    } else if (arg == "--watch-pid") {
      if (++i == argc) return false;
      char* end = nullptr;
      const long pid = std::strtol(argv[i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || pid <= 0) return false;
      options.watch_pid = static_cast<pid_t>(pid);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return false;
    } else if (!have_path && !arg.empty()) {
      options.path = arg;
      have_path = true;
    } else {
      return false;
    }
  }
  return true;
}

void ReportSystemError(std::string_view what) {
  std::cerr << "vantrel-devsim: " << what << ": " << std::strerror(errno) << '\n';
}

// The device's behaviour: bytes in, answer bytes out.
class Device {
 public:
  explicit Device(Mode mode) : mode_(mode) {}

  std::string Feed(std::string_view bytes) {
    if (mode_ == Mode::kEcho) return std::string(bytes);
    std::string answers;
    for (char c : bytes) {
      if (c == '\r' || c == '\n') {
        EndLine(answers);
      } else if (line_.size() < kMaxCommandLength) {
        line_ += c;
      } else {
        overlong_ = true;
      }
    }
    return answers;
  }

 private:
  // A CR LF pair ends one line: the empty line between them is no command.
  void EndLine(std::string& answers) {
    const std::string command = Trimmed(line_);
    const bool overlong = overlong_;
    line_.clear();
    overlong_ = false;
    if (command.empty() && !overlong) return;
    ++count_;
    answers += overlong ? std::string("ERR line too long") : Answer(ToUpperAscii(command));
    answers += kLineEnd;
  }

  std::string Answer(const std::string& command) const {
    if (command == "ID?") return std::string(kIdentification);
    if (command == "COUNT?") return std::to_string(count_);
    if (command == "TIME?") return LocalTime();
    if (command == "HELP") return "ID? COUNT? TIME? HELP";
    return "ERR unknown command";
  }

  static std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
  }

  static std::string LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
  }

  const Mode mode_;
  std::string line_;       // The command line so far, at most kMaxCommandLength bytes.
  bool overlong_ = false;  // The current line has lost bytes past that length.
  long count_ = 0;         // Commands answered, the current one included.
};

// The pseudo terminal and the link to its device end; the link is removed
// on destruction when it still points there.
class SimulatedPort {
 public:
  SimulatedPort() = default;
  ~SimulatedPort() {
    if (linked_) {
      char target[256] = {};
      const ssize_t n = ::readlink(path_.c_str(), target, sizeof target - 1);
      if (n > 0 && device_ == std::string_view(target, static_cast<std::size_t>(n))) {
        ::unlink(path_.c_str());
      }
    }
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  SimulatedPort(const SimulatedPort&) = delete;
  SimulatedPort& operator=(const SimulatedPort&) = delete;

  // Makes the terminal and links it at `path`; false, reported, on failure.
  bool Open(const std::string& path) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      ReportSystemError("cannot make a pseudo terminal");
      return false;
    }
    device_ = name;
    // Raw bytes both ways: the peer sees exactly what the device sends, and
    // no echo of the line discipline sends answers back as commands. The
    // simulator keeps the device end open, so the peer may close and reopen
    // it without the terminal hanging up.
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    return Link(path);
  }

  int Master() const { return master_; }

 private:
  bool Link(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
      if (!S_ISLNK(status.st_mode)) {
        std::cerr << "vantrel-devsim: " << path
                  << " exists and is not a symbolic link; it is left alone\n";
        return false;
      }
      if (::unlink(path.c_str()) != 0) {
        ReportSystemError("cannot remove the old link " + path);
        return false;
      }
    } else if (errno != ENOENT) {
      ReportSystemError("cannot check " + path);
      return false;
    }
    if (::symlink(device_.c_str(), path.c_str()) != 0) {
      ReportSystemError("cannot link " + path);
      return false;
    }
    path_ = path;
    linked_ = true;
    return true;
  }

  int master_ = -1;  // The simulator's end, non-blocking.
  int slave_ = -1;   // The device end, held open for the whole run.
  std::string device_;
  std::string path_;
  bool linked_ = false;  // path_ was made by this simulator.
};

// A descriptor readable on SIGINT and SIGTERM, which no longer end the
// process by themselves; -1, reported, on failure.
int SignalDescriptor() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
  const int fd = ::signalfd(-1, &signals, SFD_CLOEXEC);
  if (fd < 0) ReportSystemError("cannot wait for signals");
  return fd;
}

// Answers the peer until a signal comes or the watched process ends.
int Serve(SimulatedPort& port, Device& device, int signal_fd, int watch_fd) {
  std::string pending;
  for (;;) {
    pollfd fds[3] = {{port.Master(), 0, 0}, {signal_fd, POLLIN, 0}, {watch_fd, POLLIN, 0}};
    if (pending.size() < kMaxPendingOutput) fds[0].events |= POLLIN;
    if (!pending.empty()) fds[0].events |= POLLOUT;
    if (RetryOnInterrupt([&] { return ::poll(fds, watch_fd >= 0 ? 3 : 2, -1); }) < 0) {
      ReportSystemError("poll failed");
      return kExitFailure;
    }
    if (fds[1].revents != 0 || (watch_fd >= 0 && fds[2].revents != 0)) return 0;
    // The device end stays open, so a hang-up or an error here is the
    // terminal failing: end rather than poll it again and again.
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      std::cerr << "vantrel-devsim: the pseudo terminal failed\n";
      return kExitFailure;
    }
    if (fds[0].revents & POLLIN) {
      char buffer[4096];
      const ssize_t n =
          RetryOnInterrupt([&] { return ::read(port.Master(), buffer, sizeof buffer); });
      if (n == 0 || (n < 0 && errno != EAGAIN)) {
        ReportSystemError("cannot read the pseudo terminal");
        return kExitFailure;
      }
      if (n > 0) pending += device.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    if (!pending.empty() && (fds[0].revents & POLLOUT)) {
      const ssize_t n =
          RetryOnInterrupt([&] { return ::write(port.Master(), pending.data(), pending.size()); });
      if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
    }
  }
}

int Run(const Options& options) {
  int watch_fd = -1;
  if (options.watch_pid > 0) {
    watch_fd = static_cast<int>(::syscall(SYS_pidfd_open, options.watch_pid, 0));
    if (watch_fd < 0) {
      ReportSystemError("cannot watch process " + std::to_string(options.watch_pid));
      return kExitFailure;
    }
  }
  const int signal_fd = SignalDescriptor();
  if (signal_fd < 0) return kExitFailure;
  int status = kExitFailure;
  {
    SimulatedPort port;
    if (port.Open(options.path)) {
      std::cout << options.path << std::endl;
      Device device(options.mode);
      status = Serve(port, device, signal_fd, watch_fd);
    }
  }
  ::close(signal_fd);
  if (watch_fd >= 0) ::close(watch_fd);
  return status;
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
  vantrel::Options options;
  if (!vantrel::ParseArguments(argc, argv, options)) {
    std::cerr << vantrel::kUsage;
    return vantrel::kExitUsage;
  }
  if (options.help) {
    std::cout << vantrel::kUsage;
    return 0;
  }
  return vantrel::Run(options);
}
