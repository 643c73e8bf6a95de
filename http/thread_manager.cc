#include "http/thread_manager.h"

#include <algorithm>
#include <utility>

#include "http/net_errors.h"
#include "http/peer_thread.h"

namespace vantrel {

PeerThreadClass ThreadManager::ThreadClass() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return thread_class_;
}

void ThreadManager::SetThreadClass(PeerThreadClass thread_class) {
  std::lock_guard<std::mutex> lock(mutex_);
  thread_class_ = std::move(thread_class);
}

std::unique_ptr<PeerThread> ThreadManager::CreateNewThread() {
  const PeerThreadClass thread_class = ThreadClass();
  std::unique_ptr<PeerThread> thread = thread_class ? thread_class() : nullptr;
  if (!thread) throw ThreadClassNotSpecifiedError(kThreadClassNotSpecifiedMessage);
  return thread;
}

int ThreadManager::ActiveThreadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(active_threads_.size());
}

void ThreadManager::AddActiveThread(PeerThread* thread) {
  std::lock_guard<std::mutex> lock(mutex_);
  active_threads_.push_back(thread);
}

void ThreadManager::RemoveActiveThread(PeerThread* thread) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find(active_threads_.begin(), active_threads_.end(), thread);
  if (found != active_threads_.end()) active_threads_.erase(found);
}

DefaultThreadManager::DefaultThreadManager(int max_idle_threads)
    : max_idle_threads_(std::max(0, max_idle_threads)) {}

DefaultThreadManager::~DefaultThreadManager() { Shutdown(); }

PeerThread* DefaultThreadManager::GetThread() {
  std::unique_ptr<PeerThread> thread;
  {
    std::lock_guard<std::mutex> lock(pool_mutex_);
    if (!idle_threads_.empty()) {
      thread = std::move(idle_threads_.back());
      idle_threads_.pop_back();
    }
  }
  if (!thread) {
    thread = CreateNewThread();
    // Stopping after a connection only parks the thread, so it can be kept.
    thread->SetStopMode(ThreadStopMode::kSuspend);
  }
  PeerThread* active = thread.release();
  AddActiveThread(active);
  return active;
}

void DefaultThreadManager::ReleaseThread(PeerThread& thread) {
  RemoveActiveThread(&thread);
  if (!thread.IsCurrentThread()) {
    thread.TerminateAndWait();
    delete &thread;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(pool_mutex_);
    if (!shut_down_ && !thread.Terminated() &&
        static_cast<int>(idle_threads_.size()) < max_idle_threads_) {
      idle_threads_.emplace_back(&thread);
      return;
    }
  }
  thread.SetFreeOnTerminate(true);
  thread.Terminate();
}

void DefaultThreadManager::Shutdown() {
  std::vector<std::unique_ptr<PeerThread>> idle;
  {
    std::lock_guard<std::mutex> lock(pool_mutex_);
    shut_down_ = true;
    idle.swap(idle_threads_);
  }
  for (std::unique_ptr<PeerThread>& thread : idle) {
    if (thread->IsCurrentThread()) {
      // The last holder of the manager is a thread that has just parked
      // itself here; it cannot wait for itself, so it frees itself instead.
      thread->SetFreeOnTerminate(true);
      thread->Terminate();
      static_cast<void>(thread.release());
      continue;
    }
    thread->TerminateAndWait();
  }
}

int DefaultThreadManager::IdleThreadCount() const {
  std::lock_guard<std::mutex> lock(pool_mutex_);
  return static_cast<int>(idle_threads_.size());
}

}  // namespace vantrel
