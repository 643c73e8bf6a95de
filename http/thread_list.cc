#include "http/thread_list.h"

#include <algorithm>

namespace vantrel {

void ThreadList::Add(PeerThread* thread) {
  std::lock_guard<std::mutex> lock(mutex_);
  threads_.push_back(thread);
}

void ThreadList::Remove(PeerThread* thread) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find(threads_.begin(), threads_.end(), thread);
  if (found != threads_.end()) threads_.erase(found);
  removed_.notify_all();
}

int ThreadList::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(threads_.size());
}

void ThreadList::ForEach(const std::function<void(PeerThread& thread)>& visit) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (PeerThread* thread : threads_) visit(*thread);
}

bool ThreadList::WaitUntilEmpty(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return removed_.wait_for(lock, timeout, [this] { return threads_.empty(); });
}

void ThreadList::WaitUntilEmpty() const {
  std::unique_lock<std::mutex> lock(mutex_);
  removed_.wait(lock, [this] { return threads_.empty(); });
}

bool ThreadList::WaitUntilBelow(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return removed_.wait_for(lock, timeout,
                           [this, count] { return static_cast<int>(threads_.size()) < count; });
}

}  // namespace vantrel
