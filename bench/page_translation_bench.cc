// Translating a script page into its Basic program, which every page
// request does before compiling: a 100-line page of HTML with echoed values
// and code blocks.
#include <benchmark/benchmark.h>

#include <string>

#include "app/page_translation.h"

namespace vantrel {
namespace {

std::string HundredLinePage() {
  std::string page = "<html><head><title>Port \"COM1\" & (status)</title></head><body>\r\n";
  for (int i = 0; i < 32; ++i) {
    page += "<tr><td class=\"row\">Row " + std::to_string(i) + "</td><td><%= peerPort %></td>\r\n";
    page += "<% if peerPort > " + std::to_string(i) + " then %>\r\n";
    page += "\t<td>(yes)</td></tr>\r\n";
  }
  page += "<% end if %>\r\n</body></html>\r\n";
  return page;
}

void BM_PageToProgram100Lines(benchmark::State& state) {
  const std::string page = HundredLinePage();
  for (auto _ : state) benchmark::DoNotOptimize(PageToProgram(page));
  state.counters["bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_PageToProgram100Lines);

}  // namespace
}  // namespace vantrel
