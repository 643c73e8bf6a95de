// The parser's input: the text parsed and the texts included into it
// (PushInput), the cursor that moves across them, and what positions in
// them mean.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script/syntax/syntax_parser.h"

namespace vantrel {

void SyntaxParser::SetInput(const StringList& input) {
  RefuseWhileBusy();
  input_ = input;
  input_text_ = input_.Text();
  // The tree and the included texts described the previous input.
  Clear();
  ResetInput();
}

void SyntaxParser::SetInputText(std::string_view text) {
  StringList input;
  input.SetText(text);
  SetInput(input);
}

void SyntaxParser::ResetInput() {
  includes_.clear();
  EnterBuffer(0);
  position_ = 1;
  last_position_ = 0;
  last_buffer_ = 0;
}

void SyntaxParser::EnterBuffer(int buffer) {
  buffer_ = buffer;
  const std::string_view text = BufferText(buffer);
  text_ = text.data();
  length_ = static_cast<int>(text.size());
}

std::string_view SyntaxParser::BufferText(int buffer_id) const {
  if (buffer_id == 0) return input_text_;
  if (buffer_id < 0 || static_cast<std::size_t>(buffer_id) > includes_.size()) return {};
  return includes_[static_cast<std::size_t>(buffer_id - 1)].Text;
}

void SyntaxParser::SetInputPosition(int position) {
  position_ = std::clamp(position, 1, length_ + 1);
}

void SyntaxParser::SetFarthestPosition(int position) {
  farthest_.InputPosition = position;
  farthest_.BufferId = buffer_;
}

int SyntaxParser::PushInput(std::string text) {
  Include include;
  include.BufferId = static_cast<int>(includes_.size()) + 1;
  include.Text = std::move(text);
  include.SuspendedBufferId = buffer_;
  include.ResumePosition = position_;
  include.FarthestPosition = farthest_.InputPosition;
  includes_.push_back(std::move(include));
  // Included texts come and go with handlers: from here on, the parse
  // matches every rule without memory.
  std::fill(remembered_rules_.begin(), remembered_rules_.end(), std::uint8_t{0});
  EnterBuffer(includes_.back().BufferId);
  position_ = 1;
  return buffer_;
}

std::vector<SavedInput> SyntaxParser::SavedInputs() const {
  std::vector<SavedInput> saved;
  for (int buffer = buffer_; buffer != 0;) {
    const Include& include = includes_[static_cast<std::size_t>(buffer - 1)];
    saved.push_back(SavedInput{include.SuspendedBufferId, include.ResumePosition,
                               include.FarthestPosition, BufferText(include.SuspendedBufferId)});
    buffer = include.SuspendedBufferId;
  }
  std::reverse(saved.begin(), saved.end());
  return saved;
}

LineColumn SyntaxParser::LineColumnOf(int position) const {
  const long long offset = std::max(position - 1, 0);
  long long line_start = 0;
  int line = 0;
  for (const std::string& text : input_) {
    ++line;
    const auto length = static_cast<long long>(text.size());
    if (offset < line_start + length + 2) {
      const long long column = std::min(offset - line_start + 1, length);
      return LineColumn{line, static_cast<int>(column)};
    }
    line_start += length + 2;
  }
  return LineColumn{line + 1, 1};
}

int SyntaxParser::PeekAtBufferEnd() {
  while (position_ > length_ && buffer_ != 0) {
    const Include& include = includes_[static_cast<std::size_t>(buffer_ - 1)];
    const int resume = include.ResumePosition;
    EnterBuffer(include.SuspendedBufferId);
    position_ = resume;
  }
  return position_ <= length_ ? static_cast<unsigned char>(text_[position_ - 1]) : -1;
}

bool SyntaxParser::SuspendedInputsUsedUp() const {
  for (int buffer = buffer_; buffer != 0;) {
    const Include& include = includes_[static_cast<std::size_t>(buffer - 1)];
    if (include.ResumePosition <= static_cast<int>(BufferText(include.SuspendedBufferId).size())) {
      return false;
    }
    buffer = include.SuspendedBufferId;
  }
  return true;
}

bool SyntaxParser::IsBefore(int buffer_a, int position_a, int buffer_b, int position_b) const {
  // An included text stands between the character before its resume
  // position and the one at it; compare the chains of positions from the
  // outermost buffer in, where 2p is position p and 2r-1 the place of an
  // included text resumed at r.
  const auto chain = [this](int buffer, int position) {
    std::vector<long long> steps{2LL * position};
    while (buffer != 0) {
      const Include& include = includes_[static_cast<std::size_t>(buffer - 1)];
      steps.push_back(2LL * include.ResumePosition - 1);
      buffer = include.SuspendedBufferId;
    }
    std::reverse(steps.begin(), steps.end());
    return steps;
  };
  const std::vector<long long> a = chain(buffer_a, position_a);
  const std::vector<long long> b = chain(buffer_b, position_b);
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace vantrel
