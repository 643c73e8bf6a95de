#include "app/output_lines.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vantrel {
namespace {

// The most room kept from one page for the next.
constexpr std::size_t kMostRoomKept = std::size_t{256} << 10;

}  // namespace

void OutputLines::Clear() {
  size_ = 0;
  count_ = 0;
  if (capacity_ > kMostRoomKept) {
    text_.reset();
    capacity_ = 0;
  }
  if (starts_capacity_ > kMostRoomKept / sizeof(std::size_t)) {
    starts_.reset();
    starts_capacity_ = 0;
  }
}

void OutputLines::AddGrowing(std::string_view line) {
  const std::size_t size = size_ + line.size() + 2;
  if (size > capacity_) Grow(size);
  if (count_ == starts_capacity_) GrowStarts();
  Add(line);
}

void OutputLines::GrowStarts() {
  const std::size_t capacity = std::max<std::size_t>(16, 2 * starts_capacity_);
  std::unique_ptr<std::size_t[]> starts(new std::size_t[capacity]);
  if (count_ != 0) std::memcpy(starts.get(), starts_.get(), count_ * sizeof(std::size_t));
  starts_ = std::move(starts);
  starts_capacity_ = capacity;
}

void OutputLines::Grow(std::size_t size) {
  const std::size_t capacity = std::max({size, 2 * capacity_, std::size_t{256}});
  std::unique_ptr<char[]> text(new char[capacity]);
  if (size_ != 0) std::memcpy(text.get(), text_.get(), size_);
  text_ = std::move(text);
  capacity_ = capacity;
}

std::string_view OutputLines::operator[](std::size_t index) const {
  const std::size_t start = starts_[index];
  const std::size_t end = index + 1 < count_ ? starts_[index + 1] : size_;
  return Text().substr(start, end - start - 2);
}

std::string OutputLines::TakeText() {
  std::string text(Text());
  Clear();
  return text;
}

}  // namespace vantrel
