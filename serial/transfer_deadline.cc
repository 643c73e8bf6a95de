#include "serial/transfer_deadline.h"

#include <climits>

namespace vantrel {
namespace {

// Ten years: far enough to mean "practically never", near enough that the
// clock arithmetic cannot overflow.
constexpr long long kLongestMilliseconds = 10LL * 366 * 24 * 3600 * 1000;

}  // namespace

TransferDeadline TransferDeadline::After(long long milliseconds, Clock::time_point now) {
  if (milliseconds < 0) milliseconds = 0;
  if (milliseconds > kLongestMilliseconds) milliseconds = kLongestMilliseconds;
  TransferDeadline deadline;
  deadline.limited_ = true;
  deadline.at_ = now + std::chrono::milliseconds(milliseconds);
  return deadline;
}

TransferDeadline TransferDeadline::ForTransfer(int multiplier, int constant, std::size_t bytes,
                                               Clock::time_point now) {
  const long long per_byte = multiplier > 0 ? multiplier : 0;
  const long long fixed = constant > 0 ? constant : 0;
  if (per_byte == 0 && fixed == 0) return Never();
  long long total = fixed;
  if (per_byte != 0) {
    const long long limit = kLongestMilliseconds / per_byte;
    const long long count =
        bytes > static_cast<std::size_t>(limit) ? limit : static_cast<long long>(bytes);
    total += per_byte * count;
  }
  return After(total, now);
}

bool TransferDeadline::Passed(Clock::time_point now) const { return limited_ && now >= at_; }

int TransferDeadline::PollTimeout(Clock::time_point now) const {
  if (!limited_) return -1;
  if (now >= at_) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - now).count();
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

TransferDeadline TransferDeadline::Earlier(const TransferDeadline& a, const TransferDeadline& b) {
  if (!a.limited_) return b;
  if (!b.limited_) return a;
  return a.at_ <= b.at_ ? a : b;
}

}  // namespace vantrel
