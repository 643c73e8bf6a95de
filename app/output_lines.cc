#include "app/output_lines.h"

#include <algorithm>
#include <utility>

namespace vantrel {
namespace {

// The most room set aside for the next page's text before it echoes: a
// page that once answered with megabytes should not make every later one
// take that much at once.
constexpr std::size_t kMostRoomKept = std::size_t{256} << 10;

}  // namespace

void OutputLines::Clear() {
  text_.clear();
  starts_.clear();
  text_.reserve(std::min(last_size_, kMostRoomKept));
}

void OutputLines::Add(std::string_view line) {
  starts_.push_back(text_.size());
  text_.append(line);
  text_.append("\r\n", 2);
}

std::string_view OutputLines::operator[](std::size_t index) const {
  const std::size_t start = starts_[index];
  const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
  return std::string_view(text_).substr(start, end - start - 2);
}

std::string OutputLines::TakeText() {
  last_size_ = text_.size();
  std::string text = std::move(text_);
  text_.clear();
  starts_.clear();
  return text;
}

}  // namespace vantrel
