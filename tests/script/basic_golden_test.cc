// Runs every script of tests/script/golden: NAME.bas must print what
// NAME.out holds, or fail to compile with the message in NAME.err (the text
// and the source position, one per line).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "script/errors/script_errors.h"
#include "tests/script/compile_test_context.h"
#include "tests/script/golden_files.h"

namespace vantrel::test {
namespace {

class GoldenScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScriptTest, PrintsItsExpectedOutputOrCompileError) {
  const std::filesystem::path base = GoldenFolder("golden") / GetParam();
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

INSTANTIATE_TEST_SUITE_P(Golden, GoldenScriptTest,
                         ::testing::ValuesIn(GoldenNames(GoldenFolder("golden"))),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
}  // namespace vantrel::test
