#include "base/string_list.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/text_file.h"

namespace vantrel {

void StringList::SetText(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  lines_ = std::move(lines);
}

std::string StringList::Text() const {
  std::size_t size = 0;
  for (const auto& line : lines_) size += line.size() + 2;
  std::string text(size, '\0');
  char* out = text.data();
  for (const auto& line : lines_) {
    out = std::copy(line.begin(), line.end(), out);
    *out++ = '\r';
    *out++ = '\n';
  }
  return text;
}

void StringList::LoadFromFile(const std::string& path) { SetText(ReadWholeFile(path)); }

void StringList::SaveToFile(const std::string& path, int new_file_mode) const {
  WriteWholeFile(path, Text(), new_file_mode);
}

void StringList::Insert(std::size_t index, std::string line) {
  if (index > lines_.size()) index = lines_.size();
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void StringList::Delete(std::size_t index) {
  if (index < lines_.size()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

int StringList::IndexOfIgnoreCase(std::string_view line) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (EqualsIgnoreCase(lines_[i], line)) return static_cast<int>(i);
  }
  return -1;
}

int StringList::IndexOfName(std::string_view name) const {
  // A line's name ends at its first "=", so a name holding one never matches;
  // otherwise a line can only match when its "=" stands right after as many
  // characters as the name has, which rules most lines out at one byte.
  if (name.find('=') != std::string_view::npos) return -1;
  const std::size_t length = name.size();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view line = lines_[i];
    if (line.size() > length && line[length] == '=' &&
        EqualsIgnoreCase(line.substr(0, length), name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string StringList::Values(std::string_view name) const {
  return std::string(ValueView(name));
}

std::string_view StringList::ValueView(std::string_view name) const {
  const int index = IndexOfName(name);
  if (index < 0) return {};
  const std::string_view line = lines_[static_cast<std::size_t>(index)];
  return line.substr(name.size() + 1);
}

std::string StringList::NameAt(std::size_t index) const {
  const std::string& line = lines_.at(index);
  return line.substr(0, line.find('='));
}

std::string StringList::ValueAt(std::size_t index) const {
  const std::string& line = lines_.at(index);
  const std::size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

}  // namespace vantrel
