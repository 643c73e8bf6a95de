// Lets idle peer threads accept their next connection themselves.
//
// Handing every accepted connection from the listener to a pooled thread
// costs a wake-up and two task switches per connection. Through the gate, a
// peer thread that has finished its connection waits in accept on the
// server's binding instead of parking in the pool (it "follows"); the system
// wakes one waiting thread per new connection, and that thread serves it
// from accept to close exactly as if the listener had handed it over: it is
// counted active by its manager, added to the server's Threads, and runs
// the connect, execute and disconnect hooks. While any thread follows, the
// listener only waits for the gate (see WaitWhileFollowed); when none does,
// it accepts and hands over as usual, so every connection still gets a
// thread at once, however many are busy.
//
// A follower that waits AcceptWaitTime without a connection, or whose
// accept fails, goes back to the pool, so an idle server keeps no thread
// awake and a lasting failure is met by the listener's back-off.
//
// The gate is only used for a server with a single binding: waiting in
// accept covers one socket. It lives as long as its holders (the listener
// and the threads it started); Close, at deactivation, makes every follower
// leave before the listener closes the binding, and after Close the gate
// touches neither the server nor the socket again.
#ifndef VANTREL_HTTP_ACCEPT_GATE_H_
#define VANTREL_HTTP_ACCEPT_GATE_H_

#include <condition_variable>
#include <memory>
#include <mutex>

namespace vantrel {

class PeerThread;
class TcpServer;
class ThreadManager;

class AcceptGate {
 public:
  // `listening_handle` is the server's one binding, already listening.
  AcceptGate(TcpServer& server, int listening_handle);
  AcceptGate(const AcceptGate&) = delete;
  AcceptGate& operator=(const AcceptGate&) = delete;

  int ListeningHandle() const { return listening_handle_; }

  // Called by the listener before the first follower: accepting on the
  // binding waits up to `milliseconds`, so followers and the listener wait
  // in accept itself.
  void SetAcceptWaitTime(int milliseconds);

  // Called on `thread`, a peer thread that has just finished a connection,
  // instead of releasing itself to `manager`. Returns true when the thread
  // has accepted its next connection and is set up to serve it; false when
  // it did not follow or stopped following, and then it has been released
  // to `manager` as usual.
  bool Follow(PeerThread& thread, const std::shared_ptr<ThreadManager>& manager);

  // Called by the listener: waits up to `milliseconds` while some thread
  // follows. Returns true when one still does (the listener need not
  // accept), false when none does or the gate is closed.
  bool WaitWhileFollowed(int milliseconds);

  // Stops following for good: shuts the binding down, which wakes every
  // waiting accept, and returns once no follower is left; connections
  // accepted meanwhile are by then in the server's Threads. Idempotent;
  // called from any thread, before the binding is closed.
  void Close();

 private:
  bool Enter();
  void Leave();

  TcpServer& server_;
  const int listening_handle_;
  std::mutex mutex_;
  std::condition_variable changed_;  // Signalled when followers_ falls to 0 or closed_ is set.
  int followers_ = 0;                // Threads inside Follow's accept; guarded by mutex_.
  bool closed_ = false;              // Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_ACCEPT_GATE_H_
