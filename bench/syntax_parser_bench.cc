// How quickly the syntax parser reads Basic programs with the Basic grammar:
// a page-sized program (parsed on every request of a script page) and a long
// one, each parsed by one parser reused across runs as the compiler reuses
// it, with the compiler's reserved-word check on identifiers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "bench/sample_routine.h"
#include "script/basic/basic_grammar.h"
#include "script/syntax/syntax_parser.h"

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 36> kReservedWords = {
    "and",  "case",    "dim", "div",     "do",       "else",   "elseif",  "end",  "except",
    "exit", "finally", "for", "forward", "function", "if",     "imports", "loop", "mod",
    "next", "not",     "or",  "private", "public",   "select", "shl",     "shr",  "step",
    "sub",  "then",    "to",  "try",     "until",    "uses",   "while",   "with", "xor"};

// Looks two levels up: at the node's parent and grandparent.
bool ValidateId(NonTerminalNode& node) {
  const std::string_view text = node.Text();
  if (text.size() > 8) return true;
  char lower[8];
  for (std::size_t i = 0; i < text.size(); ++i) lower[i] = ToLowerAscii(text[i]);
  const std::string_view word(lower, text.size());
  if (!std::binary_search(kReservedWords.begin(), kReservedWords.end(), word)) return true;
  const NonTerminalNode* parent = node.Parent();
  const NonTerminalNode* grandparent = parent->Parent();
  return grandparent != nullptr && parent->RuleIndex() == grandparent->RuleIndex();
}

void SetUpBasic(SyntaxParser& parser) {
  parser.SetGrammarText(BasicGrammarText());
  parser.SetStringDelimiter('"');
  parser.SetComments({SyntaxComment{"'", "\r", ""}, SyntaxComment{"REM ", "\r", " :\r\n"}});
  parser.SetOnValidate(parser.RuleIndex("id"), ValidateId, 2);
}

// About eleven lines of a translated script page: literal text as echo calls,
// code that reads the request and talks to the device.
std::string PageBlock(int n) {
  const std::string i = std::to_string(n);
  return "echo (\"<tr><td class=\"+q+\"cell" + i +
         "\"+q+\">\"+chr(13)+chr (10))\r\n"
         "value = get_value(\"field" +
         i +
         "\")\r\n"
         "if value <> \"\" and len(value) > 2 then\r\n"
         "  send(\"SET " +
         i +
         " \" + value + chr(13)) ' tell the device\r\n"
         "elseif value = \"?\" then\r\n"
         "  answer = receive() : parts = split(answer, \";\")\r\n"
         "else\r\n"
         "  echo ( \"<b>\" + inttostr(count * " +
         i +
         " + 1) + \"</b>\" )\r\n"
         "end if\r\n"
         "for k = 1 to 3 step 1\r\n  total = total + k : next\r\n";
}

std::string PageProgram(int lines) {
  std::string program = "dim value, answer, parts, total, k, count\r\ncount = 0\r\n";
  for (int n = 0; n * 11 + 2 < lines; ++n) program += PageBlock(n);
  return program;
}

std::string LargeProgram(int lines) {
  std::string program;
  int n = 0;
  for (; n * 20 < lines / 2; ++n) program += SampleRoutine(n);
  program += "dim value, answer, parts, total, k, count\r\n";
  for (int block = 0; n * 20 + block * 11 < lines; ++block) program += PageBlock(block);
  return program;
}

int LineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void ParseProgram(benchmark::State& state, const std::string& program) {
  SyntaxParser parser;
  SetUpBasic(parser);
  for (auto _ : state) {
    parser.SetInputText(program);
    if (!parser.Parse()) state.SkipWithError("syntax error");
    benchmark::DoNotOptimize(parser.Root().ChildCount());
  }
  state.counters["lines"] = LineCount(program);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(program.size()));
}

void BM_ParsePage(benchmark::State& state) { ParseProgram(state, PageProgram(200)); }
BENCHMARK(BM_ParsePage)->Unit(benchmark::kMicrosecond);

void BM_ParseLargeProgram(benchmark::State& state) { ParseProgram(state, LargeProgram(5000)); }
BENCHMARK(BM_ParseLargeProgram)->Unit(benchmark::kMillisecond);

// The page parsed and then walked with a handler on every rule, as the
// compiler walks it.
void BM_ParseAndWalkPage(benchmark::State& state) {
  const std::string program = PageProgram(200);
  SyntaxParser parser;
  SetUpBasic(parser);
  long visits = 0;
  for (int rule = 0; rule < parser.Rules().Count(); ++rule) {
    parser.SetOnEnter(rule, [&visits](NonTerminalNode&) { ++visits; });
  }
  for (auto _ : state) {
    parser.SetInputText(program);
    if (!parser.Parse()) state.SkipWithError("syntax error");
    parser.WalkTree();
  }
  benchmark::DoNotOptimize(visits);
}
BENCHMARK(BM_ParseAndWalkPage)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel
