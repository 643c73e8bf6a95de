// What a call of a built-in library function costs a script: a loop of
// 1,000,000 Length calls beside the same loop without the call, so the
// difference is the call (argument set-up, handler, result).
#include <benchmark/benchmark.h>

#include <string>

#include "base/string_list.h"
#include "script/library/built_in_libraries.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel {
namespace {

void RunLoop(benchmark::State& state, const char* body) {
  RegisterBuiltInLibraries();
  BasicScripter scripter;
  StringList source;
  source.SetText(std::string("s = \"abcdef\"\r\nn = 0\r\nfor i = 1 to 1000000\r\n  ") + body +
                 "\r\nnext\r\n");
  scripter.SetSourceCode(source);
  scripter.Compile();
  for (auto _ : state) benchmark::DoNotOptimize(scripter.Execute());
  state.SetItemsProcessed(state.iterations() * 1000000);
}

void BM_LoopWithoutCall(benchmark::State& state) { RunLoop(state, "n = n + 6"); }
BENCHMARK(BM_LoopWithoutCall)->Unit(benchmark::kMillisecond);

void BM_LoopCallingLength(benchmark::State& state) { RunLoop(state, "n = n + Length(s)"); }
BENCHMARK(BM_LoopCallingLength)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel
