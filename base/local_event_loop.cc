#include "base/local_event_loop.h"

#include <cstdio>
#include <exception>
#include <vector>

namespace vantrel {

LocalEventLoop::LocalEventLoop() : owner_(std::this_thread::get_id()) {}

LocalEventLoop::~LocalEventLoop() {
  // Tasks are destroyed outside the lock: destroying an Invoke task wakes
  // its caller, which must not find the mutex held by a dying loop.
  std::deque<Task> ready;
  std::multimap<Clock::time_point, Delayed> delayed;
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
    ready.swap(ready_);
    delayed.swap(delayed_);
  }
}

void LocalEventLoop::RunAndRelease(Task& task) {
  RunTask(task);
  // What the task holds goes now, not when the next task arrives: a waiting
  // Invoke or a closing port must not wait on an idle loop.
  task = nullptr;
}

void LocalEventLoop::Run() {
  owner_ = std::this_thread::get_id();
  Task task;
  while (TakeNext(task, /*wait=*/true)) RunAndRelease(task);
}

int LocalEventLoop::RunPending() {
  int count = 0;
  Task task;
  while (TakeNext(task, /*wait=*/false)) {
    RunAndRelease(task);
    ++count;
  }
  return count;
}

void LocalEventLoop::Quit() {
  std::deque<Task> dropped;
  std::multimap<Clock::time_point, Delayed> dropped_delayed;
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
    dropped.swap(ready_);
    dropped_delayed.swap(delayed_);
    delay_due_.clear();
  }
  wake_.notify_all();
}

bool LocalEventLoop::Quitting() const {
  std::lock_guard lock(mutex_);
  return quitting_;
}

void LocalEventLoop::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (quitting_) return;  // `task` is destroyed on return, outside the lock.
    ready_.push_back(std::move(task));
  }
  wake_.notify_one();
}

EventLoop::DelayedTaskId LocalEventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
  DelayedTaskId id;
  {
    std::lock_guard lock(mutex_);
    id = next_id_++;
    if (quitting_) return id;
    const Clock::time_point due = Clock::now() + delay;
    delayed_.emplace(due, Delayed{id, std::move(task)});
    delay_due_.emplace(id, due);
  }
  wake_.notify_one();
  return id;
}

void LocalEventLoop::CancelDelayed(DelayedTaskId id) {
  Task dropped;
  std::lock_guard lock(mutex_);
  const auto due = delay_due_.find(id);
  if (due == delay_due_.end()) return;
  auto [first, last] = delayed_.equal_range(due->second);
  for (auto it = first; it != last; ++it) {
    if (it->second.id == id) {
      dropped = std::move(it->second.task);
      delayed_.erase(it);
      break;
    }
  }
  delay_due_.erase(due);
}

bool LocalEventLoop::IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }

bool LocalEventLoop::TakeNext(Task& task, bool wait) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quitting_) return false;
    // Delayed tasks that have come due join the ready queue in due order.
    const Clock::time_point now = Clock::now();
    while (!delayed_.empty() && delayed_.begin()->first <= now) {
      auto node = delayed_.extract(delayed_.begin());
      delay_due_.erase(node.mapped().id);
      ready_.push_back(std::move(node.mapped().task));
    }
    if (!ready_.empty()) {
      task = std::move(ready_.front());
      ready_.pop_front();
      return true;
    }
    if (!wait) return false;
    if (delayed_.empty()) {
      wake_.wait(lock);
    } else {
      wake_.wait_until(lock, delayed_.begin()->first);
    }
  }
}

}  // namespace vantrel
