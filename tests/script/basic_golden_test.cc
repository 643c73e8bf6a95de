// Runs every script of tests/script/golden: NAME.bas must print what
// NAME.out holds, or fail to compile with the message in NAME.err (the text
// and the source position, one per line).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "script/errors/script_errors.h"
#include "tests/script/compile_test_context.h"

namespace vantrel::test {
namespace {

const std::filesystem::path& GoldenFolder() {
  static const std::filesystem::path folder =
      std::filesystem::path(VANTREL_SCRIPT_TEST_DIR) / "golden";
  return folder;
}

std::vector<std::string> GoldenNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(GoldenFolder(), error)) {
    if (entry.path().extension() == ".bas") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class GoldenScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScriptTest, PrintsItsExpectedOutputOrCompileError) {
  const std::filesystem::path base = GoldenFolder() / GetParam();
  const std::string source = ReadFile(base.string() + ".bas");
  const std::filesystem::path error_file = base.string() + ".err";
  TestCompileContext context;
  if (std::filesystem::exists(error_file)) {
    try {
      CompileAndRun(context, source);
      ADD_FAILURE() << "compiled without error";
    } catch (const CompileError& error) {
      const std::string got = error.Text() + "\n" + std::to_string(error.Row()) + "," +
                              std::to_string(error.Col()) + "\n";
      EXPECT_EQ(got, ReadFile(error_file));
    }
    return;
  }
  EXPECT_EQ(CompileAndRun(context, source), ReadFile(base.string() + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenScriptTest, ::testing::ValuesIn(GoldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
}  // namespace vantrel::test
