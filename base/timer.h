// A restartable timer that ticks on an event loop's thread.
//
// While enabled, OnTimer runs on the loop's thread each time a full
// interval has passed since the timer was enabled, restarted or last
// ticked. An interval of 0 never ticks. Every method may be called from any
// thread; a change made while a tick is queued but not yet run cancels it.
// The owner destroys the timer on the loop's thread or after the loop has
// stopped, so that no tick is running into a destroyed owner.
#ifndef VANTREL_BASE_TIMER_H_
#define VANTREL_BASE_TIMER_H_

#include <functional>
#include <memory>

#include "base/event_loop.h"

namespace vantrel {

class Timer {
 public:
  explicit Timer(EventLoop& loop);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const;
  // Enabling a disabled timer starts a full interval; enabling an enabled
  // one changes nothing.
  void SetEnabled(bool enabled);

  int Interval() const;
  // Milliseconds; a change while enabled starts a full new interval.
  void SetInterval(int milliseconds);

  // Starts a full new interval from now and enables the timer.
  void Restart();

  void SetOnTimer(std::function<void()> on_timer);

 private:
  struct State;
  std::shared_ptr<State> state_;  // Shared with queued ticks, which hold it weakly.
};

}  // namespace vantrel

#endif  // VANTREL_BASE_TIMER_H_
