#include "http/peer_thread.h"

#include <exception>
#include <utility>

#include "http/net_errors.h"
#include "http/socket_error_text.h"
#include "http/tcp_server.h"
#include "http/thread_manager.h"

namespace vantrel {

PeerThread::~PeerThread() { TerminateAndWait(); }

void PeerThread::SetConnection(std::unique_ptr<TcpServerConnection> connection) {
  connection_ = std::move(connection);
}

void PeerThread::SetThreadMgr(std::shared_ptr<ThreadManager> manager) {
  thread_mgr_ = std::move(manager);
}

void PeerThread::BeforeRun() { connection_->Server().DoConnect(*this); }

void PeerThread::RunOnce() {
  TcpServerConnection& connection = *connection_;
  try {
    if (!connection.Server().DoExecute(*this)) {
      throw NoExecuteSpecifiedError(kNoExecuteSpecifiedMessage);
    }
  } catch (const SocketError& error) {
    // A peer that aborts or resets the connection is an ordinary end.
    if (error.LastError() == kWsaConnectionAborted || error.LastError() == kWsaConnectionReset) {
      connection.CloseConnection();
    }
  } catch (const ClosedSocketError&) {
  }
  if (!connection.IsConnected()) StopLoop();
}

void PeerThread::AfterRun() {
  // An idle pooled thread that is terminated has no connection to finish.
  if (!connection_) return;
  TcpServer& server = connection_->Server();
  std::exception_ptr failure;
  try {
    server.DoDisconnect(*this);
  } catch (...) {
    // Still leave the server and free everything; the failure then ends the
    // thread, which therefore must not be kept for reuse.
    failure = std::current_exception();
    Terminate();
  }
  server.Threads().Remove(this);  // From here on the server may be gone.
  connection_.reset();
  std::shared_ptr<ThreadManager> manager = std::move(thread_mgr_);
  if (manager) manager->ReleaseThread(*this);  // Last: the thread may serve again at once.
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vantrel
