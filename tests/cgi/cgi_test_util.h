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
#include <sstream>
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

// A shell command that prints the mark of process `pid` ("$$" or "$!"):
// its id and its start time. Ids come back quickly while many threads come
// and go, so only both together tell the process from a later one.
inline std::string PrintProcessMark(std::string_view pid) {
  const std::string id(pid);
  return "echo " + id + " $(cut -d' ' -f22 /proc/" + id + "/stat)";
}

// True when the process a mark names no longer runs: no process has its
// id, or the one that has is a zombie waiting for its parent or started at
// another time.
inline bool ProcessGone(std::string_view mark) {
  std::istringstream marked{std::string(mark)};
  long pid = 0;
  std::string start;
  if (!(marked >> pid >> start) || pid <= 0) {
    ADD_FAILURE() << "not a process mark: " << mark;
    return true;
  }
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const std::size_t name_end = text.rfind(')');
  if (name_end == std::string::npos) return true;
  // After the name: the state (field 3), then on to the start time (22).
  std::istringstream fields(text.substr(name_end + 1));
  std::string state;
  std::string started;
  fields >> state;
  for (int number = 4; number <= 22; ++number) fields >> started;
  return state == "Z" || started != start;
}

// Waits a little for the marked process to go: a killed process dies
// asynchronously.
inline bool ProcessEnds(std::string_view mark) {
  const std::string kept(mark);
  return WaitUntil([&kept] { return ProcessGone(kept); }, std::chrono::milliseconds(2000));
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
