#include "script/basic/basic_script.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "script/basic/basic_compiler.h"
#include "script/basic/basic_grammar.h"
#include "script/errors/script_errors.h"
#include "script/syntax/syntax_parser.h"

namespace vantrel {
namespace {

// Words that cannot be names, except as members after ".".
bool IsReservedWord(std::string_view text) {
  static constexpr std::string_view kReserved[] = {
      "sub",  "uses", "imports", "function", "end",     "if",    "then",   "else",    "elseif",
      "do",   "loop", "until",   "for",      "to",      "while", "step",   "next",    "select",
      "case", "with", "dim",     "public",   "private", "not",   "and",    "or",      "xor",
      "div",  "mod",  "shl",     "shr",      "exit",    "try",   "except", "finally", "forward"};
  if (text.size() < 2 || text.size() > 8) return false;
  std::array<char, 8> lower{};
  for (size_t i = 0; i < text.size(); ++i) lower[i] = ToLowerAscii(text[i]);
  const std::string_view word(lower.data(), text.size());
  for (const std::string_view reserved : kReserved) {
    if (reserved == word) return true;
  }
  return false;
}

// A reserved word is a name only as a member in a chain, where the node's
// parent and grandparent are elements of the same rule.
bool ValidateId(const NonTerminalNode& node) {
  if (!IsReservedWord(node.Text())) return true;
  const NonTerminalNode* parent = node.Parent();
  const NonTerminalNode* grandparent = parent != nullptr ? parent->Parent() : nullptr;
  return grandparent != nullptr && parent->RuleIndex() == grandparent->RuleIndex();
}

// Turns the character positions the compiler gave the instructions into
// rows and columns, as the parser counts them (every line followed by two
// characters of line end), with one search per instruction.
void PlaceInstructions(const StringList& source, InstructionList& code) {
  std::vector<long long> line_ends;  // Offset just past each line's end.
  line_ends.reserve(source.Count());
  long long start = 0;
  for (const std::string& line : source) {
    start += static_cast<long long>(line.size()) + 2;
    line_ends.push_back(start);
  }
  for (Instruction& instruction : code) {
    const long long offset = std::max(instruction.P - 1, 0);
    const auto end = std::upper_bound(line_ends.begin(), line_ends.end(), offset);
    const auto line = static_cast<size_t>(end - line_ends.begin());
    if (line == line_ends.size()) {
      instruction.P = PackSourcePosition(static_cast<int>(line) + 1, 1);
      continue;
    }
    const long long line_start = line == 0 ? 0 : line_ends[line - 1];
    const auto length = static_cast<long long>(source[line].size());
    const long long column = std::min(offset - line_start + 1, length);
    instruction.P = PackSourcePosition(static_cast<int>(line) + 1, static_cast<int>(column));
  }
}

}  // namespace

struct BasicScript::Impl {
  Impl() : rules((Setup(parser), parser)) { BasicCompiler::Attach(parser, &compiler); }

  static void Setup(SyntaxParser& parser) {
    parser.SetGrammarText(BasicGrammarText());
    parser.SetStringDelimiter('"');
    // REM is a word of its own: at the start of the text or after a blank,
    // a tab, a colon or a line end, and followed by a blank, a tab, a line
    // end or the end of the text (a REM alone on its line).
    parser.SetComments(
        {SyntaxComment{"'", "\r", ""}, SyntaxComment{"REM", "\r", " \t:\r\n", " \t\r\n"}});
    // ValidateId looks at the node's parent and grandparent.
    parser.SetOnValidate(parser.RuleIndex("id"), ValidateId, 2);
  }

  [[noreturn]] void Fail(const std::string& text, int position) const {
    const LineColumn place = parser.LineColumnOf(position > 0 ? position : 1);
    throw CompileError(text, place.Line, place.Column);
  }

  SyntaxParser parser;
  BasicRules rules;
  BasicCompiler* compiler = nullptr;  // The one walking the tree now.
};

BasicScript::BasicScript() : impl_(std::make_unique<Impl>()) {}

BasicScript::~BasicScript() = default;

void BasicScript::Compile(const StringList& source, CompileContext& context, CompiledCode& code,
                          const EnclosingRoutine* enclosing) {
  code.Clear();
  SyntaxParser& parser = impl_->parser;
  parser.SetInput(source);
  try {
    ParseResult result;
    bool parsed = false;
    try {
      parsed = parser.Parse(result);
    } catch (const SyntaxNestingError& error) {
      impl_->Fail("Program nesting is too deep", error.Position());
    }
    if (!parsed) impl_->Fail("Syntax error", result.Farthest.InputPosition);
    BasicCompiler compiler(parser, impl_->rules, context, code, enclosing);
    impl_->compiler = &compiler;
    parser.WalkTree();
    compiler.Finish();
    PlaceInstructions(source, code.Instructions);
    impl_->compiler = nullptr;
  } catch (...) {
    impl_->compiler = nullptr;
    code.Clear();
    throw;
  }
}

}  // namespace vantrel
