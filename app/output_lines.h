// The lines a script page echoes (ScriptOutput), kept as the text they are
// sent as: every entry followed by CR LF, end to end, with where each entry
// starts. A line costs no allocation of its own, and building the answer
// joins nothing.
//
// Threads: none of its own; the running page's thread only.
#ifndef VANTREL_APP_OUTPUT_LINES_H_
#define VANTREL_APP_OUTPUT_LINES_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

class OutputLines {
 public:
  void Clear();
  // Adds `line` as one entry (it may hold line breaks of its own). Inline:
  // a page adds hundreds of entries a run, most of them a few bytes long.
  void Add(std::string_view line) {
    const std::size_t size = size_ + line.size() + 2;
    if (size > capacity_ || count_ == starts_capacity_) [[unlikely]]
      return AddGrowing(line);
    char* const out = text_.get() + size_;
    if (!line.empty()) std::memcpy(out, line.data(), line.size());
    out[line.size()] = '\r';
    out[line.size() + 1] = '\n';
    starts_[count_++] = size_;
    size_ = size;
  }

  std::size_t Count() const { return count_; }
  // Entry `index`, without the CR LF that follows it.
  std::string_view operator[](std::size_t index) const;
  // Every entry followed by CR LF; empty when there is none.
  std::string_view Text() const { return {text_.get(), size_}; }
  // Text() as a string; the list is empty afterwards.
  std::string TakeText();

 private:
  // Add when the text or the list of starts needs more room.
  void AddGrowing(std::string_view line);
  void Grow(std::size_t size);
  void GrowStarts();

  // The room of both stays from page to page (a page tends to echo as much
  // as it did last time), up to a bound: one page's megabytes are let go.
  std::unique_ptr<char[]> text_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  // Where each entry starts; a plain array rather than a vector, so that
  // Add, which has checked the room already, holds no path that grows it.
  std::unique_ptr<std::size_t[]> starts_;
  std::size_t count_ = 0;
  std::size_t starts_capacity_ = 0;
};

}  // namespace vantrel

#endif  // VANTREL_APP_OUTPUT_LINES_H_
