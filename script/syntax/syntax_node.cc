#include "script/syntax/syntax_node.h"

#include "script/syntax/syntax_parser.h"

namespace vantrel {

std::string_view NonTerminalNode::Text() const {
  if (parser_ == nullptr || start_ < 1 || end_ < start_) return {};
  const std::string_view text = parser_->BufferText(buffer_id_);
  const auto first = static_cast<std::size_t>(start_ - 1);
  if (first >= text.size()) return {};
  return text.substr(first, static_cast<std::size_t>(end_ - start_ + 1));
}

}  // namespace vantrel
