// The thread that serves one accepted connection.
//
// The listener gives the thread its connection and its manager while the
// thread is stopped, adds it to the server's Threads and starts it. On the
// thread: the server's connect hook (BeforeRun); the execute hook, again
// and again while the connection stays open (RunOnce); then the disconnect
// hook, and the thread leaves Threads, frees the connection and releases
// itself to its manager (AfterRun). Releasing comes last: a pooled thread
// may be handed the next connection at once, so after it nothing of the
// previous connection is touched.
//
// The execute hook's handler reads and writes through Connection(). An
// exception other than the quiet ends below ends the thread; the client
// sees the connection close.
#ifndef VANTREL_HTTP_PEER_THREAD_H_
#define VANTREL_HTTP_PEER_THREAD_H_

#include <memory>

#include "http/tcp_connection.h"
#include "http/worker_thread.h"

namespace vantrel {

class ThreadManager;

class PeerThread : public WorkerThread {
 public:
  PeerThread() = default;
  // Terminates the thread and waits for it (see WorkerThread).
  ~PeerThread() override;

  // The connection being served; null while the thread waits for one.
  // Used by the thread itself (its handlers).
  TcpServerConnection* Connection() const { return connection_.get(); }

  // Called by the listener while the thread is stopped, before StartLoop.
  void SetConnection(std::unique_ptr<TcpServerConnection> connection);
  void SetThreadMgr(std::shared_ptr<ThreadManager> manager);

 protected:
  void RunOnce() override;
  void AfterRun() override;
  void BeforeRun() override;

 private:
  // Set while the thread serves a connection; freed by AfterRun on the
  // thread, after the thread has left the server's Threads.
  std::unique_ptr<TcpServerConnection> connection_;
  // The manager the thread was got from, held while serving so it stays
  // alive until the thread has released itself.
  std::shared_ptr<ThreadManager> thread_mgr_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_PEER_THREAD_H_
