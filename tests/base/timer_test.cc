#include "base/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/local_event_loop.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Drives `loop` on this thread until `done` or the deadline.
template <typename Predicate>
bool RunUntil(LocalEventLoop& loop, Predicate done, milliseconds limit = milliseconds(3000)) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    loop.RunPending();
    std::this_thread::sleep_for(milliseconds(2));
  }
  return true;
}

TEST(TimerTest, TicksRepeatedlyOnTheLoopThreadWhileEnabled) {
  LocalEventLoop loop;
  Timer timer(loop);
  int ticks = 0;
  bool on_loop = true;
  timer.SetInterval(10);
  timer.SetOnTimer([&] {
    ++ticks;
    on_loop = on_loop && loop.IsLoopThread();
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(RunUntil(loop, [&] { return ticks >= 3; }));
  EXPECT_TRUE(on_loop);
}

TEST(TimerTest, DisablingFromAnotherThreadCancelsAQueuedTick) {
  LocalEventLoop loop;
  Timer timer(loop);
  int ticks = 0;
  timer.SetInterval(20);
  timer.SetOnTimer([&] { ++ticks; });
  timer.SetEnabled(true);
  std::thread([&] { timer.SetEnabled(false); }).join();
  std::this_thread::sleep_for(milliseconds(60));
  loop.RunPending();
  EXPECT_EQ(ticks, 0);
  EXPECT_FALSE(timer.Enabled());
}

TEST(TimerTest, RestartPostponesTheTickByAFullInterval) {
  LocalEventLoop loop;
  Timer timer(loop);
  std::atomic<int> ticks{0};
  timer.SetInterval(150);
  timer.SetOnTimer([&] { ++ticks; });
  const auto start = Clock::now();
  timer.SetEnabled(true);
  // Restarting every 50 ms keeps the timer from ever running out.
  for (int i = 0; i < 6; ++i) {
    std::this_thread::sleep_for(milliseconds(50));
    loop.RunPending();
    timer.Restart();
  }
  EXPECT_EQ(ticks, 0);
  ASSERT_TRUE(RunUntil(loop, [&] { return ticks == 1; }));
  EXPECT_GE(Clock::now() - start, milliseconds(300 + 150));
  timer.SetEnabled(false);
}

TEST(TimerTest, ZeroIntervalNeverTicksAndDestroyedTimerLeavesNoTick) {
  LocalEventLoop loop;
  int ticks = 0;
  {
    Timer timer(loop);
    timer.SetInterval(0);
    timer.SetOnTimer([&] { ++ticks; });
    timer.SetEnabled(true);
    timer.SetInterval(5);  // Starts counting now.
    timer.SetInterval(0);  // And stops again.
  }
  {
    Timer timer(loop);
    timer.SetInterval(5);
    timer.SetOnTimer([&] { ++ticks; });
    timer.SetEnabled(true);
  }  // Destroyed with a tick queued.
  std::this_thread::sleep_for(milliseconds(30));
  loop.RunPending();
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace vantrel
