// Loading stored compiled code instead of compiling: the gateway's stored
// empty program (what a scripter reads at creation), and a 100-line script
// loaded, set beside compiling the same script. Loading includes resolving
// the script's libraries and building its routine table; linking happens
// at the first run and is not included.
#include <benchmark/benchmark.h>

#include <string>

#include "base/string_list.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel {
namespace {

void Discard(VirtualMachine& machine) { benchmark::DoNotOptimize(machine.GetArg(0)); }

class BenchScripter : public BasicScripter {
 public:
  BenchScripter() {
    InternalClass().RegisterMethod("echo", 1, false, HostHandler::Of<&Discard>(), nullptr, vkNone);
  }
};

// 100 lines: twelve functions with locals and a loop, and a main block that
// calls them and echoes.
StringList HundredLines() {
  std::string text = "dim total, names\r\n";
  for (int i = 0; i < 12; ++i) {
    const std::string n = std::to_string(i);
    text += "function step" + n + "(byref acc, x)\r\n  dim k\r\n  for k = 1 to x\r\n";
    text += "    acc = acc + k * " + n + "\r\n  next\r\n  step" + n + " = acc & \"/" + n +
            "\"\r\nend function\r\n";
  }
  text += "total = 0\r\n";
  for (int i = 0; i < 12; ++i) {
    text += "names = names & step" + std::to_string(i) + "(total, 3)\r\n";
  }
  text += "echo(total)\r\necho(names)\r\n";
  StringList lines;
  lines.SetText(text);
  return lines;
}

void BM_LoadStoredEmptyProgram(benchmark::State& state) {
  BenchScripter scripter;
  std::string stream;
  scripter.DefaultScript().SaveCode(stream);
  for (auto _ : state) scripter.DefaultScript().LoadCode(stream);
  state.counters["bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_LoadStoredEmptyProgram);

void BM_LoadStored100LineScript(benchmark::State& state) {
  BenchScripter compiler;
  compiler.SetSourceCode(HundredLines());
  compiler.Compile();
  std::string stream;
  compiler.DefaultScript().SaveCode(stream);
  BenchScripter scripter;
  for (auto _ : state) scripter.DefaultScript().LoadCode(stream);
  state.counters["bytes"] = static_cast<double>(stream.size());
  state.counters["instructions"] =
      static_cast<double>(scripter.DefaultScript().Code().Instructions.size());
}
BENCHMARK(BM_LoadStored100LineScript)->Unit(benchmark::kMicrosecond);

void BM_CompileSame100LineScript(benchmark::State& state) {
  BenchScripter scripter;
  const StringList source = HundredLines();
  scripter.SetSourceCode(source);
  for (auto _ : state) scripter.Compile();
  state.counters["lines"] = static_cast<double>(source.Count());
}
BENCHMARK(BM_CompileSame100LineScript)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel
