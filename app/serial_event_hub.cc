#include "app/serial_event_hub.h"

#include <algorithm>
#include <utility>

namespace vantrel {
namespace {

// What a state event counts against a queue's bound besides its text.
constexpr std::size_t kStateEventCost = 64;

bool CarriesBytes(SerialEventHub::EventKind kind) {
  return kind == SerialEventHub::EventKind::kRx || kind == SerialEventHub::EventKind::kTx;
}

}  // namespace

// A queued event: the report it came from, shared by every listener's
// queue, and the part of it this listener gets (received and sent bytes
// that do not fit are cut off). Events become strings of their own only
// when a listener takes them, on its own thread: the port's thread copies
// a report once, whatever the number of listeners.
struct SerialEventHub::Piece {
  EventKind kind;
  std::shared_ptr<const std::string> report;
  std::size_t count;  // Bytes of `report` this listener gets, from its start.
};

struct SerialEventHub::Listener::Queue {
  std::deque<Piece> pieces;
  std::size_t byte_count = 0;   // Received and sent bytes in `pieces`.
  std::size_t state_count = 0;  // What the other events count.
  // Bytes dropped since the last gap event; queued as one before what comes next.
  std::uint64_t missed = 0;
  bool ended = false;
  bool woken = false;  // `wake` was called since the last Take.
  std::function<void()> wake;

  void Wake() {
    if (woken || !wake) return;
    woken = true;
    wake();
  }
  void QueueMissed() {
    if (missed == 0) return;
    auto count = std::make_shared<const std::string>(std::to_string(missed));
    pieces.push_back({EventKind::kGap, count, count->size()});
    state_count += kStateEventCost;
    missed = 0;
  }
  bool Waiting() const { return !pieces.empty() || missed > 0 || ended; }
};

SerialEventHub::Listener::~Listener() { hub_.Leave(queue_); }

void SerialEventHub::Listener::SetWake(std::function<void()> wake) {
  std::lock_guard lock(hub_.mutex_);
  queue_->wake = std::move(wake);
  queue_->woken = false;
  if (queue_->Waiting()) queue_->Wake();
}

bool SerialEventHub::Listener::Take(std::vector<Event>& events) {
  // Only swapped under the lock: a listener's thread runs at a low
  // priority, and the serial path must not wait long for it.
  std::deque<Piece> taken;
  bool going_on;
  {
    std::lock_guard lock(hub_.mutex_);
    queue_->QueueMissed();
    taken.swap(queue_->pieces);
    queue_->byte_count = 0;
    queue_->state_count = 0;
    queue_->woken = false;
    going_on = !queue_->ended;
  }
  for (const Piece& piece : taken) {
    const std::string_view data(piece.report->data(), piece.count);
    // Bytes of one kind in a row are one event.
    if (CarriesBytes(piece.kind) && !events.empty() && events.back().kind == piece.kind) {
      events.back().data.append(data);
    } else {
      events.push_back({piece.kind, std::string(data)});
    }
  }
  return going_on;
}

void SerialEventHub::Listener::Hold() {
  std::lock_guard lock(hub_.mutex_);
  queue_->woken = true;
}

std::unique_ptr<SerialEventHub::Listener> SerialEventHub::Join(int max_listeners) {
  std::lock_guard lock(mutex_);
  if (stopped_ || max_listeners <= 0 ||
      listeners_.size() >= static_cast<std::size_t>(max_listeners)) {
    return nullptr;
  }
  auto queue = std::make_shared<Queue>();
  if (open_text_) {
    auto text = std::make_shared<const std::string>(*open_text_);
    queue->pieces.push_back({EventKind::kOpen, text, text->size()});
  }
  if (lost_) queue->pieces.push_back({EventKind::kLost, std::make_shared<const std::string>(), 0});
  listeners_.push_back(queue);
  return std::unique_ptr<Listener>(new Listener(*this, std::move(queue)));
}

int SerialEventHub::ListenerCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(listeners_.size());
}

void SerialEventHub::Leave(const std::shared_ptr<Queue>& queue) {
  std::lock_guard lock(mutex_);
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), queue), listeners_.end());
}

void SerialEventHub::PortOpened(const std::string& settings_text) {
  std::lock_guard lock(mutex_);
  if (open_text_ == settings_text && !lost_) return;
  open_text_ = settings_text;
  lost_ = false;
  Publish(EventKind::kOpen, settings_text);
}

void SerialEventHub::PortClosed() {
  std::lock_guard lock(mutex_);
  if (!open_text_) return;
  open_text_.reset();
  lost_ = false;
  Publish(EventKind::kClose, "");
}

void SerialEventHub::DeviceLost() {
  std::lock_guard lock(mutex_);
  if (!open_text_ || lost_) return;
  lost_ = true;
  Publish(EventKind::kLost, "");
}

void SerialEventHub::Received(std::string_view bytes) {
  if (bytes.empty()) return;
  std::lock_guard lock(mutex_);
  if (sending_ == 0) {
    Publish(EventKind::kRx, bytes);
  } else if (held_rx_.size() + bytes.size() <= backlog_bytes_) {
    held_rx_.append(bytes);
  } else {
    // Memory before order: a device that streams during a long write.
    PublishHeld();
    Publish(EventKind::kRx, bytes);
  }
}

void SerialEventHub::Sending() {
  std::lock_guard lock(mutex_);
  ++sending_;
}

void SerialEventHub::Sent(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (!bytes.empty()) Publish(EventKind::kTx, bytes);
  if (sending_ > 0 && --sending_ == 0) PublishHeld();
}

void SerialEventHub::PublishHeld() {
  if (held_rx_.empty()) return;
  Publish(EventKind::kRx, held_rx_);
  held_rx_.clear();
}

void SerialEventHub::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  for (const std::shared_ptr<Queue>& queue : listeners_) {
    queue->ended = true;
    queue->Wake();
  }
}

void SerialEventHub::Start() {
  std::lock_guard lock(mutex_);
  stopped_ = false;
}

void SerialEventHub::Publish(EventKind kind, std::string_view data) {
  std::shared_ptr<const std::string> report;  // Made once, when a listener takes a part.
  for (const std::shared_ptr<Queue>& queue_pointer : listeners_) {
    Queue& queue = *queue_pointer;
    if (queue.ended) continue;
    std::size_t count = data.size();
    if (CarriesBytes(kind)) {
      // What does not fit is missed by this listener alone.
      const std::size_t room = backlog_bytes_ - std::min(backlog_bytes_, queue.byte_count);
      count = queue.missed > 0 ? 0 : std::min(room, data.size());
      queue.missed += data.size() - count;
      queue.byte_count += count;
    } else if (queue.byte_count + queue.state_count > 2 * backlog_bytes_) {
      queue.ended = true;
      queue.Wake();
      continue;
    } else {
      queue.QueueMissed();
      queue.state_count += kStateEventCost + data.size();
    }
    if (count > 0 || !CarriesBytes(kind)) {
      if (!report) report = std::make_shared<const std::string>(data);
      queue.pieces.push_back({kind, report, count});
    }
    queue.Wake();
  }
}

}  // namespace vantrel
