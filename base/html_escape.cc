#include "base/html_escape.h"

namespace vantrel {
namespace {

std::string_view EntityOf(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return {};
  }
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view entity = EntityOf(text[i]);
    if (entity.empty()) continue;
    escaped.append(text.substr(plain_from, i - plain_from)).append(entity);
    plain_from = i + 1;
  }
  escaped.append(text.substr(plain_from));
  return escaped;
}

}  // namespace vantrel
