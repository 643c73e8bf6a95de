// The thread that accepts connections for an active TcpServer.
//
// One pass (RunOnce): wait up to AcceptWaitTime for a connection on any of
// the server's bindings; for each binding that has one, in binding order:
// accept every waiting connection (up to 64 a pass), each into a new
// TcpServerConnection, get a peer thread from the thread manager, give it
// the connection, add it to the server's Threads and start it. Taking all
// waiting connections after one wait saves a wait per connection under
// load. A failure inside a pass (say, accept failing for lack of
// descriptors) ends only that pass: the listener backs off briefly and
// keeps accepting, so a passing shortage never stops the server for good.
//
// With the server's MaxConnections reached, the listener accepts nothing
// and waits for a peer thread to end; when the limit has stayed reached for
// the server's ConnectionWaitTime, each waiting connection is accepted and
// handed to the server's RefuseConnection, until a thread ends.
// When the loop ends (AfterRun) the listener closes the bindings' sockets,
// keeping their local address and port.
//
// Created and started by the server at activation; stopped, woken and
// waited for at deactivation. While it runs, the listener alone uses the
// bindings' sockets; the server must not change the bindings meanwhile.
#ifndef VANTREL_HTTP_LISTENER_THREAD_H_
#define VANTREL_HTTP_LISTENER_THREAD_H_

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "http/worker_thread.h"

namespace vantrel {

class TcpServer;
class TcpServerConnection;
class ThreadManager;

class ListenerThread final : public WorkerThread {
 public:
  // `server` must outlive the thread; `manager` is kept for the thread's life.
  ListenerThread(TcpServer& server, std::shared_ptr<ThreadManager> manager);
  ~ListenerThread() override;

  int AcceptWaitTime() const { return accept_wait_time_; }
  void SetAcceptWaitTime(int milliseconds) { accept_wait_time_ = milliseconds; }

  TcpServer& Server() const { return server_; }

  // Called from another thread after StopLoop: shuts the listening sockets
  // down so that a pass waiting for connections returns at once rather
  // than after AcceptWaitTime. The sockets are closed by the listener.
  void Wake();

 protected:
  void RunOnce() override;
  void AfterRun() override;

 private:
  void AcceptPass();
  // What to do with the next waiting connection under MaxConnections.
  enum class Slot { kFree, kRefuse, kStop };
  // Waits, while the limit is reached, until a peer thread ends (kFree),
  // the limit has been reached for ConnectionWaitTime (kRefuse) or the
  // listener is stopped (kStop).
  Slot WaitForSlot();
  // Hands an accepted connection to a peer thread and starts it.
  void StartPeer(std::unique_ptr<TcpServerConnection> connection);

  TcpServer& server_;
  std::shared_ptr<ThreadManager> thread_mgr_;  // Never changes while the thread runs.
  std::atomic<int> accept_wait_time_{1000};
  std::vector<int> handles_;  // Scratch for one pass; listener thread only.
  // Since when connections have waited with MaxConnections reached, without
  // a free slot or a pass without connections in between; empty otherwise.
  // Listener thread only.
  std::optional<std::chrono::steady_clock::time_point> full_since_;
  // Guards the handles of the server's bindings between the listener, which
  // reads and finally closes them, and Wake on another thread.
  std::mutex bindings_mutex_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_LISTENER_THREAD_H_
