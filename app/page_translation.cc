#include "app/page_translation.h"

namespace vantrel {
namespace {

constexpr std::string_view kCodeStart = "<%";
constexpr std::string_view kCodeEnd = "%>";
constexpr std::string_view kLineEnd = "\r\n";

// How a special character of a literal chunk is spelled after a quoted
// string (which the caller closes first); empty for an ordinary character.
std::string_view SpellingAfterText(char c) {
  switch (c) {
    case '\t':
      return "+chr(9)";
    case '\n':
      return "+chr(10)";
    case '\r':
      return "+chr(13)";
    case '"':
      return "+q";
    case '&':
      return "+chr(38)";
    case '(':
      return "+po";
    case ')':
      return "+pc";
    default:
      return {};
  }
}

// The same after another special character. TAB, LF and CR are then
// spelled with a blank before the parenthesis ("chr (10)"): a translated
// line break reads "+chr(13)+chr (10)".
std::string_view SpellingAfterSpecial(char c) {
  switch (c) {
    case '\t':
      return "+chr (9)";
    case '\n':
      return "+chr (10)";
    case '\r':
      return "+chr (13)";
    default:
      return SpellingAfterText(c);
  }
}

}  // namespace

std::string QuoteLiteral(std::string_view chunk) {
  while (!chunk.empty() &&
         (chunk.front() == '\r' || chunk.front() == '\n' || chunk.front() == '\t')) {
    chunk.remove_prefix(1);
  }
  std::string quoted = "\"";
  quoted.reserve(chunk.size() + 16);
  bool inside_string = true;
  for (const char c : chunk) {
    const std::string_view special = inside_string ? SpellingAfterText(c) : SpellingAfterSpecial(c);
    if (!special.empty()) {
      if (inside_string) quoted += '"';
      quoted += special;
      inside_string = false;
      continue;
    }
    if (!inside_string) quoted += "+\"";
    quoted += c;
    inside_string = true;
  }
  if (inside_string) quoted += '"';
  return quoted;
}

std::string PageToProgram(std::string_view page) {
  std::string program;
  program.reserve(page.size() + page.size() / 2 + 16);
  bool literal = true;
  std::string_view rest = page;
  do {
    const std::string_view delimiter = literal ? kCodeStart : kCodeEnd;
    const std::size_t at = rest.find(delimiter);
    const std::string_view text = rest.substr(0, at);
    if (literal) {
      if (!text.empty()) {
        program += "echo (";
        program += QuoteLiteral(text);
        program += ")";
        program += kLineEnd;
      }
    } else {
      if (!text.empty() && text.front() == '=') {
        program += "echo (";
        program += text.substr(1);
        program += ")";
      } else {
        program += text;
      }
      program += kLineEnd;
    }
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + delimiter.size());
    literal = !literal;
  } while (!rest.empty());
  return program;
}

}  // namespace vantrel
