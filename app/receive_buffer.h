// The bytes received from the serial port and not yet flushed by a script.
//
// The serial port's receive events append on the main thread while a page
// script reads and shortens it on its own thread; each operation is one
// step under the buffer's lock, so no byte is lost or doubled and a reader
// always sees a whole buffer.
//
// The buffer holds at most the capacity given with each Append: a device
// that talks while no page reads must not fill the memory. Past it the
// oldest bytes go, and the buffer counts them until TakeDropped. Dropping
// and removing move no bytes: the content starts at an offset into the
// storage, which is compacted only once the dead part outweighs the live
// one, so a full buffer costs no more per byte than an empty one.
#ifndef VANTREL_APP_RECEIVE_BUFFER_H_
#define VANTREL_APP_RECEIVE_BUFFER_H_

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace vantrel {

class ReceiveBuffer {
 public:
  // Appends `bytes`; then, past `capacity` bytes, drops the oldest.
  void Append(std::string_view bytes, std::size_t capacity) {
    std::lock_guard lock(mutex_);
    if (bytes.size() >= capacity) {
      dropped_ += Size() + bytes.size() - capacity;
      bytes_.assign(bytes.substr(bytes.size() - capacity));
      start_ = 0;
      return;
    }
    bytes_.append(bytes);
    if (Size() > capacity) DropFirst(Size() - capacity, /*count_as_dropped=*/true);
  }
  // A copy of the whole content.
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return bytes_.substr(start_);
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
    start_ = 0;
  }
  // Removes the first `count` bytes: all of them when `count` is at least
  // the length, none when it is 0 or less.
  void RemoveFirst(std::int64_t count) {
    std::lock_guard lock(mutex_);
    if (count <= 0) return;
    DropFirst(
        static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(Size()))),
        /*count_as_dropped=*/false);
  }
  // The bytes dropped for want of room since the last call.
  std::uint64_t TakeDropped() {
    std::lock_guard lock(mutex_);
    return std::exchange(dropped_, 0);
  }

 private:
  std::size_t Size() const { return bytes_.size() - start_; }
  void DropFirst(std::size_t count, bool count_as_dropped) {
    if (count_as_dropped) dropped_ += count;
    start_ += count;
    if (start_ == bytes_.size()) {
      bytes_.clear();
      start_ = 0;
    } else if (start_ > bytes_.size() / 2) {
      bytes_.erase(0, start_);
      start_ = 0;
    }
  }

  mutable std::mutex mutex_;
  std::string bytes_;          // Guarded by mutex_; the content is bytes_[start_..].
  std::size_t start_ = 0;      // Guarded by mutex_.
  std::uint64_t dropped_ = 0;  // Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_RECEIVE_BUFFER_H_
