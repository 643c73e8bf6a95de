// The serial port's traffic and state, handed to every listener of the
// event stream (app/serial_event_stream.h) at once.
//
// The gateway reports what happens to the port: it opened (with the text
// is_open gives), it closed, its device went away, bytes came in, a page
// sent bytes. Each listener has a queue of its own; reporting appends to
// every queue and wakes the listener's thread, and never waits for a
// listener: the serial event thread and the pages must not slow down for
// a browser that reads slowly or not at all. Every byte reaches every
// listener once and in order, unless the listener falls behind: a queue
// holds at most `backlog_bytes` of received and sent bytes, the bytes that
// do not fit are dropped for that listener alone and counted, and the
// count is queued as a gap where they would have been. State events (open,
// close, lost) are never dropped; a listener whose queue holds twice the
// backlog (a page opening and closing the port in a loop while the
// listener reads nothing) is ended instead, and its browser reconnects.
//
// The receive buffer that pages read is not touched: the hub only watches.
//
// Threads: every method may be called from any thread. The report methods
// run on the main thread (serial events) and on the page's thread (open,
// sent bytes), under the serial bridge's lock; they take only the hub's own
// lock and call the listeners' wake-ups under it, which therefore must not
// wait or call the hub. A Listener is used by one thread, its stream's.
#ifndef VANTREL_APP_SERIAL_EVENT_HUB_H_
#define VANTREL_APP_SERIAL_EVENT_HUB_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class SerialEventHub {
 public:
  // The most received and sent bytes a listener's queue holds.
  static constexpr std::size_t kDefaultBacklogBytes = 256 * 1024;

  enum class EventKind { kOpen, kClose, kLost, kRx, kTx, kGap };
  struct Event {
    EventKind kind;
    // kOpen: the port's settings as is_open gives them; kRx, kTx: the
    // bytes; kGap: the number of bytes missed, in decimal; else empty.
    std::string data;
  };

  // One listener's place in the hub; leaves the hub when destroyed.
  class Listener {
   public:
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Called (under the hub's lock) when events wait for the listener;
    // none: nobody is woken. Replaces the previous wake-up.
    void SetWake(std::function<void()> wake);
    // Moves the waiting events into `events` (appended). False once the hub
    // has ended the listener (stopped, or overrun): the events handed over
    // are its last.
    bool Take(std::vector<Event>& events);
    // No wake-up until the next Take: for a listener that will come back
    // to take anyway, so that a fast device does not wake it on every read.
    void Hold();

   private:
    friend class SerialEventHub;
    struct Queue;
    Listener(SerialEventHub& hub, std::shared_ptr<Queue> queue)
        : hub_(hub), queue_(std::move(queue)) {}

    SerialEventHub& hub_;
    std::shared_ptr<Queue> queue_;  // Its fields are guarded by hub_.mutex_.
  };

  explicit SerialEventHub(std::size_t backlog_bytes = kDefaultBacklogBytes)
      : backlog_bytes_(backlog_bytes) {}
  SerialEventHub(const SerialEventHub&) = delete;
  SerialEventHub& operator=(const SerialEventHub&) = delete;

  // A new listener, its queue starting with the port's state (an open
  // event while the port is open, then a lost event if its device went
  // away). None when `max_listeners` listen already or the hub is stopped.
  std::unique_ptr<Listener> Join(int max_listeners);
  int ListenerCount() const;

  // The port opened, or an open port's settings changed (`settings_text`
  // then differs from the last one reported).
  void PortOpened(const std::string& settings_text);
  void PortClosed();
  // The open port's device went away.
  void DeviceLost();
  void Received(std::string_view bytes);
  // A page starts writing to the port. Until the matching Sent, received
  // bytes are held back and follow the sent ones: a device may answer
  // before the write returns, and its answer must not show before the
  // command. At most `backlog_bytes` are held; beyond that they go out at
  // once.
  void Sending();
  // The bytes a page wrote (none when the write failed); ends a Sending.
  void Sent(std::string_view bytes);

  // Ends every listener and refuses new ones until Start (the server
  // stops and starts).
  void Stop();
  void Start();

 private:
  using Queue = Listener::Queue;
  struct Piece;

  // Appends an event to every listener's queue. Caller holds mutex_.
  void Publish(EventKind kind, std::string_view data);
  // Publishes the bytes held back during a write. Caller holds mutex_.
  void PublishHeld();
  void Leave(const std::shared_ptr<Queue>& queue);

  const std::size_t backlog_bytes_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Queue>> listeners_;  // Guarded by mutex_.
  // Guarded by mutex_: the settings text while the port is open.
  std::optional<std::string> open_text_;
  bool lost_ = false;     // Guarded by mutex_: the open port's device went away.
  bool stopped_ = false;  // Guarded by mutex_.
  int sending_ = 0;       // Guarded by mutex_: writes under way.
  std::string held_rx_;   // Guarded by mutex_: bytes received while sending_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_SERIAL_EVENT_HUB_H_
