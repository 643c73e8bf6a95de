#include "cgi/posix_process_spawner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#if !defined(__GLIBC__) || __GLIBC__ < 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ < 34)
#error "posix_spawn_file_actions_addclosefrom_np (glibc 2.34 or later) is required"
#endif

#include "base/retry_on_interrupt.h"

namespace vantrel {
namespace {

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) {
    ::close(descriptor);
    descriptor = -1;
  }
}

// A descriptor at 0, 1 or 2 (possible when the server runs with a standard
// descriptor closed) is moved above them: the program's standard
// descriptors are redirected onto 0-2, which would overwrite it first.
// On failure the descriptor is closed, set to -1, and OSError raised.
void MoveAboveStandardDescriptors(int& descriptor) {
  if (descriptor > STDERR_FILENO) return;
  const int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int error = errno;
  CloseDescriptor(descriptor);
  if (moved < 0) throw MakeOSError(error);
  descriptor = moved;
}

// Creates a pipe with both ends close-on-exec and above 2. Raises OSError;
// the ends already stored are then the caller's to close.
void CreatePipe(int& read_end, int& write_end) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw MakeOSError(errno);
  read_end = ends[0];
  write_end = ends[1];
  MoveAboveStandardDescriptors(read_end);
  MoveAboveStandardDescriptors(write_end);
}

// Raises OSError.
void SetNonBlocking(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) != 0) {
    throw MakeOSError(errno);
  }
}

// Blocks SIGPIPE in the calling thread while it lives. If a write in that
// time failed with EPIPE (NoteBrokenPipe), the SIGPIPE the kernel raised
// for it is taken off the pending signals before the previous mask comes
// back, unless a SIGPIPE was already pending before: that one belongs to
// someone else and stays.
class ScopedSigpipeBlock {
 public:
  ScopedSigpipeBlock() {
    ::sigemptyset(&pipe_signal_);
    ::sigaddset(&pipe_signal_, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_signal_, &previous_mask_);
    was_pending_ = SigpipePending();
  }
  ~ScopedSigpipeBlock() {
    // The SIGPIPE of a failed write is directed at this thread, which
    // blocks it, so it is pending here and sigwait returns at once.
    if (broken_pipe_ && !was_pending_ && SigpipePending()) {
      int taken = 0;
      ::sigwait(&pipe_signal_, &taken);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
  }
  ScopedSigpipeBlock(const ScopedSigpipeBlock&) = delete;
  ScopedSigpipeBlock& operator=(const ScopedSigpipeBlock&) = delete;

  void NoteBrokenPipe() { broken_pipe_ = true; }

 private:
  static bool SigpipePending() {
    sigset_t pending;
    ::sigemptyset(&pending);
    return ::sigpending(&pending) == 0 && ::sigismember(&pending, SIGPIPE) == 1;
  }

  sigset_t pipe_signal_;
  sigset_t previous_mask_;
  bool was_pending_ = false;
  bool broken_pipe_ = false;
};

// The spawn's file actions and attributes, destroyed with the object.
class SpawnSetup {
 public:
  SpawnSetup() {
    actions_ready_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    attributes_ready_ = ::posix_spawnattr_init(&attributes_) == 0;
  }
  ~SpawnSetup() {
    if (actions_ready_) ::posix_spawn_file_actions_destroy(&actions_);
    if (attributes_ready_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Standard input from `input`, standard output and error to `output`,
  // every other descriptor closed; a process group of its own; no blocked
  // signals and default handling of all. False when a step fails.
  bool Prepare(int input, int output) {
    if (!actions_ready_ || !attributes_ready_) return false;
    sigset_t no_signals;
    sigset_t all_signals;
    ::sigemptyset(&no_signals);
    ::sigfillset(&all_signals);
    return ::posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO) == 0 &&
           ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) == 0 &&
           ::posix_spawn_file_actions_adddup2(&actions_, output, STDERR_FILENO) == 0 &&
           ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
           ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                        POSIX_SPAWN_SETSIGDEF) == 0 &&
           ::posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
           ::posix_spawnattr_setsigmask(&attributes_, &no_signals) == 0 &&
           ::posix_spawnattr_setsigdefault(&attributes_, &all_signals) == 0;
  }

  const posix_spawn_file_actions_t* Actions() const { return &actions_; }
  const posix_spawnattr_t* Attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool actions_ready_ = false;
  bool attributes_ready_ = false;
};

// Pointers to the texts of `texts`, ended by a null pointer, as exec wants
// them. The texts must outlive the result; exec does not change them.
std::vector<char*> NullTerminated(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// A descriptor that turns readable when process `pid` ends, or -1 when the
// kernel has no process descriptors.
int OpenProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  static_cast<void>(pid);
  return -1;
#endif
}

class PosixChildProcess final : public ChildProcess {
 public:
  PosixChildProcess() = default;
  ~PosixChildProcess() override {
    KillAndReap();
    CloseDescriptor(input_read_);
    CloseDescriptor(input_write_);
    CloseDescriptor(output_read_);
    CloseDescriptor(output_write_);
  }

  // Raises OSError; the destructor closes whatever was created.
  void OpenPipes() {
    CreatePipe(input_read_, input_write_);
    CreatePipe(output_read_, output_write_);
    SetNonBlocking(input_write_);
    SetNonBlocking(output_read_);
  }

  bool Start(const std::string& command_line,
             const std::vector<std::string>& environment) override {
    // The program's ends leave the runner however the start ends (an
    // exception included): until they do, the output cannot end.
    struct CloseProgramEnds {
      PosixChildProcess& child;
      ~CloseProgramEnds() {
        CloseDescriptor(child.input_read_);
        CloseDescriptor(child.output_write_);
      }
    } close_program_ends{*this};
    return Spawn(command_line, environment);
  }

  InputResult WriteInput(std::string_view bytes, Deadline deadline) override {
    if (bytes.empty()) return InputResult::kWritten;
    if (input_write_ < 0) return InputResult::kClosedByProgram;
    ScopedSigpipeBlock sigpipe_block;
    while (!bytes.empty()) {
      const ssize_t written =
          RetryOnInterrupt([&] { return ::write(input_write_, bytes.data(), bytes.size()); });
      if (written > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(written));
        continue;
      }
      if (written < 0 && errno == EAGAIN) {
        if (deadline.Passed()) return InputResult::kTimedOut;
        pollfd ready{input_write_, POLLOUT, 0};
        RetryOnInterrupt([&] { return ::poll(&ready, 1, deadline.MillisecondsLeft()); });
        continue;
      }
      if (written < 0 && errno == EPIPE) sigpipe_block.NoteBrokenPipe();
      return InputResult::kClosedByProgram;
    }
    return InputResult::kWritten;
  }

  void CloseInput() override { CloseDescriptor(input_write_); }

  OutputResult ReadOutput(char* buffer, std::size_t size, std::size_t& count,
                          Deadline deadline) override {
    count = 0;
    for (;;) {
      if (deadline.Passed()) return OutputResult::kTimedOut;
      pollfd ready{output_read_, POLLIN, 0};
      const int waited =
          RetryOnInterrupt([&] { return ::poll(&ready, 1, deadline.MillisecondsLeft()); });
      if (waited < 0) return OutputResult::kEnd;
      if (waited == 0) continue;  // The deadline is checked at the top.
      const ssize_t got = RetryOnInterrupt([&] { return ::read(output_read_, buffer, size); });
      if (got > 0) {
        count = static_cast<std::size_t>(got);
        return OutputResult::kData;
      }
      if (got < 0 && errno == EAGAIN) continue;
      return OutputResult::kEnd;
    }
  }

  bool WaitForExit(Deadline deadline) override {
    if (!running_) return true;
    if (process_descriptor_ >= 0) {
      pollfd ended{process_descriptor_, POLLIN, 0};
      for (;;) {
        const int waited =
            RetryOnInterrupt([&] { return ::poll(&ended, 1, deadline.MillisecondsLeft()); });
        if (waited > 0) return true;
        if (waited < 0) break;  // Look without the descriptor below.
        if (deadline.Passed()) return false;
      }
    }
    // Without a process descriptor: look every few milliseconds, leaving
    // the ended program unreaped (WNOWAIT).
    for (;;) {
      siginfo_t info{};
      const int looked = RetryOnInterrupt([&] {
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
      });
      if (looked == 0 && info.si_pid == pid_) return true;
      if (looked < 0) {
        // Not our child any more (reaped by someone else): nothing is left
        // to wait for, and its process group number is no longer ours.
        running_ = false;
        return true;
      }
      if (deadline.Passed()) return false;
      std::this_thread::sleep_for(std::min(std::chrono::milliseconds(5),
                                           std::chrono::milliseconds(deadline.MillisecondsLeft())));
    }
  }

  void KillAndReap() override {
    if (!running_) return;
    running_ = false;
    // The program is not reaped yet, so its process id and group still
    // belong to it: the kills cannot reach an unrelated process. The group
    // first, then the program itself, in case it left its group.
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    RetryOnInterrupt([&] { return ::waitpid(pid_, &status, 0); });
    CloseDescriptor(process_descriptor_);
  }

 private:
  bool Spawn(const std::string& command_line, const std::vector<std::string>& environment) {
    if (input_read_ < 0 || output_write_ < 0) return false;
    SpawnSetup setup;
    if (!setup.Prepare(input_read_, output_write_)) return false;
    const std::vector<std::string> arguments = {PosixProcessSpawner::kShellPath, "-c",
                                                command_line};
    std::vector<char*> argv = NullTerminated(arguments);
    std::vector<char*> envp = NullTerminated(environment);
    pid_t pid = -1;
    if (::posix_spawn(&pid, PosixProcessSpawner::kShellPath, setup.Actions(), setup.Attributes(),
                      argv.data(), envp.data()) != 0) {
      return false;
    }
    pid_ = pid;
    running_ = true;
    process_descriptor_ = OpenProcessDescriptor(pid);
    return true;
  }

  int input_read_ = -1;    // The program's end of its input; open until Start.
  int input_write_ = -1;   // The runner's end of the input, non-blocking; open until CloseInput.
  int output_read_ = -1;   // The runner's end of the output, non-blocking; used by the reader.
  int output_write_ = -1;  // The program's end of the output; open until Start.
  pid_t pid_ = -1;         // The program and its process group, once started.
  // Readable once the program has ended; -1 before Start, after the reap,
  // or when the kernel has no process descriptors.
  int process_descriptor_ = -1;
  bool running_ = false;  // Started and not yet reaped by KillAndReap.
};

}  // namespace

std::unique_ptr<ChildProcess> PosixProcessSpawner::CreatePipes() {
  auto child = std::make_unique<PosixChildProcess>();
  child->OpenPipes();
  return child;
}

}  // namespace vantrel
