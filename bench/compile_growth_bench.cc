// How compile time grows with the length of a program.
//
// BM_CompileNest: programs made of one kind of line that opens a block and
// never closes it, so that every line nests inside the one before and the
// compile ends in a syntax error (or, past a few hundred lines, in "Program
// nesting is too deep", counted as too_deep). These are the shapes in which
// the parser once tried the same text again under every enclosing
// alternative: the glued ones (`tryC`: a keyword directly followed by a
// name, which the grammar reads both as the block and as a call) doubled
// the time with every line. The glued ones still read the lines after each
// block once per enclosing block, from memory, before the block fails.
//
// BM_CompileScript: an ordinary 1,200-line script (routines with select, do,
// try and if; page code with loops and echo calls), the cost every request
// for a page of that size pays.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "base/string_list.h"
#include "bench/sample_routine.h"
#include "script/basic/basic_script.h"
#include "script/errors/script_errors.h"
#include "script/machine/script_info.h"
#include "tests/script/compile_test_context.h"

namespace vantrel {
namespace {

// Compiles `source` once per iteration; `must_compile` makes a compile
// error a failure of the benchmark.
void CompileRepeatedly(benchmark::State& state, const StringList& source, bool must_compile) {
  test::TestCompileContext context;
  BasicScript compiler;
  CompiledCode code;
  bool too_deep = false;
  for (auto _ : state) {
    try {
      compiler.Compile(source, context, code);
    } catch (const CompileError& error) {
      if (must_compile) {
        state.SkipWithError(error.Message().c_str());
        break;
      }
      too_deep = error.Text() == "Program nesting is too deep";
    }
    benchmark::DoNotOptimize(code.Instructions.data());
  }
  state.counters["lines"] = static_cast<double>(source.Count());
  state.counters["too_deep"] = too_deep ? 1 : 0;
}

void BM_CompileNest(benchmark::State& state, std::string_view line) {
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) text.append(line).append("\r\n");
  text += "z\r\n";
  StringList source;
  source.SetText(text);
  CompileRepeatedly(state, source, false);
}

// Line counts from 8 to 512: past 100 to 300 nested blocks, by kind, the
// nesting limit ends the compile early (unwinding the exception takes
// about a millisecond), which the last points show.
void NestLengths(benchmark::internal::Benchmark* benchmark) {
  benchmark->RangeMultiplier(2)->Range(8, 512)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_CompileNest, do_while, "do while x")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, do, "do")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, while, "while x")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, for, "for i = 1 to 2")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, if, "if x then")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, if_else, "if x then\r\nelse")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, select, "select case x\r\ncase 1")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, try, "try")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, with, "with x")->Apply(NestLengths);
// Without blanks: each line is also a statement of another kind.
BENCHMARK_CAPTURE(BM_CompileNest, try_glued, "tryC")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, try_glued_call, "tryC(1)")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, try_glued_colon, "tryC:")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, while_glued, "whilex")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, while_glued_call, "whilex y")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, for_glued, "fori=1to2")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, with_glued, "withx")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, if_glued, "ifx then")->Apply(NestLengths);
BENCHMARK_CAPTURE(BM_CompileNest, select_glued, "selectcasex\r\ncase1")->Apply(NestLengths);

// Ten lines of page code: literal text as echo calls, a loop, an if.
std::string PageBlock(int n) {
  const std::string i = std::to_string(n);
  return "echo(\"<tr><td class=\"\"cell" + i +
         "\"\">\" & title & \"</td></tr>\")\r\n"
         "total = Compute" +
         std::to_string(n % 30) +
         "(total, k)\r\n"
         "if total <> \"\" and Counter > " +
         i +
         " then\r\n"
         "  echo(\"<b>\" & Add(Counter, " +
         i +
         ") & \"</b>\") ' a comment\r\n"
         "elseif total = \"?\" then\r\n"
         "  Counter = Counter + 1 : k = k * 2\r\n"
         "end if\r\n"
         "for k = 1 to 3 step 1\r\n"
         "  total = total + k\r\n"
         "next\r\n";
}

void BM_CompileScript(benchmark::State& state) {
  std::string text;
  int routines = 0;
  for (; routines < 30; ++routines) text += SampleRoutine(routines);
  text += "dim title, total, k\r\ntitle = \"Device\"\r\n";
  for (int block = 0; routines * 20 + 2 + block * 10 < 1200; ++block) text += PageBlock(block);
  StringList source;
  source.SetText(text);
  CompileRepeatedly(state, source, true);
}
BENCHMARK(BM_CompileScript)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel
