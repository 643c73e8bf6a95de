// A served gateway that notes its process's threads and descriptors and
// checks that they come back. Threads idle in the server's pool are not
// counted: the pool keeps up to 64 of them by design, as many as the
// busiest moment needed.
#ifndef VANTREL_TESTS_LOAD_LOAD_GATEWAY_TEST_H_
#define VANTREL_TESTS_LOAD_LOAD_GATEWAY_TEST_H_

#include <chrono>
#include <memory>
#include <string>

#include "http/thread_manager.h"
#include "tests/app/served_gateway_test.h"
#include "tests/support/process_stats.h"

namespace vantrel::test {

// Sanitizer builds run several times slower, so the time bounds of these
// tests stretch by kSlowdown there; their allocators keep freed memory in
// quarantine, so resident memory says nothing about leaks (LeakSanitizer
// looks for those instead).
#ifdef VANTREL_LOAD_UNDER_SANITIZERS
inline constexpr int kSlowdown = 3;
inline constexpr bool kMemoryMeasurable = false;
#else
inline constexpr int kSlowdown = 1;
inline constexpr bool kMemoryMeasurable = true;
#endif

class LoadGatewayTest : public ServedGatewayTest {
 protected:
  static std::string Body(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "<no header>" : answer.substr(end + 4);
  }

  // Threads of the process other than those idle in the server's pool.
  int BusyThreadCount() {
    const auto pool = std::dynamic_pointer_cast<DefaultThreadManager>(
        gateway_ ? gateway_->HTTPServer().ThreadMgr() : nullptr);
    return ThreadCount() - (pool ? pool->IdleThreadCount() : 0);
  }

  // Notes the counts the test must come back to.
  void NoteCounts() {
    threads_ = BusyThreadCount();
    descriptors_ = OpenDescriptorCount();
  }

  // Waits for the counts to come back; a failure names them.
  ::testing::AssertionResult CountsBack() {
    if (WaitUntil(
            [this] {
              return BusyThreadCount() <= threads_ && OpenDescriptorCount() == descriptors_;
            },
            std::chrono::milliseconds(10000))) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << BusyThreadCount() << " threads (" << threads_ << " before), " << OpenDescriptorCount()
           << " descriptors (" << descriptors_ << " before)";
  }

 private:
  int threads_ = 0;
  int descriptors_ = 0;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_LOAD_LOAD_GATEWAY_TEST_H_
