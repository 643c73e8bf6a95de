// Deadline arithmetic shared by the CGI runner and the serial port.
#include "base/deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace vantrel {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(DeadlineTest, MillisecondsLeftRoundUpAndStopAtZero) {
  const auto now = Deadline::Clock::now();
  const Deadline d = Deadline::After(10, now);
  EXPECT_EQ(d.MillisecondsLeft(now + microseconds(9500)), 1);
  EXPECT_EQ(d.MillisecondsLeft(now + milliseconds(11)), 0);
  EXPECT_TRUE(d.Passed(now + milliseconds(10)));
  EXPECT_FALSE(d.Passed(now));
  EXPECT_EQ(Deadline::After(-5, now).MillisecondsLeft(now), 0);
  EXPECT_TRUE(Deadline::After(0).Passed());
  // A deadline far away waits the longest a poll() can, not a negative time.
  EXPECT_EQ(Deadline::After(100LL * 365 * 24 * 3600 * 1000, now).MillisecondsLeft(now),
            std::numeric_limits<int>::max());
}

TEST(DeadlineTest, TransferBoundGrowsWithTheBytesAndZeroMeansNoLimit) {
  const auto now = Deadline::Clock::now();
  EXPECT_EQ(Deadline::ForTransfer(100, 1000, 5, now).MillisecondsLeft(now), 1500);
  EXPECT_FALSE(Deadline::ForTransfer(0, 0, 5, now).Limited());
  EXPECT_EQ(Deadline::ForTransfer(0, 0, 5, now).MillisecondsLeft(now), -1);
  EXPECT_FALSE(Deadline::Never().Passed());
  // Huge products neither overflow nor turn negative.
  const Deadline huge = Deadline::ForTransfer(2000000000, 2000000000, ~0ULL, now);
  EXPECT_GT(huge.MillisecondsLeft(now), 0);
}

TEST(DeadlineTest, EarlierPicksTheSoonerAndIgnoresNoLimit) {
  const auto now = Deadline::Clock::now();
  const Deadline soon = Deadline::After(10, now);
  const Deadline later = Deadline::After(50, now);
  EXPECT_EQ(Deadline::Earlier(later, soon).MillisecondsLeft(now), 10);
  EXPECT_EQ(Deadline::Earlier(Deadline::Never(), later).MillisecondsLeft(now), 50);
  EXPECT_EQ(Deadline::Earlier(later, Deadline::Never()).MillisecondsLeft(now), 50);
}

}  // namespace
}  // namespace vantrel
