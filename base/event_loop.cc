#include "base/event_loop.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

namespace vantrel {

void EventLoop::RunTask(const Task& task) const {
  try {
    task();
  } catch (const std::exception& error) {
    if (on_error_) {
      on_error_(error.what());
    } else {
      std::fprintf(stderr, "%s\n", error.what());
    }
  } catch (...) {
    if (on_error_) on_error_("Unknown exception");
  }
}

bool EventLoop::Invoke(Task task) {
  if (IsLoopThread()) {
    task();
    return true;
  }
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ran = false;
    std::exception_ptr error;
  };
  auto state = std::make_shared<State>();
  // Released when the loop has run the task or dropped it unrun; either way
  // the waiting caller wakes.
  std::shared_ptr<void> notifier(nullptr, [state](void*) {
    std::lock_guard lock(state->mutex);
    state->finished = true;
    state->done.notify_all();
  });
  Post([task = std::move(task), state, notifier = std::move(notifier)] {
    try {
      task();
    } catch (...) {
      state->error = std::current_exception();
    }
    state->ran = true;
  });
  std::unique_lock lock(state->mutex);
  state->done.wait(lock, [&] { return state->finished; });
  if (state->error) std::rethrow_exception(state->error);
  return state->ran;
}

}  // namespace vantrel
