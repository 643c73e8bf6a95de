// The bytes received from the serial port and not yet flushed by a script.
//
// The serial port's receive events append on the main thread while a page
// script reads and shortens it on its own thread; each operation is one
// step under the buffer's lock, so no byte is lost or doubled and a reader
// always sees a whole buffer.
#ifndef VANTREL_APP_RECEIVE_BUFFER_H_
#define VANTREL_APP_RECEIVE_BUFFER_H_

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vantrel {

class ReceiveBuffer {
 public:
  void Append(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    bytes_.append(bytes);
  }
  // A copy of the whole content.
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
  }
  // Removes the first `count` bytes: all of them when `count` is at least
  // the length, none when it is 0 or less.
  void RemoveFirst(std::int64_t count) {
    std::lock_guard lock(mutex_);
    if (count <= 0) return;
    bytes_.erase(0, static_cast<std::size_t>(
                        std::min<std::int64_t>(count, static_cast<std::int64_t>(bytes_.size()))));
  }

 private:
  mutable std::mutex mutex_;
  std::string bytes_;  // Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_RECEIVE_BUFFER_H_
