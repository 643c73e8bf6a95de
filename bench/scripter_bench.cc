// The scripter around the compiler and the machine: what one script page
// costs the gateway (replace the source, compile, link, run), and what
// running an already compiled routine by name and calling a routine of a
// script-file library cost on top of the machine.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/string_list.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel {
namespace {

void Discard(VirtualMachine& machine) { benchmark::DoNotOptimize(machine.GetArg(0)); }

void AddEcho(BasicScripter& scripter) {
  scripter.InternalClass().RegisterMethod("echo", 1, false, HostHandler::Of<&Discard>(), nullptr,
                                          vkNone);
}

// A small page: some literal lines and a loop, as script pages are made.
StringList PageSource() {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "echo(\"<p>line " + std::to_string(i) + "</p>\")\r\n";
  text += "dim i\r\nfor i = 1 to 10\r\n  echo(\"<li>\" & i & \"</li>\")\r\nnext\r\n";
  StringList lines;
  lines.SetText(text);
  return lines;
}

void BM_PageCycle(benchmark::State& state) {
  BasicScripter scripter;
  AddEcho(scripter);
  StringList page = PageSource();
  for (auto _ : state) {
    scripter.SetSourceCode(page);
    scripter.Compile();
    benchmark::DoNotOptimize(scripter.Execute());
  }
}
BENCHMARK(BM_PageCycle);

void BM_ExecuteRoutineByName(benchmark::State& state) {
  BasicScripter scripter;
  StringList source;
  source.SetText("function add(a, b)\r\n  add = a + b\r\nend function\r\nmain = 0");
  scripter.SetSourceCode(source);
  scripter.Compile();
  std::vector<Variant> args{Variant(1), Variant(2)};
  for (auto _ : state) benchmark::DoNotOptimize(scripter.ExecuteRoutine("add", args));
}
BENCHMARK(BM_ExecuteRoutineByName);

// 1000 calls of a routine of a script-file library, with a by-reference
// argument copied back after each call.
void BM_ScriptLibraryCalls(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "vantrel_bench_XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  std::ofstream(dir + "/counter.bsc") << "sub bump(byref n)\r\n  n = n + 1\r\nend sub\r\n";
  BasicScripter scripter;
  scripter.LibOptions().SearchPath = StringList{dir};
  scripter.LibOptions().UseScriptFiles = true;
  StringList source;
  source.SetText(
      "uses counter\r\ndim i, n\r\nn = 0\r\nfor i = 1 to 1000\r\n  bump(n)\r\nnext\r\nmain = n");
  scripter.SetSourceCode(source);
  scripter.Compile();
  for (auto _ : state) benchmark::DoNotOptimize(scripter.Execute());
  state.SetItemsProcessed(state.iterations() * 1000);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScriptLibraryCalls);

}  // namespace
}  // namespace vantrel
