#include "cgi/cgi_output.h"

#include <optional>

#include "base/integer_text.h"

namespace vantrel {
namespace {

constexpr std::string_view kEndOfHeaderBlock = "\r\n\r\n";
constexpr int kDefaultStatusCode = 200;

// The header block with every ": " replaced by "=".
std::string AsNameValueText(std::string_view header_block) {
  std::string text;
  text.reserve(header_block.size());
  for (std::size_t i = 0; i < header_block.size(); ++i) {
    if (header_block[i] == ':' && i + 1 < header_block.size() && header_block[i + 1] == ' ') {
      text += '=';
      ++i;
    } else {
      text += header_block[i];
    }
  }
  return text;
}

}  // namespace

CgiOutput ParseCgiOutput(std::string_view output) {
  CgiOutput parsed;
  const std::size_t end = output.find(kEndOfHeaderBlock);
  if (end == std::string_view::npos) return parsed;
  const std::string_view header_block = output.substr(0, end + kEndOfHeaderBlock.size());
  parsed.has_header_block = true;
  parsed.body = std::string(output.substr(header_block.size()));

  StringList values;
  values.SetText(AsNameValueText(header_block));
  parsed.content_type = values.Values("content-type");
  const std::string status = values.Values("status");
  const std::optional<std::int32_t> code = ParseInt32(std::string_view(status).substr(0, 3));
  parsed.status_code = code.value_or(kDefaultStatusCode);

  // The block ends in an empty line (its CR LF CR LF), which is not a
  // header. Other empty lines (mixed line ends can make some) are dropped
  // as well: sent among the response's header lines, one would end the
  // header early and push the rest into the body.
  StringList lines;
  lines.SetText(header_block);
  for (const std::string& line : lines) {
    if (!line.empty()) parsed.header_lines.Add(line);
  }
  return parsed;
}

}  // namespace vantrel
