// Thread managers hand out the peer threads that serve accepted connections
// and take them back when a connection has been served.
//
// The server's listener asks its manager for a thread for every accepted
// connection (GetThread) and the thread gives itself back at its end
// (ReleaseThread, called on that very thread). A manager is shared: the
// server holds it, and every thread it handed out holds it until the thread
// has released itself, so a manager outlives all threads still working for
// it. All members may be called from any thread.
#ifndef VANTREL_HTTP_THREAD_MANAGER_H_
#define VANTREL_HTTP_THREAD_MANAGER_H_

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vantrel {

class PeerThread;

// Makes a new, suspended peer thread: the server's "thread class". A
// factory may return a subclass of PeerThread.
using PeerThreadClass = std::function<std::unique_ptr<PeerThread>()>;

class ThreadManager {
 public:
  ThreadManager() = default;
  ThreadManager(const ThreadManager&) = delete;
  ThreadManager& operator=(const ThreadManager&) = delete;
  virtual ~ThreadManager() = default;

  PeerThreadClass ThreadClass() const;
  void SetThreadClass(PeerThreadClass thread_class);

  // A new thread from ThreadClass, suspended. Raises
  // ThreadClassNotSpecifiedError "Thread Class Not Specified." when no class
  // is set (or it makes nothing).
  virtual std::unique_ptr<PeerThread> CreateNewThread();

  // A suspended thread for a new connection, counted as active. The thread
  // is then owned by itself: it ends by releasing itself.
  virtual PeerThread* GetThread() = 0;

  // Takes back `thread`, which is no longer active. Called on `thread`
  // itself, as the last thing it does for its connection: the thread is
  // then marked to free itself when it ends (or kept for reuse). Called on
  // another thread, for a thread that never ran: terminates, waits for and
  // frees it.
  virtual void ReleaseThread(PeerThread& thread) = 0;

  // Called by the owner that frees the manager: afterwards no thread is
  // kept for reuse. The base keeps none, so does nothing.
  virtual void Shutdown() {}

  int ActiveThreadCount() const;

 protected:
  void AddActiveThread(PeerThread* thread);
  void RemoveActiveThread(PeerThread* thread);

 private:
  mutable std::mutex mutex_;
  PeerThreadClass thread_class_;             // Guarded by mutex_.
  std::vector<PeerThread*> active_threads_;  // Guarded by mutex_; handed out, not yet released.
};

// Hands out a fresh thread for every connection unless a finished one is
// waiting in its idle pool; a finished thread goes back to the pool (at most
// MaxIdleThreads of them) instead of ending, so the next connection skips
// creating a thread. Every connection still gets a thread of its own at
// once, and the number of connections is not limited. A thread that ended
// through an exception is never kept.
class DefaultThreadManager final : public ThreadManager {
 public:
  static constexpr int kDefaultMaxIdleThreads = 64;

  explicit DefaultThreadManager(int max_idle_threads = kDefaultMaxIdleThreads);
  // Shuts down: idle threads are terminated, waited for and freed.
  ~DefaultThreadManager() override;

  PeerThread* GetThread() override;
  void ReleaseThread(PeerThread& thread) override;

  // Terminates, waits for and frees the idle threads; threads released
  // later free themselves. Idempotent.
  void Shutdown() override;

  int MaxIdleThreads() const { return max_idle_threads_; }
  int IdleThreadCount() const;

 private:
  const int max_idle_threads_;
  mutable std::mutex pool_mutex_;
  // Finished threads waiting, suspended and without a connection, to be
  // handed out again. Guarded by pool_mutex_; at most max_idle_threads_,
  // and empty once shut_down_.
  std::vector<std::unique_ptr<PeerThread>> idle_threads_;
  bool shut_down_ = false;  // Guarded by pool_mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_THREAD_MANAGER_H_
