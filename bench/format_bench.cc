// How fast the texts of numbers and dates are made: the log's time stamp
// and message patterns (every log line), and the picture and directive
// languages scripts use.
#include <benchmark/benchmark.h>

#include <string>

#include "base/date_time_format.h"
#include "base/format.h"
#include "base/number_format.h"

namespace vantrel {
namespace {

constexpr double kStopTime = 46362.815277777778;  // 6 December 2026, 19:34.

void BM_LogTimeStamp(benchmark::State& state) {
  for (auto _ : state) {
    std::string stamp = FormatDateTime("mmm d, yyyy \";\" hh:mm ", kStopTime);
    benchmark::DoNotOptimize(stamp);
  }
}
BENCHMARK(BM_LogTimeStamp);

void BM_MessagePattern(benchmark::State& state) {
  const std::string path = "/srv/web/index.html";
  for (auto _ : state) {
    std::string line = Format("Serving file %s (%d bytes / %d bytes sent) to %s:%d",
                              {path, 10240, 10240, "127.0.0.1", 50123});
    benchmark::DoNotOptimize(line);
  }
}
BENCHMARK(BM_MessagePattern);

void BM_FloatPicture(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = FormatFloat("#,##0.00;(#,##0.00)", -1234567.891);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_FloatPicture);

void BM_Directives(benchmark::State& state) {
  const FormatValue args[] = {{FormatValue::Kind::kInteger, 42, 0, {}},
                              {FormatValue::Kind::kText, 0, 0, "volts"},
                              {FormatValue::Kind::kFloat, 0, 3.14159, {}}};
  for (auto _ : state) {
    std::string text = FormatDirectives("%5d %-8s %.3f", args);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_Directives);

}  // namespace
}  // namespace vantrel
