// Runs every script of tests/script/library_golden in a Basic scripter with
// both built-in libraries attached, as the gateway attaches them: NAME.bas
// must print what NAME.out holds. A compile or runtime error ends the output
// with "!" and the error's message (its line ends as line feeds). Scripts
// that write files keep them in the folder the constant TempFolder names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/script/golden_files.h"
#include "tests/script/library_test_scripter.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {
namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = GoldenFolder("library_golden");
  return folder;
}

class LibraryGoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(LibraryGoldenTest, PrintsItsExpectedOutput) {
  const std::filesystem::path base = Folder() / GetParam();
  TempDir temp;
  LibraryTestScripter scripter;
  scripter.RegisterConstant("TempFolder", Variant(temp.Path()));
  EXPECT_EQ(scripter.Run(ReadGoldenFile(base.string() + ".bas")),
            ReadGoldenFile(base.string() + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryGoldenTest, ::testing::ValuesIn(GoldenNames(Folder())),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
}  // namespace vantrel::test
