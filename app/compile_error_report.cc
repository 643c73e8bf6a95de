#include "app/compile_error_report.h"

#include <algorithm>

namespace vantrel {
namespace {

// Lines shown on each side of the line in error.
constexpr long long kContextLines = 2;
constexpr std::string_view kErrorLineMark = ">>>";

}  // namespace

std::vector<std::string> CompileErrorReport(const StringList& program, std::string_view msg,
                                            int row, int col) {
  std::vector<std::string> report;
  report.push_back(std::string(msg) + ": line " + std::to_string(row) + " col " +
                   std::to_string(col));
  // Wide enough that no row the compiler reports overflows.
  const long long count = static_cast<long long>(program.Count());
  const long long first = std::max(1LL, static_cast<long long>(row) - kContextLines);
  const long long last = std::min(count, static_cast<long long>(row) + kContextLines);
  for (long long line = first; line <= last; ++line) {
    const std::string& text = program[static_cast<std::size_t>(line - 1)];
    report.push_back(line == row ? std::string(kErrorLineMark) + text : text);
  }
  return report;
}

}  // namespace vantrel
