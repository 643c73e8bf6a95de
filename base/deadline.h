// Deadline arithmetic: a point in time that bounds a wait, fixed when the
// work starts (a CGI run, a serial transfer), and turned into the time-out
// of each wait on the way. Values only; safe on any thread.
#ifndef VANTREL_BASE_DEADLINE_H_
#define VANTREL_BASE_DEADLINE_H_

#include <chrono>
#include <cstddef>

namespace vantrel {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // No limit: never passes, and waits on it are unbounded.
  static Deadline Never() { return Deadline(); }
  // `milliseconds` from `now`; a negative count counts as 0, and a count of
  // more than ten years counts as ten years (so the arithmetic never
  // overflows).
  static Deadline After(long long milliseconds, Clock::time_point now = Clock::now());
  // per_unit × units + fixed milliseconds from `now`, computed without
  // overflow; negative factors count as 0, and no limit when both are 0.
  // (A serial write's bound: WriteTotalMultiplier × bytes +
  // WriteTotalConstant.)
  static Deadline ForTransfer(int per_unit, int fixed, std::size_t units,
                              Clock::time_point now = Clock::now());
  // The earlier of the two.
  static Deadline Earlier(const Deadline& a, const Deadline& b);

  bool Limited() const { return limited_; }
  bool Passed(Clock::time_point now = Clock::now()) const;
  // Whole milliseconds left, rounded up so that a wait of that length does
  // not end before the deadline; 0 once passed; at most the largest int;
  // -1 (wait without limit, as poll() takes it) when unlimited.
  int MillisecondsLeft(Clock::time_point now = Clock::now()) const;

 private:
  Deadline() = default;
  bool limited_ = false;
  Clock::time_point at_{};  // Meaningful only when limited_.
};

}  // namespace vantrel

#endif  // VANTREL_BASE_DEADLINE_H_
