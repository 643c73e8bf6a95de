// Runs every script of tests/script/library_golden in a Basic scripter with
// both built-in libraries attached, as the gateway attaches them: NAME.bas
// must print what NAME.out holds. A compile or runtime error ends the output
// with "!" and the error's message (its line ends as line feeds).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/script/golden_files.h"
#include "tests/script/library_test_scripter.h"

namespace vantrel::test {
namespace {

class LibraryGoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(LibraryGoldenTest, PrintsItsExpectedOutput) {
  const std::filesystem::path base = GoldenFolder("library_golden") / GetParam();
  LibraryTestScripter scripter;
  EXPECT_EQ(scripter.Run(ReadFile(base.string() + ".bas")), ReadFile(base.string() + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryGoldenTest,
                         ::testing::ValuesIn(GoldenNames(GoldenFolder("library_golden"))),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
}  // namespace vantrel::test
