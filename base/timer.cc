#include "base/timer.h"

#include <mutex>

namespace vantrel {

struct Timer::State {
  explicit State(EventLoop& event_loop) : loop(event_loop) {}

  // Queues the next tick; the caller holds `mutex`.
  void Schedule(const std::shared_ptr<State>& self) {
    if (pending != 0) loop.CancelDelayed(pending);
    pending = 0;
    if (!enabled || interval <= 0) return;
    const unsigned long long tick = ++generation;
    std::weak_ptr<State> weak = self;
    pending =
        loop.PostDelayed(std::chrono::milliseconds(interval), [weak, tick] { Fire(weak, tick); });
  }

  static void Fire(const std::weak_ptr<State>& weak, unsigned long long tick) {
    const std::shared_ptr<State> self = weak.lock();
    if (!self) return;
    std::function<void()> callback;
    {
      std::lock_guard lock(self->mutex);
      if (tick != self->generation || !self->enabled) return;  // Overtaken by a change.
      self->pending = 0;
      self->Schedule(self);
      callback = self->on_timer;
    }
    if (callback) callback();
  }

  EventLoop& loop;
  mutable std::mutex mutex;
  bool enabled = false;                  // Guarded by mutex.
  int interval = 1000;                   // Guarded by mutex.
  unsigned long long generation = 0;     // Guarded by mutex; identifies the live tick.
  EventLoop::DelayedTaskId pending = 0;  // Guarded by mutex; 0 when none is queued.
  std::function<void()> on_timer;        // Guarded by mutex.
};

Timer::Timer(EventLoop& loop) : state_(std::make_shared<State>(loop)) {}

Timer::~Timer() { SetEnabled(false); }

bool Timer::Enabled() const {
  std::lock_guard lock(state_->mutex);
  return state_->enabled;
}

void Timer::SetEnabled(bool enabled) {
  std::lock_guard lock(state_->mutex);
  if (state_->enabled == enabled) return;
  state_->enabled = enabled;
  ++state_->generation;
  state_->Schedule(state_);
}

int Timer::Interval() const {
  std::lock_guard lock(state_->mutex);
  return state_->interval;
}

void Timer::SetInterval(int milliseconds) {
  std::lock_guard lock(state_->mutex);
  if (state_->interval == milliseconds) return;
  state_->interval = milliseconds;
  ++state_->generation;
  state_->Schedule(state_);
}

void Timer::Restart() {
  std::lock_guard lock(state_->mutex);
  state_->enabled = true;
  ++state_->generation;
  state_->Schedule(state_);
}

void Timer::SetOnTimer(std::function<void()> on_timer) {
  std::lock_guard lock(state_->mutex);
  state_->on_timer = std::move(on_timer);
}

}  // namespace vantrel
