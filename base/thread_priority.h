// The scheduling priority of the calling thread, lowered for background
// work: on Linux every thread has a nice value of its own.
//
// Raising it back may be refused to an unprivileged process (RLIMIT_NICE),
// so Restore tells whether the thread is back where it was; a thread that
// is not should serve nothing that must not wait for the rest of the
// machine.
//
// Threads: an object belongs to the thread that made it and is used on it.
#ifndef VANTREL_BASE_THREAD_PRIORITY_H_
#define VANTREL_BASE_THREAD_PRIORITY_H_

namespace vantrel {

class LowThreadPriority {
 public:
  // The nice value the calling thread runs at while lowered.
  static constexpr int kNice = 19;

  // Lowers the calling thread's priority (a failure leaves it as it was).
  LowThreadPriority();
  // Restores the priority, if not done yet.
  ~LowThreadPriority();
  LowThreadPriority(const LowThreadPriority&) = delete;
  LowThreadPriority& operator=(const LowThreadPriority&) = delete;

  // Gives the thread its earlier priority back; false when that was
  // refused and the thread stays low. Later calls answer the same.
  bool Restore();

 private:
  int tid_;
  int earlier_ = 0;
  bool lowered_ = false;
  bool restored_ = true;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_THREAD_PRIORITY_H_
