// The files of a golden-script folder: NAME.bas beside what it must give.
#ifndef VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_
#define VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantrel::test {

// The folder `name` of the script tests' sources (tests/script/<name>).
// The build names that folder, since __FILE__ may be a relative path.
inline std::filesystem::path GoldenFolder(const char* name) {
  return std::filesystem::path(VANTREL_SCRIPT_TEST_SOURCES) / name;
}

// The names of the scripts in `folder` (NAME of NAME.bas), sorted.
inline std::vector<std::string> GoldenNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".bas") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadGoldenFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_GOLDEN_FILES_H_
