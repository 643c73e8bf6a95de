#include "tests/support/process_stats.h"

#include <dirent.h>
#include <time.h>

#include <fstream>
#include <string>
#include <thread>

namespace vantrel::test {
namespace {

// Entries of a /proc directory other than "." and ".."; -1 if unreadable.
// The directory's own descriptor is open while listing, so `self` tells
// whether to leave it out.
int CountEntries(const char* path, bool self) {
  DIR* directory = ::opendir(path);
  if (directory == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(directory);
  return self ? count - 1 : count;
}

}  // namespace

int OpenDescriptorCount() { return CountEntries("/proc/self/fd", /*self=*/true); }

int ThreadCount() {
  // A sanitizer runtime starts a helper thread of its own when the process
  // creates its first thread. Create one before the first count, so that a
  // count taken before a test's threads already includes the helper.
  static const bool warmed_up = [] {
    std::thread([] {}).join();
    return true;
  }();
  static_cast<void>(warmed_up);
  return CountEntries("/proc/self/task", /*self=*/false);
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

double ProcessCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace vantrel::test
