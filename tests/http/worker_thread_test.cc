// The thread loop and the thread manager, without sockets.
#include "http/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "base/exception.h"
#include "http/net_errors.h"
#include "http/peer_thread.h"
#include "http/thread_manager.h"
#include "tests/support/process_stats.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

class CountingThread final : public WorkerThread {
 public:
  explicit CountingThread(int fail_on_run = 0, bool stop_each_run = false)
      : fail_on_run_(fail_on_run), stop_each_run_(stop_each_run) {}
  ~CountingThread() override { TerminateAndWait(); }

  std::atomic<int> before_runs{0};
  std::atomic<int> runs{0};
  std::atomic<int> after_runs{0};
  std::atomic<bool> terminated_in_after_run{false};

 protected:
  void BeforeRun() override { ++before_runs; }
  void RunOnce() override {
    const int run = ++runs;
    if (run == fail_on_run_) throw Exception("run failed");
    if (stop_each_run_) {
      StopLoop();
    } else {
      std::this_thread::sleep_for(milliseconds(1));
    }
  }
  void AfterRun() override {
    terminated_in_after_run = Terminated();
    ++after_runs;
  }

 private:
  const int fail_on_run_;
  const bool stop_each_run_;
};

TEST(WorkerThreadTest, ExceptionEndsTheLoopAfterAfterRunAndKeepsItsMessage) {
  CountingThread thread(/*fail_on_run=*/3);
  std::atomic<int> reported{0};
  thread.SetOnException([&reported](WorkerThread&, const std::string& message) {
    if (message == "run failed") ++reported;
  });
  thread.StartLoop();
  ASSERT_TRUE(
      test::WaitUntil([&] { return thread.after_runs == 1 && reported == 1; }, milliseconds(5000)));
  thread.TerminateAndWait();
  EXPECT_EQ(thread.runs, 3);
  EXPECT_TRUE(thread.Terminated());
  // AfterRun already sees the thread terminated, so a pool will not keep it.
  EXPECT_TRUE(thread.terminated_in_after_run);
  EXPECT_EQ(thread.TerminatingExceptionText(), "run failed");
}

TEST(WorkerThreadTest, SuspendModeParksTheThreadUntilStartedAgain) {
  CountingThread thread(/*fail_on_run=*/0, /*stop_each_run=*/true);
  thread.SetStopMode(ThreadStopMode::kSuspend);
  thread.StartLoop();
  ASSERT_TRUE(test::WaitUntil([&] { return thread.after_runs == 1; }, milliseconds(5000)));
  EXPECT_FALSE(thread.Terminated());
  thread.StartLoop();
  ASSERT_TRUE(test::WaitUntil([&] { return thread.after_runs == 2; }, milliseconds(5000)));
  EXPECT_EQ(thread.before_runs, 2);
  EXPECT_EQ(thread.runs, 2);
  EXPECT_FALSE(thread.terminated_in_after_run);
}

TEST(WorkerThreadTest, TerminateModeStopEndsTheThreadForGood) {
  CountingThread thread(/*fail_on_run=*/0, /*stop_each_run=*/true);
  thread.StartLoop();
  ASSERT_TRUE(test::WaitUntil([&] { return thread.after_runs == 1; }, milliseconds(5000)));
  EXPECT_TRUE(thread.Terminated());
  thread.StartLoop();  // Nothing left to start.
  thread.TerminateAndWait();
  EXPECT_EQ(thread.runs, 1);
}

TEST(WorkerThreadTest, DestroyingARunningThreadStopsAndJoinsIt) {
  const int threads_before = test::ThreadCount();
  auto thread = std::make_unique<CountingThread>();
  thread->StartLoop();
  ASSERT_TRUE(test::WaitUntil([&] { return thread->runs > 0; }, milliseconds(5000)));
  thread.reset();
  // A joined thread may stay listed for a moment after the join.
  EXPECT_TRUE(
      test::WaitUntil([&] { return test::ThreadCount() <= threads_before; }, milliseconds(5000)));
}

TEST(ThreadManagerTest, CreatingWithoutThreadClassRaisesThreadClassNotSpecified) {
  DefaultThreadManager manager;
  try {
    manager.GetThread();
    FAIL() << "a thread was made without a thread class";
  } catch (const ThreadClassNotSpecifiedError& error) {
    EXPECT_EQ(error.Message(), "Thread Class Not Specified.");
  }
  EXPECT_EQ(manager.ActiveThreadCount(), 0);
}

TEST(ThreadManagerTest, ReleasingFromAnotherThreadFreesAThreadThatNeverRan) {
  DefaultThreadManager manager;
  manager.SetThreadClass([] { return std::make_unique<PeerThread>(); });
  PeerThread* thread = manager.GetThread();
  EXPECT_EQ(manager.ActiveThreadCount(), 1);
  manager.ReleaseThread(*thread);  // Freed here; ASan reports a leak otherwise.
  EXPECT_EQ(manager.ActiveThreadCount(), 0);
  EXPECT_EQ(manager.IdleThreadCount(), 0);
}

}  // namespace
}  // namespace vantrel
