// Where one script page request's time goes inside the gateway: the page
// translated into its program, the program compiled on the gateway's own
// page scripter (its libraries, settings and stored code), and the compiled
// program run, echoing into the gateway's page output. The page is the one
// bench/page_load_test.sh requests: a small HTML page whose loop echoes 100
// lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/front_end.h"
#include "app/gateway.h"
#include "app/page_translation.h"
#include "app/script_page_runner.h"
#include "base/local_event_loop.h"
#include "base/string_list.h"
#include "base/text_file.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/tcp_connection.h"
#include "script/library/built_in_libraries.h"

namespace vantrel {
namespace {

constexpr const char* kLoopPage =
    "<html><head><title>Loop</title></head><body>\r\n"
    "<ul>\r\n"
    "<% for i = 1 to 100 %><li>line <%= i %></li><% next %>\r\n"
    "</ul>\r\n"
    "</body></html>\r\n";

class SilentFrontEnd final : public FrontEnd {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string&) override {}
  void SetActivateCaption(const std::string&) override {}
  void Minimize() override {}
};

// A gateway that is never started, for its page scripter and page output.
class IdleGateway {
 public:
  IdleGateway() {
    RegisterBuiltInLibraries();
    std::string dir = (std::filesystem::temp_directory_path() / "vantrel_bench_XXXXXX").string();
    if (mkdtemp(dir.data()) != nullptr) home_ = dir;
    gateway_.emplace(home_.empty() ? "." : home_, loop_, front_end_);
    RegisterPageValues(gateway_->wbscripter(), "127.0.0.1", 40000);
  }
  ~IdleGateway() {
    gateway_.reset();
    if (!home_.empty()) std::filesystem::remove_all(home_);
  }
  IdleGateway(const IdleGateway&) = delete;
  IdleGateway& operator=(const IdleGateway&) = delete;

  Gateway& Get() { return *gateway_; }
  const std::string& Home() const { return home_; }

 private:
  std::string home_;
  LocalEventLoop loop_;
  SilentFrontEnd front_end_;
  std::optional<Gateway> gateway_;
};

StringList LoopProgram() {
  StringList program;
  program.SetText(PageToProgram(kLoopPage));
  return program;
}

void BM_LoopPageTranslate(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoopProgram());
}
BENCHMARK(BM_LoopPageTranslate)->Unit(benchmark::kMicrosecond);

void BM_LoopPageCompile(benchmark::State& state) {
  IdleGateway idle;
  BasicScripter& scripter = idle.Get().wbscripter();
  const StringList program = LoopProgram();
  for (auto _ : state) {
    scripter.SetSourceCode(program);
    scripter.Compile();
  }
}
BENCHMARK(BM_LoopPageCompile)->Unit(benchmark::kMicrosecond);

void BM_LoopPageRun(benchmark::State& state) {
  IdleGateway idle;
  BasicScripter& scripter = idle.Get().wbscripter();
  scripter.SetSourceCode(LoopProgram());
  scripter.Compile();
  for (auto _ : state) {
    idle.Get().ScriptOutput().Clear();
    scripter.Execute();
  }
  state.counters["lines"] = static_cast<double>(idle.Get().ScriptOutput().Count());
}
BENCHMARK(BM_LoopPageRun)->Unit(benchmark::kMicrosecond);

// The three steps together, as every request does them, and the answer's
// text made from the output.
void BM_LoopPageWhole(benchmark::State& state) {
  IdleGateway idle;
  BasicScripter& scripter = idle.Get().wbscripter();
  for (auto _ : state) {
    idle.Get().ScriptOutput().Clear();
    scripter.SetSourceCode(LoopProgram());
    scripter.Compile();
    scripter.Execute();
    benchmark::DoNotOptimize(idle.Get().ScriptOutput().Text());
  }
}
BENCHMARK(BM_LoopPageWhole)->Unit(benchmark::kMicrosecond);

// A request for the page as the gateway runs it: the page file read, its
// compiled program kept from the first run and taken again (the text is
// compared with the kept one's), the page values registered, the program
// run and the answer made.
void BM_LoopPageKept(benchmark::State& state) {
  IdleGateway idle;
  const std::string path = idle.Home() + "/loop.vpg";
  WriteWholeFile(path, kLoopPage);
  BasicScripter& scripter = idle.Get().wbscripter();
  const HttpRequestInfo request;
  TcpConnection connection;  // Only the response's record; nothing is written.
  for (auto _ : state) {
    HttpResponseInfo response(connection);
    idle.Get().PageRunner().RunScriptPage(request, response, path, "127.0.0.1", 40000,
                                          [&] { scripter.Execute(); });
    benchmark::DoNotOptimize(response.ContentText);
  }
  state.counters["kept"] = idle.Get().PageRunner().CompiledPages().Count();
}
BENCHMARK(BM_LoopPageKept)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel
