// Runs every script of tests/script/library_golden in a Basic scripter with
// both built-in libraries attached, as the gateway attaches them: NAME.bas
// must print what NAME.out holds. A compile or runtime error ends the output
// with "!" and the error's message (its line ends as line feeds).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/script/library_test_scripter.h"

namespace vantrel::test {
namespace {

const std::filesystem::path& GoldenFolder() {
  static const std::filesystem::path folder =
      std::filesystem::path(VANTREL_SCRIPT_TEST_DIR) / "library_golden";
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

class LibraryGoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(LibraryGoldenTest, PrintsItsExpectedOutput) {
  const std::filesystem::path base = GoldenFolder() / GetParam();
  LibraryTestScripter scripter;
  EXPECT_EQ(scripter.Run(ReadFile(base.string() + ".bas")), ReadFile(base.string() + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryGoldenTest, ::testing::ValuesIn(GoldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
}  // namespace vantrel::test
