#include "cgi/deadline.h"

#include <algorithm>
#include <limits>

namespace vantrel {

Deadline DeadlineAfter(int milliseconds) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
}

int MillisecondsLeft(Deadline deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  const auto rounded_up = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(
      std::min<decltype(rounded_up)>(rounded_up, std::numeric_limits<int>::max()));
}

bool HasPassed(Deadline deadline) { return std::chrono::steady_clock::now() >= deadline; }

}  // namespace vantrel
