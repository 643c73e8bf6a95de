// The main thread's event loop, as the rest of the system sees it.
//
// The main thread runs the front end's loop: the headless program's own
// LocalEventLoop or the window toolkit's. Timers tick there and serial port
// events are handled there. Every method may be called from any thread.
#ifndef VANTREL_BASE_EVENT_LOOP_H_
#define VANTREL_BASE_EVENT_LOOP_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace vantrel {

class EventLoop {
 public:
  using Task = std::function<void()>;
  using DelayedTaskId = std::uint64_t;
  using ErrorHandler = std::function<void(const std::string& message)>;

  virtual ~EventLoop() = default;

  // Queues `task` to run on the loop's thread after the tasks queued before
  // it. Once the loop has been told to quit, the task is dropped unrun.
  virtual void Post(Task task) = 0;

  // Queues `task` to run on the loop's thread once `delay` has passed.
  // Returns an id for CancelDelayed; ids are never 0.
  virtual DelayedTaskId PostDelayed(std::chrono::milliseconds delay, Task task) = 0;

  // Drops a delayed task that has not started; unknown ids are ignored.
  virtual void CancelDelayed(DelayedTaskId id) = 0;

  // True when called on the loop's thread.
  virtual bool IsLoopThread() const = 0;

  // Runs `task` on the loop's thread and waits until it has run; runs it at
  // once when called on the loop's thread. An exception thrown by the task
  // reaches the caller. Returns false, without running the task, when the
  // loop drops it because it is quitting, so a caller never waits for ever
  // on a loop that has stopped.
  bool Invoke(Task task);

  // Receives the message of an exception that escaped a task; by default it
  // goes to standard error. Set before tasks run.
  void SetOnError(ErrorHandler handler) { on_error_ = std::move(handler); }

 protected:
  // Runs `task` on the loop's thread; an exception escaping it goes to the
  // error handler and the loop goes on.
  void RunTask(const Task& task) const;

 private:
  ErrorHandler on_error_;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_EVENT_LOOP_H_
