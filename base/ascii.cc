#include "base/ascii.h"

#include <algorithm>

namespace vantrel {

std::string ToUpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ToUpperAscii(c);
  return result;
}

std::string ToLowerAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ToLowerAscii(c);
  return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(ToUpperAscii(a[i]));
    const auto cb = static_cast<unsigned char>(ToUpperAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from) {
    return std::string_view::npos;
  }
  const std::size_t last = haystack.size() - needle.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (EqualsIgnoreCase(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

void AppendEscapingControlCharacters(std::string& out, std::string_view text) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  auto is_control = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
  };
  std::size_t start = 0;
  for (std::size_t n = 0; n < text.size(); ++n) {
    const char c = text[n];
    if (!is_control(c)) continue;
    out.append(text.substr(start, n - start));  // The ordinary run before it, at once.
    start = n + 1;
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  }
  out.append(text.substr(start));
}

}  // namespace vantrel
