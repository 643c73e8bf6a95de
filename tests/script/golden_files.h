// The folders of golden scripts (NAME.bas with NAME.out, or NAME.err for a
// script that must not compile) and reading their files.
#ifndef VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_
#define VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::test {

// The folder `name` of tests/script. The build names that folder: __FILE__
// may be relative to the build folder (a compiler cache rewrites paths),
// and tests run in folders of their own.
inline std::filesystem::path GoldenFolder(std::string_view name) {
  return std::filesystem::path(VANTREL_SCRIPT_TEST_DIR) / name;
}

// The names of the scripts in `folder` (without ".bas"), sorted.
inline std::vector<std::string> GoldenNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".bas") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_
