#include "http/header_list.h"

#include "base/ascii.h"

namespace vantrel {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeftBlanks(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlankOrControl(text[start])) ++start;
  return text.substr(start);
}

std::string_view TrimLeftSpaces(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsSpaceOrTab(text[start])) ++start;
  return text.substr(start);
}

}  // namespace

void HeaderList::SetSeparator(std::string separator) {
  separator_ = std::move(separator);
  std::string delimiter = separator_;
  while (!delimiter.empty() && IsSpaceOrTab(delimiter.back())) delimiter.pop_back();
  // A separator of blanks only delimits with itself.
  name_delimiter_ = delimiter.empty() ? separator_ : delimiter;
  if (name_delimiter_.empty()) name_delimiter_ = ":";
}

std::string_view HeaderList::NameOf(std::string_view line) const {
  const std::size_t end = line.find(name_delimiter_);
  return end == std::string_view::npos ? std::string_view() : line.substr(0, end);
}

bool HeaderList::NameMatches(std::string_view line_name, std::string_view name) const {
  return names_case_sensitive_ ? line_name == name : EqualsIgnoreCase(line_name, name);
}

std::string HeaderList::Names(std::size_t index) const {
  const std::string_view name = NameOf(lines_[index]);
  return names_case_sensitive_ ? std::string(name) : ToUpperAscii(name);
}

int HeaderList::IndexOfName(std::string_view name) const {
  const std::size_t length = name.size();
  const std::size_t delimiter = name_delimiter_.size();
  for (std::size_t i = 0; i < lines_.Count(); ++i) {
    const std::string_view line = lines_[i];
    // Looked up many times a request: a line whose delimiter does not stand
    // right after as many characters as the name has is passed over at
    // once. (An empty name also matches a line without a delimiter.)
    if (length > 0 && (line.size() < length + delimiter ||
                       line.compare(length, delimiter, name_delimiter_) != 0)) {
      continue;
    }
    if (NameMatches(NameOf(line), name)) return static_cast<int>(i);
  }
  return -1;
}

std::string HeaderList::ValueAt(std::size_t index) const {
  const std::string_view line = lines_[index];
  const std::size_t end = line.find(name_delimiter_);
  std::string value(end == std::string_view::npos ? std::string_view()
                                                  : line.substr(end + name_delimiter_.size()));
  if (join_continuations_) {
    for (std::size_t next = index + 1; next < lines_.Count(); ++next) {
      const std::string& continuation = lines_[next];
      if (continuation.empty() || !IsSpaceOrTab(continuation.front())) break;
      if (value.empty() || !IsSpaceOrTab(value.back())) value += ' ';
      value += TrimLeftSpaces(continuation);
    }
  }
  const std::string_view trimmed = TrimLeftBlanks(value);
  if (trimmed.size() != value.size()) value.erase(0, value.size() - trimmed.size());
  return value;
}

std::string HeaderList::ValueByName(std::string_view name) const {
  const int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueAt(static_cast<std::size_t>(index));
}

void HeaderList::ValuesByName(std::string_view name, StringList& values) const {
  for (std::size_t i = 0; i < lines_.Count(); ++i) {
    if (NameMatches(NameOf(lines_[i]), name)) values.Add(ValueAt(i));
  }
}

void HeaderList::SetValueByName(std::string_view name, std::string_view value) {
  const int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) lines_.Delete(static_cast<std::size_t>(index));
    return;
  }
  std::string line;
  line.reserve(name.size() + separator_.size() + value.size());
  line.append(name).append(separator_).append(value);
  if (index >= 0) {
    lines_[static_cast<std::size_t>(index)] = std::move(line);
  } else {
    lines_.Add(std::move(line));
  }
}

}  // namespace vantrel
