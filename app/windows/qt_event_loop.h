// The main thread's event loop in the window program: tasks are queued to
// Qt's event loop on the thread that made this object (the GUI thread).
//
// Post and PostDelayed may be called from any thread. A task that throws
// does not reach Qt: its message goes to the error handler. After Quit, or
// once this object is gone, queued tasks are dropped unrun (their captures
// are released, which wakes a waiting Invoke).
#ifndef VANTREL_APP_WINDOWS_QT_EVENT_LOOP_H_
#define VANTREL_APP_WINDOWS_QT_EVENT_LOOP_H_

#include <QObject>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/event_loop.h"

namespace vantrel {

class QtEventLoop final : public EventLoop {
 public:
  // Construct on the GUI thread, after the QApplication.
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  // From now on posted tasks are dropped, and on the GUI thread the tasks
  // still queued are dropped too, so no thread waits on a loop that has
  // stopped.
  void Quit();

  void Post(Task task) override;
  DelayedTaskId PostDelayed(std::chrono::milliseconds delay, Task task) override;
  void CancelDelayed(DelayedTaskId id) override;
  bool IsLoopThread() const override;

 private:
  // Runs the delayed task `id` unless it was cancelled. GUI thread.
  void RunDelayed(DelayedTaskId id);

  std::unique_ptr<QObject> context_;   // Lives on the GUI thread; receives the queued calls.
  std::atomic<bool> quitting_{false};  // Set under post_mutex_.
  std::mutex post_mutex_;              // Orders posting against Quit.
  std::mutex mutex_;
  std::map<DelayedTaskId, Task> delayed_;  // Guarded by mutex_; not yet run nor cancelled.
  DelayedTaskId next_id_ = 1;              // Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_QT_EVENT_LOOP_H_
