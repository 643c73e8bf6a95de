#include "app/document_path.h"

#include <vector>

namespace vantrel {

std::string MapDocumentPath(std::string_view web_directory, std::string_view document) {
  std::vector<std::string_view> segments;
  const auto add_segments = [&segments](std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '/' && text[i] != '\\') continue;
      const std::string_view segment = text.substr(start, i - start);
      start = i + 1;
      if (segment.empty() || segment == ".") continue;
      if (segment == "..") {
        if (!segments.empty()) segments.pop_back();
        continue;
      }
      segments.push_back(segment);
    }
  };
  add_segments(web_directory);
  add_segments(document);

  std::string path;
  path.reserve(web_directory.size() + document.size() + 1);
  for (const std::string_view segment : segments) {
    path += '/';
    path += segment;
  }
  return path.empty() ? "/" : path;
}

bool HoldsControlByte(std::string_view document) {
  for (const char c : document) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool IsInsideWebDirectory(std::string_view web_directory, std::string_view full_path) {
  return full_path.size() > web_directory.size() &&
         full_path.substr(0, web_directory.size()) == web_directory &&
         full_path[web_directory.size()] == '/';
}

}  // namespace vantrel
