// Letter case in the system's own terms: only the ASCII letters A-Z and a-z
// change case; every other byte (including bytes of UTF-8 sequences and of
// 8-bit code pages) compares as itself. Setting keys, header names, script
// member names and file extensions are all matched this way.
#ifndef VANTREL_BASE_ASCII_H_
#define VANTREL_BASE_ASCII_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

constexpr char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
constexpr char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

// True when `a` and `b` are equal apart from the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Three-way comparison of the upper-cased texts: negative, zero or positive.
int CompareIgnoreCase(std::string_view a, std::string_view b);

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

// Position of the first occurrence of `needle` in `haystack` at or after
// `from`, ignoring ASCII case; std::string_view::npos when absent. An empty
// needle is found at `from` when `from` is within the text.
std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle,
                           std::size_t from = 0);

// Appends `text` to `out` with every control byte but the tab written out
// visibly: CR and LF as \r and \n, the others (ESC, DEL, ...) as \xHH.
// Text from outside (a client's request line, say) goes through here before
// it reaches a line-based log or a terminal, so it can neither start a line
// of its own nor send the terminal escape sequences.
void AppendEscapingControlCharacters(std::string& out, std::string_view text);

}  // namespace vantrel

#endif  // VANTREL_BASE_ASCII_H_
