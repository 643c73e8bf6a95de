// An ordered list of header lines ("Name: value"), as read from a request
// or collected for a response, with lookup and replacement by name.
//
// A line's name is the text before the first occurrence of the separator
// without its trailing blanks (":" for the default ": "); a line without it
// has an empty name. With NamesCaseSensitive off (the default) names are
// compared ignoring ASCII case and Names() returns them upper-cased.
//
// Folding long values on write is a setting only: values are never folded
// (SetValueByName writes one line).
//
// Not synchronised: a list belongs to one request and is used by the
// thread serving it.
#ifndef VANTREL_HTTP_HEADER_LIST_H_
#define VANTREL_HTTP_HEADER_LIST_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "base/string_list.h"

namespace vantrel {

class HeaderList {
 public:
  static constexpr char kDefaultSeparator[] = ": ";
  static constexpr int kDefaultFoldWidth = 78;

  HeaderList() = default;

  // Settings.
  const std::string& Separator() const { return separator_; }
  void SetSeparator(std::string separator);
  bool NamesCaseSensitive() const { return names_case_sensitive_; }
  void SetNamesCaseSensitive(bool value) { names_case_sensitive_ = value; }
  bool JoinContinuations() const { return join_continuations_; }
  void SetJoinContinuations(bool value) { join_continuations_ = value; }
  bool FoldOnWrite() const { return fold_on_write_; }
  void SetFoldOnWrite(bool value) { fold_on_write_ = value; }
  int FoldWidth() const { return fold_width_; }
  void SetFoldWidth(int width) { fold_width_ = width; }

  // The lines themselves.
  void Add(std::string line) { lines_.Add(std::move(line)); }
  void Insert(std::size_t index, std::string line) { lines_.Insert(index, std::move(line)); }
  void Delete(std::size_t index) { lines_.Delete(index); }
  void Clear() { lines_.Clear(); }
  std::size_t Count() const { return lines_.Count(); }
  bool Empty() const { return lines_.Empty(); }
  const std::string& operator[](std::size_t index) const { return lines_[index]; }
  std::string& operator[](std::size_t index) { return lines_[index]; }
  const StringList& Lines() const { return lines_; }
  StringList& Lines() { return lines_; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  // The lines joined, each followed by CR LF; SetText replaces the lines
  // with those of `text` (split as StringList splits).
  std::string Text() const { return lines_.Text(); }
  void SetText(std::string_view text) { lines_.SetText(text); }

  // The name of the line at `index` (upper-cased unless NamesCaseSensitive).
  std::string Names(std::size_t index) const;

  // Index of the first line named `name`, or -1.
  int IndexOfName(std::string_view name) const;

  // The value of the first line named `name`: the text after the name and
  // its delimiter, with continuation lines (following non-empty lines that
  // begin with a space or TAB) joined when JoinContinuations is on, and
  // leading blanks and control characters removed. "" when there is none.
  std::string ValueByName(std::string_view name) const;

  // Appends to `values` the value of every line named `name`, in order.
  void ValuesByName(std::string_view name, StringList& values) const;

  // With a non-empty `value`: replaces the first line named `name` by
  // name + Separator + value, or appends that line when there is none.
  // With an empty `value`: deletes the first line named `name`, if any.
  void SetValueByName(std::string_view name, std::string_view value);

 private:
  // The name of `line` as written; empty when it has no delimiter.
  std::string_view NameOf(std::string_view line) const;
  bool NameMatches(std::string_view line_name, std::string_view name) const;
  // The value of the line at `index`, as ValueByName describes it.
  std::string ValueAt(std::size_t index) const;

  StringList lines_;
  std::string separator_ = kDefaultSeparator;
  std::string name_delimiter_ = ":";  // separator_ without trailing blanks; never empty.
  bool names_case_sensitive_ = false;
  bool join_continuations_ = true;
  bool fold_on_write_ = true;
  int fold_width_ = kDefaultFoldWidth;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HEADER_LIST_H_
