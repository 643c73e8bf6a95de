// The system's own event loop, run by the headless program on its main
// thread and by tests on a thread of their own.
#ifndef VANTREL_BASE_LOCAL_EVENT_LOOP_H_
#define VANTREL_BASE_LOCAL_EVENT_LOOP_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "base/event_loop.h"

namespace vantrel {

class LocalEventLoop final : public EventLoop {
 public:
  using Clock = std::chrono::steady_clock;
  // The loop belongs to the constructing thread until Run is called; from
  // then on to the thread that runs it.
  LocalEventLoop();
  // Drops every task still queued (waiting Invoke callers get false).
  ~LocalEventLoop() override;

  // Runs tasks in order until Quit. Call on one thread only.
  void Run();
  // Makes Run return after the task it is running; from now on posted tasks
  // are dropped. Any thread.
  void Quit();
  bool Quitting() const;

  // Runs the tasks that are due now without waiting; for tests that drive
  // the loop by hand on their own thread. Returns how many ran.
  int RunPending();

  void Post(Task task) override;
  DelayedTaskId PostDelayed(std::chrono::milliseconds delay, Task task) override;
  void CancelDelayed(DelayedTaskId id) override;
  bool IsLoopThread() const override;

 private:
  // Runs `task`, then drops it with everything it captured.
  void RunAndRelease(Task& task);
  struct Delayed {
    DelayedTaskId id;
    Task task;
  };

  // Takes the next task that is due, waiting for one unless `wait` is false.
  // Returns false when quitting (or, without waiting, when none is due).
  bool TakeNext(Task& task, bool wait);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> ready_;                                // Guarded by mutex_.
  std::multimap<Clock::time_point, Delayed> delayed_;     // Guarded by mutex_; due order.
  std::map<DelayedTaskId, Clock::time_point> delay_due_;  // Guarded by mutex_; id -> due.
  DelayedTaskId next_id_ = 1;                             // Guarded by mutex_.
  bool quitting_ = false;                                 // Guarded by mutex_.
  std::atomic<std::thread::id> owner_;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_LOCAL_EVENT_LOOP_H_
