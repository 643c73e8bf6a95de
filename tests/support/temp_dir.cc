#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace vantrel::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may have taken permissions away; give them back so removal works.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::filesystem::path path = File(name);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::string TempDir::Read(std::string_view name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempDir::Exists(std::string_view name) const { return std::filesystem::exists(File(name)); }

}  // namespace vantrel::test
