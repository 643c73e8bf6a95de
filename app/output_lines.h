// The lines a script page echoes (ScriptOutput), kept as the text they are
// sent as: every entry followed by CR LF, end to end, with where each entry
// starts. Building the answer takes that text as it stands, so that a page
// of many short lines costs no allocation per line and no joining at the
// end.
//
// Threads: none of its own; the running page's thread only.
#ifndef VANTREL_APP_OUTPUT_LINES_H_
#define VANTREL_APP_OUTPUT_LINES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class OutputLines {
 public:
  // Empties the list. The room the last text took is kept ready: a page
  // tends to echo as much as it did last time.
  void Clear();
  // Adds `line` as one entry (it may hold line breaks of its own).
  void Add(std::string_view line);

  std::size_t Count() const { return starts_.size(); }
  // Entry `index`, without the CR LF that follows it.
  std::string_view operator[](std::size_t index) const;
  // Every entry followed by CR LF; empty when there is none.
  const std::string& Text() const { return text_; }
  // Text(), handed over: the list is empty afterwards.
  std::string TakeText();

 private:
  std::string text_;
  std::vector<std::size_t> starts_;
  std::size_t last_size_ = 0;  // The size of the text last taken.
};

}  // namespace vantrel

#endif  // VANTREL_APP_OUTPUT_LINES_H_
