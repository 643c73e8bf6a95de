#include "http/worker_thread.h"

#include <cerrno>
#include <exception>
#include <utility>

namespace vantrel {
namespace {

std::string MessageOf(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "Unknown exception.";
  }
}

}  // namespace

WorkerThread::WorkerThread() { ::sem_init(&resume_, 0, 0); }

WorkerThread::~WorkerThread() {
  WorkerThread::TerminateAndWait();
  AwaitWakers();
  ::sem_destroy(&resume_);
}

void WorkerThread::StartLoop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_ || terminated_) return;
    if (id_ == std::thread::id()) {
      // Should the new thread still find stopped_ set, it sleeps until the
      // post below.
      thread_ = std::thread(&WorkerThread::ThreadMain, this);
      id_ = thread_.get_id();
    }
    stopped_ = false;
    wakers_.fetch_add(1, std::memory_order_relaxed);
  }
  // Woken after the lock is let go. While stopped_ was set nobody but the
  // loop itself could be waiting (WaitForStop's waiters find it set).
  ::sem_post(&resume_);
  // The last touch of this object: a thread that frees itself waits for it.
  wakers_.fetch_sub(1, std::memory_order_release);
}

void WorkerThread::StopLoop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_ || terminated_) return;
  if (stop_mode_ == ThreadStopMode::kTerminate) terminated_ = true;
  stopped_ = true;
  wake_.notify_all();
}

void WorkerThread::Terminate() {
  std::lock_guard<std::mutex> lock(mutex_);
  terminated_ = true;
  wake_.notify_all();
  ::sem_post(&resume_);
}

void WorkerThread::TerminateAndWait() {
  std::thread to_join;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    terminated_ = true;
    wake_.notify_all();
    ::sem_post(&resume_);
    if (id_ == std::this_thread::get_id()) return;
    to_join = std::move(thread_);
  }
  if (to_join.joinable()) to_join.join();
}

bool WorkerThread::IsCurrentThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return id_ == std::this_thread::get_id();
}

ThreadStopMode WorkerThread::StopMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_mode_;
}

void WorkerThread::SetStopMode(ThreadStopMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  stop_mode_ = mode;
}

void WorkerThread::SetFreeOnTerminate(bool value) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_on_terminate_ = value;
}

std::string WorkerThread::TerminatingExceptionText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exception_text_;
}

void WorkerThread::SetOnException(ExceptionEvent handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_exception_ = std::move(handler);
}

bool WorkerThread::WaitForStop(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, timeout, [this] { return stopped_ || terminated_; });
}

void WorkerThread::ThreadMain() {
  MainLoop();
  bool free_self;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    free_self = free_on_terminate_;
    if (free_self && thread_.joinable()) thread_.detach();
  }
  if (!free_self) return;
  AwaitWakers();
  delete this;
}

void WorkerThread::AwaitWakers() const {
  // A StartLoop that let go of the lock may still be about to notify; it
  // takes no longer than one notify.
  while (wakers_.load(std::memory_order_acquire) != 0) std::this_thread::yield();
}

void WorkerThread::MainLoop() {
  while (!terminated_) {
    if (stopped_) {
      SleepWhileStopped();
      if (terminated_) {
        try {
          AfterRun();
        } catch (...) {
          ReportFailure(std::current_exception());
        }
        return;
      }
    }

    std::exception_ptr failure;
    try {
      BeforeRun();
      while (!Stopped()) RunOnce();
    } catch (...) {
      failure = std::current_exception();
      Terminate();
    }
    try {
      AfterRun();
    } catch (...) {
      if (!failure) failure = std::current_exception();
      Terminate();
    }
    if (failure) {
      ReportFailure(failure);
      return;
    }
  }
}

void WorkerThread::SleepWhileStopped() {
  // A post left over from an earlier start or termination only makes the
  // loop look at the flags once more: they are set before every post.
  while (stopped_ && !terminated_) {
    if (::sem_wait(&resume_) != 0 && errno != EINTR) std::this_thread::yield();
  }
}

void WorkerThread::ReportFailure(const std::exception_ptr& failure) {
  const std::string message = MessageOf(failure);
  ExceptionEvent handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    exception_text_ = message;
    handler = on_exception_;
  }
  if (!handler) return;
  try {
    handler(*this, message);
  } catch (...) {
    // The thread is ending anyway; an exception from its own handler has
    // nowhere left to go.
  }
}

}  // namespace vantrel
