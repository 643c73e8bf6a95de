// The one way the system retries a system call that a signal interrupted.
#ifndef VANTREL_BASE_RETRY_ON_INTERRUPT_H_
#define VANTREL_BASE_RETRY_ON_INTERRUPT_H_

#include <cerrno>

namespace vantrel {

// Runs `call` until it is not interrupted by a signal: until it returns a
// non-negative result or fails with another error than EINTR (errno then
// tells which). Not for close(): a close interrupted on Linux has still
// released the descriptor, and retrying it could close another one.
template <typename Call>
auto RetryOnInterrupt(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

}  // namespace vantrel

#endif  // VANTREL_BASE_RETRY_ON_INTERRUPT_H_
