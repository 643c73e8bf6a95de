#include "base/ascii.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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
  if (a == b) return true;  // Names are mostly written alike.
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

namespace {

// Whether any of the eight bytes of `word` is below 0x20 or is 0x7F. Exact
// (no byte is missed and none is invented); a tab also counts, and is then
// let through by the byte loop.
bool MayHoldControl(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  const std::uint64_t below_space = (word - kOnes * 0x20) & ~word & kHighBits;
  const std::uint64_t del = word ^ (kOnes * 0x7F);
  const std::uint64_t is_del = (del - kOnes) & ~del & kHighBits;
  return (below_space | is_del) != 0;
}

}  // namespace

void AppendEscapingControlCharacters(std::string& out, std::string_view text) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  auto is_control = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
  };
  out.reserve(out.size() + text.size());
  std::size_t start = 0;
  std::size_t n = 0;
  while (n < text.size()) {
    // Log lines are mostly plain: skip them eight bytes at a time.
    if (text.size() - n >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + n, sizeof word);
      if (!MayHoldControl(word)) {
        n += 8;
        continue;
      }
    }
    const char c = text[n++];
    if (!is_control(c)) continue;
    out.append(text.substr(start, n - 1 - start));  // The ordinary run before it, at once.
    start = n;
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
