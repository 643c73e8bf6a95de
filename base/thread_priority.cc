#include "base/thread_priority.h"

namespace vantrel {

LowThreadPriority::LowThreadPriority() : thread_(::pthread_self()) {
  if (::pthread_getschedparam(thread_, &earlier_policy_, &earlier_param_) != 0) return;
  if (earlier_policy_ == SCHED_IDLE) return;  // Low already.
  const sched_param idle{};
  if (::pthread_setschedparam(thread_, SCHED_IDLE, &idle) != 0) return;
  lowered_ = true;
  restored_ = false;
}

LowThreadPriority::~LowThreadPriority() { Restore(); }

bool LowThreadPriority::Restore() {
  if (lowered_) {
    lowered_ = false;
    restored_ = ::pthread_setschedparam(thread_, earlier_policy_, &earlier_param_) == 0;
  }
  return restored_;
}

bool LowThreadPriority::IsLow() {
  int policy = SCHED_OTHER;
  sched_param param{};
  return ::pthread_getschedparam(::pthread_self(), &policy, &param) == 0 && policy == SCHED_IDLE;
}

}  // namespace vantrel
