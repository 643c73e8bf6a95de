// Helpers shared by the server tests: starting a server on the loopback
// address and collecting what handlers on peer threads observed.
#ifndef VANTREL_TESTS_HTTP_SERVER_TEST_UTIL_H_
#define VANTREL_TESTS_HTTP_SERVER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/tcp_server.h"
#include "tests/support/process_stats.h"

namespace vantrel::test {

// Events recorded by handlers on peer threads, awaited by the test thread.
class EventLog {
 public:
  void Add(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }

  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

  bool Contains(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }

  // Waits until `event` has been recorded.
  bool WaitFor(const std::string& event,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      return std::find(events_.begin(), events_.end(), event) != events_.end();
    });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> events_;
};

// A test that must leave no thread and no descriptor behind. Checked when
// the fixture, and with it any server it holds, is gone, giving threads that
// free themselves a moment to end. It also keeps one test's stragglers from
// skewing the counts the next test starts from. Threads are checked for "no
// more than before": a thread that has just been joined may still be listed
// for a moment, so a baseline can come out one too high, never too low.
class LeakCheckedTest : public ::testing::Test {
 protected:
  LeakCheckedTest() : threads_(CountThreads()), descriptors_(OpenDescriptorCount()) {}
  ~LeakCheckedTest() override {
    const bool settled = WaitUntil(
        [this] { return ThreadCount() <= threads_ && OpenDescriptorCount() == descriptors_; },
        std::chrono::milliseconds(5000));
    EXPECT_TRUE(settled) << ThreadCount() << " threads (" << threads_ << " before), "
                         << OpenDescriptorCount() << " descriptors (" << descriptors_ << " before)";
  }

 private:
  // Sanitizer runtimes start a helper thread along with the first thread
  // the process creates; have it exist before counting.
  static int CountThreads() {
    std::thread([] {}).join();
    return ThreadCount();
  }

  const int threads_;
  const int descriptors_;
};

// Binds `server` to 127.0.0.1 on a port the system picks, activates it and
// returns the bound port.
inline int ActivateOnLoopback(TcpServer& server) {
  server.Bindings().Clear();
  SocketHandle& binding = server.Bindings().Add();
  binding.LocalIP = "127.0.0.1";
  binding.LocalPort = 0;
  server.SetActive(true);
  return server.Bindings()[0].LocalPort;
}

// Bytes 0, 1, ..., 250, 0, 1, ... : a pattern that shows lost, doubled or
// reordered chunks.
inline std::string PatternBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_HTTP_SERVER_TEST_UTIL_H_
