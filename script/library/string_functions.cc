// The system library's text functions. Texts are 8-bit characters;
// positions count from 1. Arguments are viewed in place (TextArgument), and
// a result that is the whole argument shares its characters.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/library/library_arguments.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {
namespace {

bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetter(char c) { return IsLowerAscii(c) || IsUpperAscii(c); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Spaces and control characters, which the trim functions remove.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Sets the result to argument 0 with every character mapped by `map`; the
// argument is shared when `changes` finds nothing to map.
template <typename Changes, typename Map>
void SetMappedResult(VirtualMachine& machine, Changes changes, Map map) {
  const TextArgument text(machine, 0);
  const std::string_view view = text.View();
  const auto first = std::find_if(view.begin(), view.end(), changes);
  if (first == view.end()) {
    text.SetResultPart(machine, view);
    return;
  }
  std::string mapped(view);
  for (auto at = mapped.begin() + (first - view.begin()); at != mapped.end(); ++at) {
    *at = map(*at);
  }
  machine.SetResult(Variant(mapped));
}

// Argument 0 with every character mapped by the process locale's `map`
// (its toupper or tolower).
void SetLocaleMappedResult(VirtualMachine& machine, int (*map)(int)) {
  SetMappedResult(
      machine,
      [map](char c) { return map(static_cast<unsigned char>(c)) != static_cast<unsigned char>(c); },
      [map](char c) { return static_cast<char>(map(static_cast<unsigned char>(c))); });
}

// The difference of the first differing character codes, else of the
// lengths; 0 when equal. With `ignore_case` ASCII letters compare upper-cased.
std::int32_t CompareCodes(std::string_view a, std::string_view b, bool ignore_case) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    char x = a[i];
    char y = b[i];
    if (ignore_case) {
      x = ToUpperAscii(x);
      y = ToUpperAscii(y);
    }
    if (x != y) return static_cast<unsigned char>(x) - static_cast<unsigned char>(y);
  }
  return TextSize32(a.size()) - TextSize32(b.size());
}

// The process locale's collation order of `a` and `b` (-1, 0 or 1). strcoll
// stops at a NUL character, so the pieces between NULs compare in turn.
std::int32_t Collate(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    const int order = std::strcoll(a.c_str() + i, b.c_str() + j);
    if (order != 0) return order < 0 ? -1 : 1;
    i += std::strlen(a.c_str() + i);
    j += std::strlen(b.c_str() + j);
    const bool a_ended = i == a.size();
    const bool b_ended = j == b.size();
    if (a_ended || b_ended) return a_ended == b_ended ? 0 : (a_ended ? -1 : 1);
    ++i;
    ++j;
  }
}

// Argument `i` with every character mapped through the process locale's
// lower case.
std::string LocaleLowerArgument(const VirtualMachine& machine, int i) {
  std::string text = machine.GetArgAsString(i);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void SetTrimmedResult(VirtualMachine& machine, bool leading, bool trailing) {
  const TextArgument text(machine, 0);
  std::string_view view = text.View();
  if (leading) {
    while (!view.empty() && IsTrimmed(view.front())) view.remove_prefix(1);
  }
  if (trailing) {
    while (!view.empty() && IsTrimmed(view.back())) view.remove_suffix(1);
  }
  text.SetResultPart(machine, view);
}

}  // namespace

void UpperCase(VirtualMachine& machine) {
  SetMappedResult(machine, IsLowerAscii, [](char c) { return ToUpperAscii(c); });
}

void LowerCase(VirtualMachine& machine) {
  SetMappedResult(machine, IsUpperAscii, [](char c) { return ToLowerAscii(c); });
}

void CompareStr(VirtualMachine& machine) {
  const TextArgument a(machine, 0);
  const TextArgument b(machine, 1);
  machine.SetResult(CompareCodes(a.View(), b.View(), false));
}

void CompareText(VirtualMachine& machine) {
  const TextArgument a(machine, 0);
  const TextArgument b(machine, 1);
  machine.SetResult(CompareCodes(a.View(), b.View(), true));
}

void AnsiUpperCase(VirtualMachine& machine) {
  SetLocaleMappedResult(machine, [](int c) { return std::toupper(c); });
}

void AnsiLowerCase(VirtualMachine& machine) {
  SetLocaleMappedResult(machine, [](int c) { return std::tolower(c); });
}

void AnsiCompareStr(VirtualMachine& machine) {
  machine.SetResult(Collate(machine.GetArgAsString(0), machine.GetArgAsString(1)));
}

void AnsiCompareText(VirtualMachine& machine) {
  machine.SetResult(Collate(LocaleLowerArgument(machine, 0), LocaleLowerArgument(machine, 1)));
}

void Trim(VirtualMachine& machine) { SetTrimmedResult(machine, true, true); }

void TrimLeft(VirtualMachine& machine) { SetTrimmedResult(machine, true, false); }

void TrimRight(VirtualMachine& machine) { SetTrimmedResult(machine, false, true); }

void IsValidIdent(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::string_view view = text.View();
  const bool valid = !view.empty() && (IsLetter(view.front()) || view.front() == '_') &&
                     std::all_of(view.begin() + 1, view.end(),
                                 [](char c) { return IsLetter(c) || IsDigit(c) || c == '_'; });
  machine.SetResult(valid);
}

// An index below 1 counts as 1; a count below 1 or an index beyond the end
// gives "".
void Copy(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::int32_t index = machine.GetArgAsInteger(1);
  const std::int32_t count = machine.GetArgAsInteger(2);
  const std::size_t start = index < 1 ? 0 : static_cast<std::size_t>(index) - 1;
  if (count < 1 || start >= text.Size()) {
    machine.SetResult(Variant(std::string_view()));
    return;
  }
  text.SetResultPart(machine, text.View().substr(start, static_cast<std::size_t>(count)));
}

// Removes up to `count` characters from `index`; nothing when the index is
// outside the text or the count below 1. The variable receives the text
// (also when unchanged), and so does the result.
void Delete(VirtualMachine& machine) {
  Variant result;
  {
    const TextArgument text(machine, 0);
    const std::int32_t index = machine.GetArgAsInteger(1);
    const std::int32_t count = machine.GetArgAsInteger(2);
    const std::string_view view = text.View();
    if (index >= 1 && static_cast<std::size_t>(index) <= view.size() && count >= 1) {
      const std::size_t start = static_cast<std::size_t>(index) - 1;
      const std::size_t end =
          start + std::min(static_cast<std::size_t>(count), view.size() - start);
      result = Variant::Concatenation(view.substr(0, start), view.substr(end));
    } else {
      result = text.Whole();
    }
  }
  machine.SetByRefArg(0, result);
  machine.SetResult(result);
}

// Inserts `sub` before `index`: at the start for an index below 1, at the
// end for one beyond it. The variable receives the text, and so does the
// result.
void Insert(VirtualMachine& machine) {
  Variant result;
  {
    const TextArgument sub(machine, 0);
    const TextArgument text(machine, 1);
    const std::int32_t index = machine.GetArgAsInteger(2);
    const std::string_view view = text.View();
    const std::size_t at =
        index < 1 ? 0 : std::min(static_cast<std::size_t>(index) - 1, view.size());
    if (sub.Empty()) {
      result = text.Whole();
    } else {
      std::string joined;
      joined.reserve(view.size() + sub.Size());
      joined.append(view.substr(0, at)).append(sub.View()).append(view.substr(at));
      result = Variant(joined);
    }
  }
  machine.SetByRefArg(1, result);
  machine.SetResult(result);
}

// 0 for an empty `sub`, as for one that does not occur.
void Pos(VirtualMachine& machine) {
  const TextArgument sub(machine, 0);
  const TextArgument text(machine, 1);
  const std::size_t at = sub.Empty() ? std::string_view::npos : text.View().find(sub.View());
  machine.SetResult(at == std::string_view::npos ? 0 : TextSize32(at) + 1);
}

void Length(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  machine.SetResult(TextSize32(text.Size()));
}

// The character of code mod 256; a negative code is refused rather than
// wrapped.
void Chr(VirtualMachine& machine) {
  const std::int32_t code = machine.GetArgAsInteger(0);
  if (code < 0) {
    throw ScriptRuntimeError(vantrel::Format("%s expects a character code of 0 or more, not %d",
                                             {machine.CurrentMemberName(), code}));
  }
  const char c = static_cast<char>(code % 256);
  machine.SetResult(Variant(std::string_view(&c, 1)));
}

void Ord(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  machine.SetResult(
      Variant::Byte(text.Empty() ? 0 : static_cast<unsigned char>(text.View().front())));
}

}  // namespace vantrel::system_functions
