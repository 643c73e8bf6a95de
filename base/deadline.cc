#include "base/deadline.h"

#include <climits>

namespace vantrel {
namespace {

// Ten years: far enough to mean "practically never", near enough that the
// clock arithmetic cannot overflow.
constexpr long long kLongestMilliseconds = 10LL * 366 * 24 * 3600 * 1000;

}  // namespace

Deadline Deadline::After(long long milliseconds, Clock::time_point now) {
  if (milliseconds < 0) milliseconds = 0;
  if (milliseconds > kLongestMilliseconds) milliseconds = kLongestMilliseconds;
  Deadline deadline;
  deadline.limited_ = true;
  deadline.at_ = now + std::chrono::milliseconds(milliseconds);
  return deadline;
}

Deadline Deadline::ForTransfer(int per_unit, int fixed, std::size_t units, Clock::time_point now) {
  const long long per = per_unit > 0 ? per_unit : 0;
  const long long total_fixed = fixed > 0 ? fixed : 0;
  if (per == 0 && total_fixed == 0) return Never();
  long long total = total_fixed;
  if (per != 0) {
    const long long limit = kLongestMilliseconds / per;
    const long long count =
        units > static_cast<std::size_t>(limit) ? limit : static_cast<long long>(units);
    total += per * count;
  }
  return After(total, now);
}

Deadline Deadline::Earlier(const Deadline& a, const Deadline& b) {
  if (!a.limited_) return b;
  if (!b.limited_) return a;
  return a.at_ <= b.at_ ? a : b;
}

bool Deadline::Passed(Clock::time_point now) const { return limited_ && now >= at_; }

int Deadline::MillisecondsLeft(Clock::time_point now) const {
  if (!limited_) return -1;
  if (now >= at_) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - now).count();
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace vantrel
