#include "http/tcp_server.h"

#include <chrono>
#include <utility>

#include "http/listener_thread.h"
#include "http/net_errors.h"
#include "http/peer_thread.h"
#include "http/socket_stack.h"

namespace vantrel {
namespace {

// Deactivation waits for peer threads in steps of this length.
constexpr int kTerminateWaitStep = 250;

}  // namespace

TcpServer::TcpServer() : thread_class_([] { return std::make_unique<PeerThread>(); }) {}

TcpServer::~TcpServer() { Shutdown(); }

void TcpServer::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Activate();
  } else {
    Deactivate();
  }
}

void TcpServer::Shutdown() {
  SetActive(false);
  DropPeerConnections();
  threads_.WaitUntilEmpty();
}

void TcpServer::SetThreadMgr(std::shared_ptr<ThreadManager> manager) {
  FreeImplicitThreadMgr();
  thread_mgr_ = std::move(manager);
}

void TcpServer::Activate() {
  if (bindings_.Count() == 0) bindings_.Add();
  if (bindings_.Count() > kMaxSocketsPerWait) {
    throw StackSetSizeExceededError(kSetSizeExceededMessage);
  }
  try {
    for (SocketHandle& binding : bindings_) {
      binding.AllocateSocket(Stack());
      binding.Bind(Stack());
      binding.Listen(Stack(), kListenBacklog, defer_accept_time_);
      if (send_stall_time_ > 0) Stack().SetSendTimeout(binding.Handle, send_stall_time_);
    }
    if (!thread_mgr_) {
      thread_mgr_ = std::make_shared<DefaultThreadManager>();
      thread_mgr_implicit_ = true;
    }
    thread_mgr_->SetThreadClass(thread_class_);
    listener_ = std::make_unique<ListenerThread>(*this, thread_mgr_);
    listener_->SetAcceptWaitTime(accept_wait_time_);
    listener_->StartLoop();
  } catch (...) {
    listener_.reset();
    CloseBindings();
    FreeImplicitThreadMgr();
    throw;
  }
  active_ = true;
}

void TcpServer::Deactivate() {
  // The listener goes first, so no connection can arrive after the peers
  // have been dropped below.
  listener_->StopLoop();
  listener_->Wake();
  listener_->TerminateAndWait();
  listener_.reset();
  CloseBindings();

  DropPeerConnections();
  const int steps = terminate_wait_time_ / kTerminateWaitStep;
  if (steps > 0) threads_.WaitUntilEmpty(std::chrono::milliseconds(steps * kTerminateWaitStep));

  FreeImplicitThreadMgr();
  active_ = false;
}

void TcpServer::CloseBindings() {
  for (SocketHandle& binding : bindings_) binding.CloseSocket(Stack(), /*reset_local=*/false);
}

void TcpServer::DropPeerConnections() {
  threads_.ForEach([](PeerThread& thread) { thread.Connection()->RequestDrop(); });
}

void TcpServer::FreeImplicitThreadMgr() {
  if (!thread_mgr_implicit_) return;
  // Threads still serving hold the manager and free themselves when done.
  thread_mgr_->Shutdown();
  thread_mgr_.reset();
  thread_mgr_implicit_ = false;
}

void TcpServer::DoConnect(PeerThread& thread) {
  if (on_connect_) on_connect_(thread);
}

void TcpServer::DoDisconnect(PeerThread& thread) {
  if (on_disconnect_) on_disconnect_(thread);
}

void TcpServer::RefuseConnection(TcpServerConnection&) {}

bool TcpServer::DoExecute(PeerThread& thread) {
  if (!on_execute_) return false;
  on_execute_(thread);
  return true;
}

}  // namespace vantrel
