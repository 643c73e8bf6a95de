#include "app/windows/close_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace vantrel {
namespace {

// The pipe's write end for the signal handler, which can reach nothing else.
std::atomic<int> signal_pipe_write{-1};

void OnCloseSignal(int signal_number) {
  const int saved_errno = errno;
  const char byte = static_cast<char>(signal_number);
  const int fd = signal_pipe_write.load();
  if (fd >= 0) {
    const ssize_t written = write(fd, &byte, 1);  // A full pipe already holds a wake-up.
    static_cast<void>(written);
  }
  errno = saved_errno;
}

}  // namespace

CloseSignals::CloseSignals(std::function<void()> on_signal) : on_signal_(std::move(on_signal)) {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error("Cannot watch for close signals");
  }
  signal_pipe_write = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Received(); });
  struct sigaction action = {};
  action.sa_handler = OnCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
  installed_ = true;
}

CloseSignals::~CloseSignals() {
  RestoreHandlers();
  signal_pipe_write = -1;
  notifier_.reset();
  close(pipe_[0]);
  close(pipe_[1]);
}

void CloseSignals::Received() {
  char bytes[16];
  while (read(pipe_[0], bytes, sizeof bytes) > 0) {
  }
  if (!installed_) return;  // Only the first signal closes.
  RestoreHandlers();
  on_signal_();
}

void CloseSignals::RestoreHandlers() {
  if (!installed_) return;
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
  installed_ = false;
}

}  // namespace vantrel
