// Helpers shared by the CGI tests: shell scripts as CGI programs, and
// checks that no program outlives its run.
#ifndef VANTREL_TESTS_CGI_CGI_TEST_UTIL_H_
#define VANTREL_TESTS_CGI_CGI_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/http/server_test_util.h"
#include "tests/support/process_stats.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {

// Writes an executable shell script `name` into `dir`: "#!/bin/sh" and
// `body`. Returns its path.
inline std::string WriteScript(const TempDir& dir, std::string_view name, std::string_view body) {
  const std::string path = dir.Write(name, "#!/bin/sh\n" + std::string(body));
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

// True when process `pid` no longer runs: it is gone, or a zombie waiting
// for its parent.
inline bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const std::size_t name_end = text.rfind(')');
  return name_end == std::string::npos || text.compare(name_end, 3, ") Z") == 0;
}

// Waits a little for `pid` to go: a killed process dies asynchronously.
inline bool ProcessEnds(pid_t pid) {
  return WaitUntil([pid] { return ProcessGone(pid); }, std::chrono::milliseconds(2000));
}

// True when this process has no child at all, running or unreaped.
inline bool NoChildren() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// A test that must leave no thread, descriptor or child process behind.
class NoLeftoversTest : public LeakCheckedTest {
 protected:
  ~NoLeftoversTest() override { EXPECT_TRUE(NoChildren()) << "a program was left unreaped"; }
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_CGI_CGI_TEST_UTIL_H_
