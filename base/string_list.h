// An ordered list of text lines, the form in which the system holds the
// settings file, page files and log text.
//
// Reading splits at CR, at LF and at CR LF (a CR followed by LF is one line
// end); a final line without a line end still counts, and text that ends in
// a line end has no empty line after it. Writing puts CR LF after every line,
// the last one included. Lines are 8-bit text kept byte for byte.
//
// Not synchronised: owners that share a list between threads guard it.
#ifndef VANTREL_BASE_STRING_LIST_H_
#define VANTREL_BASE_STRING_LIST_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class StringList {
 public:
  StringList() = default;
  StringList(std::initializer_list<std::string> lines) : lines_(lines) {}

  // Replaces the lines with those of `text`.
  void SetText(std::string_view text);
  // The lines joined, each followed by CR LF.
  std::string Text() const;

  // Replaces the lines with those of the file. Raises FileOpenError and
  // leaves the list unchanged when the file cannot be read.
  void LoadFromFile(const std::string& path);
  // Writes Text() to the file. Raises FileCreateError.
  // A file made new gets `new_file_mode` (see WriteWholeFile).
  void SaveToFile(const std::string& path, int new_file_mode = 0644) const;

  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Insert(std::size_t index, std::string line);
  void Delete(std::size_t index);
  void Clear() { lines_.clear(); }

  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](std::size_t index) const { return lines_[index]; }
  std::string& operator[](std::size_t index) { return lines_[index]; }

  // Index of the first line equal to `line` ignoring ASCII case, or -1.
  int IndexOfIgnoreCase(std::string_view line) const;

  // "Name=Value" lines: the name is the text before the first "=", the value
  // everything after it; nothing is trimmed. A line without "=" has no name.
  // Index of the first line whose name equals `name` ignoring ASCII case, or -1.
  int IndexOfName(std::string_view name) const;
  // Value of the first line named `name`; empty when there is none.
  std::string Values(std::string_view name) const;
  // The same, as a view into the line (valid while the list is unchanged).
  std::string_view ValueView(std::string_view name) const;
  // Name and value of the line at `index` (the name is the whole line and the
  // value empty when it has no "=").
  std::string NameAt(std::size_t index) const;
  std::string ValueAt(std::size_t index) const;

  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  bool operator==(const StringList&) const = default;

 private:
  std::vector<std::string> lines_;
};

}  // namespace vantrel

#endif  // VANTREL_BASE_STRING_LIST_H_
