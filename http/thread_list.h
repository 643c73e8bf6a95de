// The server's locked list of live peer threads (TcpServer::Threads).
//
// The listener adds a thread before starting it; the thread removes itself
// at its end; deactivation walks the list. All members lock the list and
// may be called from any thread. The list does not own the threads.
#ifndef VANTREL_HTTP_THREAD_LIST_H_
#define VANTREL_HTTP_THREAD_LIST_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace vantrel {

class PeerThread;

class ThreadList {
 public:
  ThreadList() = default;
  ThreadList(const ThreadList&) = delete;
  ThreadList& operator=(const ThreadList&) = delete;

  void Add(PeerThread* thread);

  // Removes `thread` and wakes the waiters. The wake-up happens under the
  // lock, so a waiter that then destroys the list (with its server) cannot
  // pull it from under this call.
  void Remove(PeerThread* thread);

  int Count() const;

  // Calls `visit` for every thread with the list locked: the threads cannot
  // leave the list (nor end) meanwhile. `visit` must not call back into the
  // list.
  void ForEach(const std::function<void(PeerThread& thread)>& visit) const;

  // Waits until the list is empty or `timeout` has passed; returns whether
  // it is empty.
  bool WaitUntilEmpty(std::chrono::milliseconds timeout) const;
  // Waits without a time limit until the list is empty.
  void WaitUntilEmpty() const;
  // Waits until the list holds fewer than `count` threads or `timeout` has
  // passed; returns whether it does.
  bool WaitUntilBelow(int count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable removed_;  // Signalled whenever a thread leaves threads_.
  std::vector<PeerThread*> threads_;         // Guarded by mutex_; no duplicates.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_THREAD_LIST_H_
