#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/local_event_loop.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

// Runs a loop on a thread of its own for the length of a test.
class RunningLoop {
 public:
  RunningLoop() : thread_([this] { loop_.Run(); }) {
    // Until Run starts, the loop belongs to this thread and Invoke would run
    // tasks here: wait for a posted task to run on the loop's thread.
    std::promise<void> started;
    loop_.Post([&started] { started.set_value(); });
    started.get_future().wait();
  }
  ~RunningLoop() {
    loop_.Quit();
    thread_.join();
  }
  LocalEventLoop& loop() { return loop_; }

 private:
  LocalEventLoop loop_;
  std::thread thread_;
};

TEST(EventLoopTest, PostedTasksRunInOrderOnTheLoopThread) {
  RunningLoop running;
  std::vector<int> order;
  std::atomic<bool> all_on_loop{true};
  for (int i = 0; i < 100; ++i) {
    running.loop().Post([&, i] {
      order.push_back(i);
      if (!running.loop().IsLoopThread()) all_on_loop = false;
    });
  }
  running.loop().Invoke([] {});  // Everything posted before has run.
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_TRUE(all_on_loop);
  EXPECT_FALSE(running.loop().IsLoopThread());
}

TEST(EventLoopTest, InvokeWaitsRunsInlineOnTheLoopAndCarriesExceptions) {
  RunningLoop running;
  int value = 0;
  EXPECT_TRUE(running.loop().Invoke([&] { value = 1; }));
  EXPECT_EQ(value, 1);

  // An Invoke from a task on the loop itself must run at once, not deadlock.
  bool inner_ran = false;
  running.loop().Invoke([&] { running.loop().Invoke([&] { inner_ran = true; }); });
  EXPECT_TRUE(inner_ran);

  EXPECT_THROW(running.loop().Invoke([] { throw std::runtime_error("boom"); }), std::runtime_error);
}

TEST(EventLoopTest, InvokeOnAStoppedLoopReturnsFalseInsteadOfHanging) {
  LocalEventLoop loop;
  loop.Quit();
  bool ran = false;
  std::thread other([&] { EXPECT_FALSE(loop.Invoke([&] { ran = true; })); });
  other.join();
  EXPECT_FALSE(ran);
}

TEST(EventLoopTest, CallerWaitingInInvokeWakesWhenTheLoopQuits) {
  LocalEventLoop loop;  // Never run: the task stays queued until Quit drops it.
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    EXPECT_FALSE(loop.Invoke([] {}));
    returned = true;
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(returned);
  loop.Quit();
  caller.join();
  EXPECT_TRUE(returned);
}

TEST(EventLoopTest, DelayedTasksRunInDueOrderAndCancelledOnesNever) {
  LocalEventLoop loop;
  std::vector<int> order;
  loop.PostDelayed(milliseconds(60), [&] { order.push_back(3); });
  loop.PostDelayed(milliseconds(20), [&] { order.push_back(2); });
  const auto cancelled = loop.PostDelayed(milliseconds(10), [&] { order.push_back(99); });
  loop.Post([&] { order.push_back(1); });
  loop.CancelDelayed(cancelled);
  loop.CancelDelayed(12345);  // Unknown ids are ignored.
  loop.PostDelayed(milliseconds(100), [&] { loop.Quit(); });
  loop.Run();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(EventLoopTest, ExceptionInATaskIsReportedAndTheLoopGoesOn) {
  LocalEventLoop loop;
  std::string reported;
  loop.SetOnError([&](const std::string& message) { reported = message; });
  bool later_ran = false;
  loop.Post([] { throw std::runtime_error("task failed"); });
  loop.Post([&] { later_ran = true; });
  loop.RunPending();
  EXPECT_EQ(reported, "task failed");
  EXPECT_TRUE(later_ran);
}

}  // namespace
}  // namespace vantrel
