#include "base/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel {

LowThreadPriority::LowThreadPriority() : tid_(static_cast<int>(::gettid())) {
  // getpriority may return -1 as a value: errno tells it from a failure.
  errno = 0;
  const int earlier = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid_));
  if (earlier == -1 && errno != 0) return;
  if (earlier >= kNice) return;  // Low enough already.
  if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), kNice) != 0) return;
  earlier_ = earlier;
  lowered_ = true;
  restored_ = false;
}

LowThreadPriority::~LowThreadPriority() { Restore(); }

bool LowThreadPriority::Restore() {
  if (lowered_) {
    lowered_ = false;
    restored_ = ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), earlier_) == 0;
  }
  return restored_;
}

}  // namespace vantrel
