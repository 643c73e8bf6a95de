#include "app/document_path.h"

#include <vector>

#include "base/ascii.h"

namespace vantrel {

std::string MapDocumentPath(std::string_view web_directory, std::string_view document) {
  // Built in place: each kept segment is appended after a "/", and ".."
  // cuts the path back to the "/" before its last segment (segments hold no
  // separator, so that "/" is the last one in the path).
  std::string path;
  path.reserve(web_directory.size() + document.size() + 1);
  const auto add_segments = [&path](std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '/' && text[i] != '\\') continue;
      const std::string_view segment = text.substr(start, i - start);
      start = i + 1;
      if (segment.empty() || segment == ".") continue;
      if (segment == "..") {
        if (!path.empty()) path.resize(path.rfind('/'));
        continue;
      }
      path += '/';
      path += segment;
    }
  };
  add_segments(web_directory);
  add_segments(document);
  if (path.empty()) path = "/";
  return path;
}

std::vector<std::string_view> SegmentsBelow(std::string_view web_directory,
                                            std::string_view full_path) {
  std::vector<std::string_view> segments;
  if (!IsInsideWebDirectory(web_directory, full_path)) return segments;
  std::string_view rest = full_path.substr(web_directory.size() + 1);
  for (std::size_t slash = rest.find('/'); slash != std::string_view::npos;
       slash = rest.find('/')) {
    segments.push_back(rest.substr(0, slash));
    rest.remove_prefix(slash + 1);
  }
  segments.push_back(rest);
  return segments;
}

std::optional<PhpScript> FindPhpScript(std::string_view web_directory, std::string_view document,
                                       const std::function<bool(const std::string&)>& is_file) {
  const std::string full_path = MapDocumentPath(web_directory, document);
  const std::vector<std::string_view> segments = SegmentsBelow(web_directory, full_path);
  std::string script(web_directory);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    script += '/';
    script += segments[i];
    if (!EndsWithIgnoreCase(segments[i], ".php") || !is_file(script)) continue;
    PhpScript found;
    found.document = script.substr(web_directory.size());
    found.path_info = full_path.substr(script.size());
    found.full_path = std::move(script);
    return found;
  }
  return std::nullopt;
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
