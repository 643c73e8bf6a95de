// The scheduling of the calling thread, lowered for background work: the
// thread runs only when no other thread of the machine wants the processor
// (Linux's SCHED_IDLE policy, which each thread has a setting of its own).
//
// Going back may be refused to an unprivileged process (RLIMIT_NICE), so
// Restore tells whether the thread runs as it did before; a thread that
// does not should serve nothing that must not wait for the rest of the
// machine.
//
// Threads: an object belongs to the thread that made it and is used on it.
#ifndef VANTREL_BASE_THREAD_PRIORITY_H_
#define VANTREL_BASE_THREAD_PRIORITY_H_

#include <pthread.h>
#include <sched.h>

namespace vantrel {

class LowThreadPriority {
 public:
  // Lowers the calling thread's priority (a failure leaves it as it was).
  LowThreadPriority();
  // Restores the priority, if not done yet.
  ~LowThreadPriority();
  LowThreadPriority(const LowThreadPriority&) = delete;
  LowThreadPriority& operator=(const LowThreadPriority&) = delete;

  // Gives the thread its earlier scheduling back; false when that was
  // refused and the thread stays low. Later calls answer the same.
  bool Restore();

  // Whether the calling thread runs lowered.
  static bool IsLow();

 private:
  pthread_t thread_;
  int earlier_policy_ = SCHED_OTHER;
  sched_param earlier_param_{};
  bool lowered_ = false;
  bool restored_ = true;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_THREAD_PRIORITY_H_
