#include "http/accept_gate.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "http/peer_thread.h"
#include "http/socket_stack.h"
#include "http/tcp_server.h"
#include "http/thread_manager.h"

namespace vantrel {

AcceptGate::AcceptGate(TcpServer& server, int listening_handle)
    : server_(server), listening_handle_(listening_handle) {}

void AcceptGate::SetAcceptWaitTime(int milliseconds) {
  // At least a millisecond: a wait of 0 would make every follower return
  // at once and the listener spin.
  server_.Stack().SetAcceptWait(listening_handle_, std::max(1, milliseconds));
}

bool AcceptGate::Follow(PeerThread& thread, const std::shared_ptr<ThreadManager>& manager) {
  if (!manager->StartFollowing(thread)) return false;
  if (!Enter()) {
    manager->StopFollowing(thread, /*serving=*/false);
    return false;
  }
  auto connection = std::make_unique<TcpServerConnection>(server_);
  bool accepted = false;
  try {
    accepted = connection->TryAccept(listening_handle_);
  } catch (...) {
    // A failing accept (the binding shut down, no descriptors left): the
    // thread goes back to the pool and the listener deals with the failure.
  }
  if (!accepted) {
    Leave();
    manager->StopFollowing(thread, /*serving=*/false);
    return false;
  }
  // Set up as the listener sets up a thread it hands a connection to; the
  // thread leaves the gate only once it is in Threads, so that Close
  // returns with every accepted connection where deactivation drops it.
  manager->StopFollowing(thread, /*serving=*/true);
  thread.SetConnection(std::move(connection));
  thread.SetThreadMgr(manager);
  server_.Threads().Add(&thread);
  Leave();
  thread.StartLoop();
  return true;
}

bool AcceptGate::WaitWhileFollowed(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(std::max(0, milliseconds)),
                    [this] { return followers_ == 0 || closed_; });
  return followers_ > 0 && !closed_;
}

void AcceptGate::Close() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!closed_) {
    closed_ = true;
    // Under the lock, so that the binding is still open: the listener
    // closes it only after Close has returned.
    server_.Stack().Shutdown(listening_handle_, ShutdownDirection::kBoth);
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return followers_ == 0; });
}

bool AcceptGate::Enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  ++followers_;
  return true;
}

void AcceptGate::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--followers_ == 0) changed_.notify_all();
}

}  // namespace vantrel
