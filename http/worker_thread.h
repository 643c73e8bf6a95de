// The base of the server's threads: a platform thread running a loop of
// RunOnce calls that can be stopped, restarted and terminated.
//
// Life of a thread: it is created suspended (stopped) and its platform
// thread is launched by the first StartLoop. The loop, on that thread:
//   while not terminated:
//     if stopped: wait until started again or terminated; if terminated,
//       run AfterRun and leave;
//     BeforeRun; RunOnce while not stopped; AfterRun (also when BeforeRun
//       or RunOnce raised);
//     if any of them raised: keep the message (TerminatingExceptionText),
//       raise OnException if set, terminate and leave.
// A thread that raised is terminated before its AfterRun runs, so AfterRun
// can tell (Terminated()) that the thread will not run again.
//
// Stopping (StopLoop) depends on the stop mode: kTerminate (the default)
// terminates the thread, so the loop ends after AfterRun; kSuspend only sets
// the stopped flag, and the thread goes back to waiting for the next
// StartLoop, which is how pooled threads are reused.
//
// Ownership: either an owner destroys the thread, or the thread frees
// itself (SetFreeOnTerminate): then, when its loop ends, it detaches its
// platform thread and deletes itself as its very last action; nobody else
// may then wait for it or destroy it. An owner destroying a started thread
// from another thread must first terminate it and wait for it
// (TerminateAndWait): derived classes do so in their destructor, because the
// loop calls their overrides. The base destructor does it too, as a last
// resort for threads whose loop is idle.
//
// StartLoop, StopLoop, Terminate, TerminateAndWait and the queries may be
// called from any thread.
#ifndef VANTREL_HTTP_WORKER_THREAD_H_
#define VANTREL_HTTP_WORKER_THREAD_H_

#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vantrel {

enum class ThreadStopMode { kTerminate, kSuspend };

class WorkerThread {
 public:
  using ExceptionEvent = std::function<void(WorkerThread& thread, const std::string& message)>;

  WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  virtual ~WorkerThread();

  // If the thread is stopped (and not terminated): clears the stopped flag
  // and resumes it, launching the platform thread the first time. Raises
  // std::system_error when the platform thread cannot be launched; the
  // thread then stays stopped.
  void StartLoop();

  // If the thread is not stopped: terminates it (kTerminate) and sets the
  // stopped flag. Returns at once; the thread finishes its current RunOnce.
  void StopLoop();

  // Marks the thread terminated and wakes it if it waits.
  void Terminate();

  // Terminates the thread and waits until its platform thread has ended.
  // Called on the thread itself it only terminates.
  virtual void TerminateAndWait();

  bool Terminated() const { return terminated_; }
  // Terminated, or the stopped flag is set.
  bool Stopped() const { return terminated_ || stopped_; }
  // The caller runs on this thread.
  bool IsCurrentThread() const;

  ThreadStopMode StopMode() const;
  void SetStopMode(ThreadStopMode mode);

  // Whether the thread deletes itself when its loop ends. Set before the
  // loop can end, by the thread itself or by its owner.
  void SetFreeOnTerminate(bool value);

  // The message of the exception that ended the loop; "" if none did.
  std::string TerminatingExceptionText() const;

  // Raised on the thread when an exception ends its loop.
  void SetOnException(ExceptionEvent handler);

 protected:
  // One step of the thread's work; called repeatedly while not stopped.
  virtual void RunOnce() = 0;
  virtual void AfterRun() {}
  virtual void BeforeRun() {}

  // Waits up to `timeout` until the thread is stopped or terminated;
  // returns whether it is.
  bool WaitForStop(std::chrono::milliseconds timeout);

 private:
  void ThreadMain();
  void MainLoop();
  void ReportFailure(const std::exception_ptr& failure);
  // Waits until no StartLoop is still waking the thread.
  void AwaitWakers() const;
  // The loop, stopped: sleeps until it is started again or terminated.
  void SleepWhileStopped();

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // Signalled when stopped_ or terminated_ changes.
  // Posted when the loop is started again or terminated: a stopped loop
  // sleeps on it rather than on wake_, because waking from a condition
  // variable costs glibc a further system call (the mutex it took back is
  // marked contended), once per connection of a pooled thread.
  sem_t resume_;
  // The two flags are written under mutex_ (so waits see every change) and
  // read without it by the loop.
  std::atomic<bool> stopped_{true};
  std::atomic<bool> terminated_{false};
  // StartLoop calls between letting go of mutex_ and their last touch of
  // the object; the object is not freed while any is.
  std::atomic<int> wakers_{0};
  ThreadStopMode stop_mode_ = ThreadStopMode::kTerminate;  // Guarded by mutex_.
  bool free_on_terminate_ = false;                         // Guarded by mutex_.
  std::string exception_text_;                             // Guarded by mutex_.
  ExceptionEvent on_exception_;                            // Guarded by mutex_.
  // Launched by the first StartLoop; joined by TerminateAndWait, or detached
  // by a thread that frees itself. Guarded by mutex_.
  std::thread thread_;
  std::thread::id id_;  // The platform thread's id once launched. Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_WORKER_THREAD_H_
