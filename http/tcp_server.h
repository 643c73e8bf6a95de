// A multi-threaded TCP server: listens on its bindings and serves every
// accepted connection on a peer thread of its own.
//
// Threads: the controlling thread (the user interface) configures,
// activates and deactivates the server and destroys it; configure the
// bindings, times, thread manager, thread class and events only while the
// server is inactive. While active, a listener thread accepts connections
// and the events OnConnect, OnExecute and OnDisconnect are raised on the
// peer thread of their connection, without any lock held; several run at
// once. Threads() may be used from any thread.
//
// Lifetime: peer threads call the server until they have left Threads, so
// the server must outlive them: destruction deactivates, drops every
// connection and then waits, without a time limit, until Threads is empty
// (a handler that never returns therefore blocks destruction; the gateway
// halts running scripts first). A subclass that overrides the hooks or
// SetActive calls Shutdown() in its own destructor, so that its overrides
// are the ones that run and its members outlive the peer threads. Never
// deactivate or destroy the server from one of its own peer threads.
#ifndef VANTREL_HTTP_TCP_SERVER_H_
#define VANTREL_HTTP_TCP_SERVER_H_

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

#include "http/net_component.h"
#include "http/socket_handle.h"
#include "http/thread_list.h"
#include "http/thread_manager.h"

namespace vantrel {

class ListenerThread;
class PeerThread;
class TcpServerConnection;

using ServerThreadEvent = std::function<void(PeerThread& thread)>;

class TcpServer : public NetComponent {
 public:
  static constexpr int kDefaultTerminateWaitTime = 5000;
  static constexpr int kDefaultAcceptWaitTime = 1000;
  static constexpr int kDefaultConnectionWaitTime = 3000;
  // Connections the system queues before they are accepted. A browser opens
  // up to six at once for one page; a queue of five would drop some of them
  // and make the browser wait a second to retry, so the queue is as long as
  // the system allows.
  static constexpr int kListenBacklog = 4096;

  TcpServer();
  ~TcpServer() override;

  bool Active() const { return active_; }

  // Activation: with no bindings, adds one for every interface on
  // DefaultPort; opens, binds (reading back the bound address and port)
  // and listens on every binding; creates a DefaultThreadManager when no
  // ThreadMgr is set; starts the listener. A failure closes what was
  // opened, leaves the server inactive and propagates: bind on a taken
  // address raises CouldNotBindSocketError, other socket failures
  // SocketError, more than 64 bindings StackSetSizeExceededError.
  //
  // Deactivation: stops the listener and waits for it (it closes the
  // bindings, which keep their local address and port); drops every peer
  // connection; waits up to TerminateWaitTime (in 250 ms steps, returning
  // as soon as Threads is empty) for the peer threads, which are left to
  // end by themselves after that; frees an implicitly created manager.
  //
  // Setting the current value again does nothing.
  virtual void SetActive(bool value);

  // Deactivates, drops every peer connection and waits without a time
  // limit until Threads is empty. Called by the destructor.
  void Shutdown();

  SocketHandles& Bindings() { return bindings_; }
  const SocketHandles& Bindings() const { return bindings_; }
  int DefaultPort() const { return bindings_.DefaultPort(); }
  void SetDefaultPort(int port) { bindings_.SetDefaultPort(port); }

  int TerminateWaitTime() const { return terminate_wait_time_; }
  void SetTerminateWaitTime(int milliseconds) { terminate_wait_time_ = milliseconds; }
  int AcceptWaitTime() const { return accept_wait_time_; }
  void SetAcceptWaitTime(int milliseconds) { accept_wait_time_ = milliseconds; }

  // The thread manager; none until activation creates one implicitly
  // (freed again at deactivation) or one is set.
  std::shared_ptr<ThreadManager> ThreadMgr() const { return thread_mgr_; }
  void SetThreadMgr(std::shared_ptr<ThreadManager> manager);

  // What the thread manager creates peer threads with; PeerThread by default.
  const PeerThreadClass& ThreadClass() const { return thread_class_; }
  void SetThreadClass(PeerThreadClass thread_class) { thread_class_ = std::move(thread_class); }

  // The most peer threads alive at once; 0 (the default) for no limit.
  // While the limit is reached, new connections wait in the system's queue
  // until a thread ends; one that finds the limit reached for
  // ConnectionWaitTime ms on end is accepted and refused
  // (RefuseConnection), so a flood of connections costs neither threads
  // nor descriptors beyond the limit and a client is not kept waiting
  // without an answer.
  int MaxConnections() const { return max_connections_; }
  void SetMaxConnections(int count) { max_connections_ = count < 0 ? 0 : count; }
  int ConnectionWaitTime() const { return connection_wait_time_; }
  void SetConnectionWaitTime(int milliseconds) { connection_wait_time_ = milliseconds; }

  // With a value > 0, a connection is handed to a peer thread only once its
  // first bytes have arrived, or about this many seconds after it was made
  // (the system rounds up to its retransmission steps); until then it waits
  // in the system, holding no thread, and neither the connect hook nor
  // Threads sees it. For protocols whose client speaks first; 0 (the
  // default) hands every connection over at once. Read at activation.
  int DeferAcceptTime() const { return defer_accept_time_; }
  void SetDeferAcceptTime(int seconds) { defer_accept_time_ = seconds < 0 ? 0 : seconds; }
  // With a value > 0, a send to a connection that moves no byte for this
  // many milliseconds fails (kWsaTimedOut), ending the connection: a client
  // that stops reading does not keep its thread for ever. 0 (the default):
  // no limit. Read at activation.
  int SendStallTime() const { return send_stall_time_; }
  void SetSendStallTime(int milliseconds) {
    send_stall_time_ = milliseconds < 0 ? 0 : milliseconds;
  }

  // The live peer threads.
  ThreadList& Threads() { return threads_; }
  const ThreadList& Threads() const { return threads_; }

  void SetOnConnect(ServerThreadEvent handler) { on_connect_ = std::move(handler); }
  void SetOnExecute(ServerThreadEvent handler) { on_execute_ = std::move(handler); }
  void SetOnDisconnect(ServerThreadEvent handler) { on_disconnect_ = std::move(handler); }

 protected:
  // The hooks a peer thread calls, on that thread.
  virtual void DoConnect(PeerThread& thread);     // Raises OnConnect.
  virtual void DoDisconnect(PeerThread& thread);  // Raises OnDisconnect.
  // Raises OnExecute; returns whether a handler is assigned.
  virtual bool DoExecute(PeerThread& thread);
  // Called on the listener thread for a connection accepted only to be
  // refused because MaxConnections stayed reached; the connection is closed
  // afterwards. Must not wait for the peer. Does nothing by default.
  virtual void RefuseConnection(TcpServerConnection& connection);

 private:
  friend class ListenerThread;
  friend class PeerThread;

  void Activate();
  void Deactivate();
  void CloseBindings();
  void DropPeerConnections();
  void FreeImplicitThreadMgr();

  SocketHandles bindings_;
  std::atomic<bool> active_{false};
  int terminate_wait_time_ = kDefaultTerminateWaitTime;
  int accept_wait_time_ = kDefaultAcceptWaitTime;
  int max_connections_ = 0;  // >= 0; 0: no limit.
  int connection_wait_time_ = kDefaultConnectionWaitTime;
  int defer_accept_time_ = 0;  // Seconds; 0: off.
  int send_stall_time_ = 0;    // Milliseconds; 0: off.
  std::shared_ptr<ThreadManager> thread_mgr_;
  bool thread_mgr_implicit_ = false;  // thread_mgr_ was created by activation.
  PeerThreadClass thread_class_;
  ThreadList threads_;
  std::unique_ptr<ListenerThread> listener_;  // Present exactly while active.
  ServerThreadEvent on_connect_;
  ServerThreadEvent on_execute_;
  ServerThreadEvent on_disconnect_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_TCP_SERVER_H_
