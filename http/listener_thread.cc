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

// While waiting for a peer thread to end, the listener looks this often
// whether it is to stop.
constexpr std::chrono::milliseconds kSlotWaitStep{100};

}  // namespace

ListenerThread::ListenerThread(TcpServer& server, std::shared_ptr<ThreadManager> manager)
    : server_(server), thread_mgr_(std::move(manager)) {}

ListenerThread::~ListenerThread() { TerminateAndWait(); }

void ListenerThread::Wake() {
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
  {
    std::lock_guard<std::mutex> lock(bindings_mutex_);
    handles_.clear();
    for (const SocketHandle& binding : server_.Bindings()) {
      if (binding.HandleAllocated) handles_.push_back(binding.Handle);
    }
  }
  SocketStack& stack = server_.Stack();
  if (stack.WaitForReadable(handles_, accept_wait_time_) == 0) {
    // Nobody waited during a whole pass: the next connection to find the
    // limit reached gets its full ConnectionWaitTime.
    full_since_.reset();
    return;
  }
  if (Terminated()) return;

  for (const int listening_handle : handles_) {
    // Every connection waiting on this binding, up to a bound so that the
    // other bindings and a stop request are not kept waiting.
    for (int taken = 0; taken < kMaxAcceptsPerPass && !Terminated(); ++taken) {
      const Slot slot = WaitForSlot();
      if (slot == Slot::kStop) return;
      auto connection = std::make_unique<TcpServerConnection>(server_);
      if (!connection->TryAccept(listening_handle)) break;
      if (slot == Slot::kRefuse) {
        server_.RefuseConnection(*connection);
        continue;  // The connection closes as it goes.
      }
      StartPeer(std::move(connection));
    }
  }
}

ListenerThread::Slot ListenerThread::WaitForSlot() {
  const int limit = server_.MaxConnections();
  ThreadList& threads = server_.Threads();
  if (limit <= 0 || threads.Count() < limit) {
    full_since_.reset();
    return Slot::kFree;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!full_since_) full_since_ = now;
  const auto refuse_at =
      *full_since_ + std::chrono::milliseconds(std::max(0, server_.ConnectionWaitTime()));
  while (!Terminated()) {
    const auto left = refuse_at - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return Slot::kRefuse;
    const auto step = std::min<std::chrono::steady_clock::duration>(left, kSlotWaitStep);
    if (threads.WaitUntilBelow(limit, std::chrono::ceil<std::chrono::milliseconds>(step))) {
      full_since_.reset();
      return Slot::kFree;
    }
  }
  return Slot::kStop;
}

void ListenerThread::StartPeer(std::unique_ptr<TcpServerConnection> connection) {
  PeerThread* thread = thread_mgr_->GetThread();
  thread->SetConnection(std::move(connection));
  thread->SetThreadMgr(thread_mgr_);
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
  std::lock_guard<std::mutex> lock(bindings_mutex_);
  for (SocketHandle& binding : server_.Bindings()) {
    binding.CloseSocket(server_.Stack(), /*reset_local=*/false);
  }
}

}  // namespace vantrel
