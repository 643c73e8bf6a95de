// SIGINT and SIGTERM in the window program: instead of ending the process
// at once, each becomes a call on the GUI thread (through a pipe the signal
// handler writes to, watched by Qt's event loop), so the program closes as
// when its window is closed. After the first such signal the default
// handling is back: a second one ends a close that hangs.
//
// One watcher at a time. Threads: GUI thread.
#ifndef VANTREL_APP_WINDOWS_CLOSE_SIGNALS_H_
#define VANTREL_APP_WINDOWS_CLOSE_SIGNALS_H_

#include <signal.h>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vantrel {

class CloseSignals {
 public:
  // Installs the handlers; `on_signal` runs on the GUI thread once a signal
  // arrived.
  explicit CloseSignals(std::function<void()> on_signal);
  // Puts the handlers found at construction back.
  ~CloseSignals();
  CloseSignals(const CloseSignals&) = delete;
  CloseSignals& operator=(const CloseSignals&) = delete;

 private:
  void Received();
  void RestoreHandlers();

  std::function<void()> on_signal_;
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction old_int_ = {};
  struct sigaction old_term_ = {};
  bool installed_ = false;
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_CLOSE_SIGNALS_H_
