#include "tests/support/test_locales.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace vantrel::test {
namespace {

// A folder removed at the end of the process.
struct Folder {
  std::string path;
  ~Folder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

bool MakeLocale(const std::string& folder, const std::string& name) {
  if (std::filesystem::exists(folder + "/" + name)) return true;
  const std::string language = name.substr(0, name.find('.'));
  const std::string command =
      "localedef -i " + language + " -f UTF-8 '" + folder + "/" + name + "' >/dev/null 2>&1";
  // localedef warns (status 1) about locale sources it still compiles: the
  // locale's folder tells whether it was made.
  return std::system(command.c_str()) >= 0 && std::filesystem::exists(folder + "/" + name);
}

}  // namespace

const std::vector<std::string>& TestLocaleNames() {
  static const std::vector<std::string> names = {"en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8",
                                                 "cs_CZ.UTF-8", "hi_IN.UTF-8", "ja_JP.UTF-8",
                                                 "fr_CA.UTF-8"};
  return names;
}

std::string TestLocaleFolder(const std::vector<std::string>& names) {
  static std::mutex mutex;
  static Folder folder;
  std::lock_guard lock(mutex);
  if (folder.path.empty()) {
    char pattern[] = "/tmp/vantrel-locales-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return "";
    folder.path = pattern;
  }
  for (const std::string& name : names) {
    if (!MakeLocale(folder.path, name)) return "";
  }
  return folder.path;
}

}  // namespace vantrel::test
