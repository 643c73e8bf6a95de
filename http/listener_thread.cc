#include "http/listener_thread.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "http/peer_thread.h"
#include "http/socket_handle.h"
#include "http/socket_stack.h"
#include "http/tcp_server.h"
#include "http/thread_manager.h"

namespace vantrel {
namespace {

// How long the listener rests after a failed pass before it tries again, so
// that a lasting failure (no descriptors left) does not spin.
constexpr std::chrono::milliseconds kFailedPassBackoff{100};

// Connections taken from one binding in one pass at most.
constexpr int kMaxAcceptsPerPass = 64;

// The gate for a server whose bindings are already listening: one for a
// single binding, none for several.
std::shared_ptr<AcceptGate> GateFor(TcpServer& server) {
  const SocketHandles& bindings = server.Bindings();
  if (bindings.Count() != 1 || !bindings[0].HandleAllocated) return nullptr;
  return std::make_shared<AcceptGate>(server, bindings[0].Handle);
}

}  // namespace

ListenerThread::ListenerThread(TcpServer& server, std::shared_ptr<ThreadManager> manager)
    : server_(server), thread_mgr_(std::move(manager)), gate_(GateFor(server)) {}

ListenerThread::~ListenerThread() { TerminateAndWait(); }

void ListenerThread::Wake() {
  if (gate_) gate_->Close();
  std::lock_guard<std::mutex> lock(bindings_mutex_);
  for (const SocketHandle& binding : server_.Bindings()) {
    if (binding.HandleAllocated) server_.Stack().Shutdown(binding.Handle, ShutdownDirection::kBoth);
  }
}

void ListenerThread::RunOnce() {
  try {
    AcceptPass();
  } catch (...) {
    // The failure ends this pass only; see the header.
    const int wait = accept_wait_time_;
    WaitForStop(std::min(kFailedPassBackoff, std::chrono::milliseconds(std::max(0, wait))));
  }
}

void ListenerThread::AcceptPass() {
  if (gate_) {
    GatedPass();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(bindings_mutex_);
    handles_.clear();
    for (const SocketHandle& binding : server_.Bindings()) {
      if (binding.HandleAllocated) handles_.push_back(binding.Handle);
    }
  }
  SocketStack& stack = server_.Stack();
  if (stack.WaitForReadable(handles_, accept_wait_time_) == 0 || Terminated()) return;

  for (const int listening_handle : handles_) {
    // Every connection waiting on this binding, up to a bound so that the
    // other bindings and a stop request are not kept waiting.
    for (int taken = 0; taken < kMaxAcceptsPerPass && !Terminated(); ++taken) {
      auto connection = std::make_unique<TcpServerConnection>(server_);
      if (!connection->TryAccept(listening_handle)) break;
      StartPeer(std::move(connection));
    }
  }
}

void ListenerThread::GatedPass() {
  const int wait = accept_wait_time_;
  if (wait != gate_wait_time_) {
    gate_->SetAcceptWaitTime(wait);
    gate_wait_time_ = wait;
  }
  if (gate_->WaitWhileFollowed(wait) || Terminated()) return;
  auto connection = std::make_unique<TcpServerConnection>(server_);
  if (connection->TryAccept(gate_->ListeningHandle())) StartPeer(std::move(connection));
}

void ListenerThread::StartPeer(std::unique_ptr<TcpServerConnection> connection) {
  PeerThread* thread = thread_mgr_->GetThread();
  thread->SetConnection(std::move(connection));
  thread->SetThreadMgr(thread_mgr_);
  thread->SetAcceptGate(gate_);
  server_.Threads().Add(thread);
  try {
    thread->StartLoop();
  } catch (...) {
    // The thread could not be launched: undo, which closes the connection.
    server_.Threads().Remove(thread);
    thread->SetConnection(nullptr);
    thread->SetThreadMgr(nullptr);
    thread_mgr_->ReleaseThread(*thread);
    throw;
  }
}

void ListenerThread::AfterRun() {
  // Followers wait in accept on the binding: they leave before it closes.
  if (gate_) gate_->Close();
  std::lock_guard<std::mutex> lock(bindings_mutex_);
  for (SocketHandle& binding : server_.Bindings()) {
    binding.CloseSocket(server_.Stack(), /*reset_local=*/false);
  }
}

}  // namespace vantrel
