// Deadline arithmetic for the serial port's transfers: a write is bounded by
// a total time fixed when it starts, a read by a total and by the gap
// between bytes. Values only; safe on any thread.
#ifndef VANTREL_SERIAL_TRANSFER_DEADLINE_H_
#define VANTREL_SERIAL_TRANSFER_DEADLINE_H_

#include <chrono>
#include <cstddef>

namespace vantrel {

class TransferDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  // No limit: never passes, and waits on it are unbounded.
  static TransferDeadline Never() { return TransferDeadline(); }
  // `milliseconds` from `now`; a negative count counts as 0.
  static TransferDeadline After(long long milliseconds, Clock::time_point now = Clock::now());
  // multiplier × bytes + constant milliseconds from now, computed without
  // overflow; no limit when both are 0 (or negative).
  static TransferDeadline ForTransfer(int multiplier, int constant, std::size_t bytes,
                                      Clock::time_point now = Clock::now());

  bool Limited() const { return limited_; }
  bool Passed(Clock::time_point now = Clock::now()) const;
  // Whole milliseconds left, rounded up, 0 once passed, at most the largest
  // int; -1 (wait without limit, as poll() takes it) when unlimited.
  int PollTimeout(Clock::time_point now = Clock::now()) const;
  // The earlier of the two.
  static TransferDeadline Earlier(const TransferDeadline& a, const TransferDeadline& b);

 private:
  TransferDeadline() = default;
  bool limited_ = false;
  Clock::time_point at_{};
};

}  // namespace vantrel

#endif  // VANTREL_SERIAL_TRANSFER_DEADLINE_H_
