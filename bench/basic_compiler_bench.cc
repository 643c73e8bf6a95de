// How quickly the Basic compiler turns a script page into code: a
// generated 200-line page (literal HTML as echo calls, a loop, an if and a
// select over request values), compiled by one BasicScript reused across
// runs as the scripter reuses it. Parsing is included; it is most of it.
#include <benchmark/benchmark.h>

#include <functional>
#include <set>
#include <string>

#include "base/ascii.h"
#include "base/string_list.h"
#include "script/basic/basic_grammar.h"
#include "script/basic/basic_script.h"
#include "script/machine/script_info.h"
#include "script/syntax/syntax_parser.h"
#include "tests/script/compile_test_context.h"

namespace vantrel {
namespace {

// About 200 lines: mostly echoed HTML, with the logic a page has.
std::string PageProgram() {
  std::string text = "dim title\r\ntitle = \"Device \"\"A\"\"\"\r\n";
  for (int block = 0; block < 12; ++block) {
    const std::string n = std::to_string(block);
    text += "echo(\"<div class=\"\"row" + n + "\"\">\")\r\n";
    text += "echo(\"<h2>\" & title & \" " + n + "</h2>\")\r\n";
    text += "echo(\"<table><tr><th>Name</th><th>Value</th></tr>\")\r\n";
    text += "for i" + n + " = 1 to 3\r\n";
    text += "  echo(\"<tr><td>\" & i" + n + " & \"</td><td>\" & Add(i" + n + ", " + n +
            ") & \"</td></tr>\")\r\n";
    text += "next\r\n";
    text += "if Counter > " + n + " then\r\n  echo(\"<p>busy</p>\")\r\nelse\r\n";
    text += "  Counter = Counter + 1\r\nend if\r\n";
    text += "select case Counter mod 3\r\n  case 0\r\n    echo(\"zero\")\r\n";
    text +=
        "  case 1, 2\r\n    echo(\"some\")\r\n  case else\r\n    echo(\"none\")\r\nend select\r\n";
  }
  return text;
}

void BM_CompilePage(benchmark::State& state) {
  test::TestCompileContext context;
  BasicScript compiler;
  CompiledCode code;
  StringList source;
  source.SetText(PageProgram());
  for (auto _ : state) {
    compiler.Compile(source, context, code);
    benchmark::DoNotOptimize(code.Instructions.data());
  }
  state.counters["lines"] = static_cast<double>(source.Count());
  state.counters["instructions"] = static_cast<double>(code.Instructions.size());
}
BENCHMARK(BM_CompilePage)->Unit(benchmark::kMicrosecond);

// The compiler's check that keeps reserved words from being names, which
// looks two levels up: at the node's parent and grandparent.
bool ValidateId(NonTerminalNode& node) {
  static const std::set<std::string, std::less<>> kReserved = {
      "sub",  "uses", "imports", "function", "end",     "if",    "then",   "else",    "elseif",
      "do",   "loop", "until",   "for",      "to",      "while", "step",   "next",    "select",
      "case", "with", "dim",     "public",   "private", "not",   "and",    "or",      "xor",
      "div",  "mod",  "shl",     "shr",      "exit",    "try",   "except", "finally", "forward"};
  if (kReserved.count(ToLowerAscii(node.Text())) == 0) return true;
  return node.Parent()->RuleIndex() == node.Parent()->Parent()->RuleIndex();
}

// The parse alone, set up as the compiler sets its parser up, so that the
// compiler's own share is the difference to BM_CompilePage.
void BM_ParseSamePage(benchmark::State& state) {
  SyntaxParser parser;
  parser.SetGrammarText(BasicGrammarText());
  parser.SetStringDelimiter('"');
  parser.SetComments({SyntaxComment{"'", "\r", ""}, SyntaxComment{"REM ", "\r", " :\r\n"}});
  parser.SetOnValidate(parser.RuleIndex("id"), ValidateId, 2);
  StringList source;
  source.SetText(PageProgram());
  parser.SetInput(source);
  for (auto _ : state) {
    if (!parser.Parse()) state.SkipWithError("the page does not parse");
  }
}
BENCHMARK(BM_ParseSamePage)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel
