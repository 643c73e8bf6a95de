#include "serial/port_names.h"

#include <algorithm>
#include <array>

#include "base/ascii.h"

namespace vantrel {
namespace {

constexpr int kStandardPorts = 32;
constexpr std::array<std::string_view, 4> kDevicePrefixes = {"ttyUSB", "ttyACM", "ttyAMA",
                                                             "rfcomm"};
// What a name that must not leave the device directory turns into.
constexpr std::string_view kNoSuchEntry = "/.vantrel-no-such-port";

// The entries of `dir`; none when it cannot be read.
std::vector<std::string> ListDirectory(TtyPlatform& tty, const std::string& dir) {
  std::vector<std::string> names;
  if (tty.ListDirectory(dir, &names) != 0) names.clear();
  return names;
}

// n for "COMn" with n >= 1, else 0.
int StandardPortNumber(std::string_view name) {
  if (name.size() < 4 || name.size() > 8 || !StartsWithIgnoreCase(name, "COM")) return 0;
  int number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool CanOpen(TtyPlatform& tty, const std::string& path) {
  int fd = -1;
  if (tty.Open(path, &fd) != 0) return false;
  tty.Close(fd);
  return true;
}

}  // namespace

std::string ResolvePortPath(TtyPlatform& tty, std::string_view name, const std::string& dev_dir) {
  if (const int number = StandardPortNumber(name); number > 0) {
    return dev_dir + "/ttyS" + std::to_string(number - 1);
  }
  if (!name.empty() && name[0] == '/') return std::string(name);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    return dev_dir + std::string(kNoSuchEntry);
  }
  const std::vector<std::string> entries = ListDirectory(tty, dev_dir);
  if (std::find(entries.begin(), entries.end(), name) != entries.end()) {
    return dev_dir + "/" + std::string(name);
  }
  for (const std::string& entry : entries) {
    if (EqualsIgnoreCase(entry, name)) return dev_dir + "/" + entry;
  }
  return dev_dir + "/" + std::string(name);
}

std::vector<std::string> EnumeratePorts(TtyPlatform& tty, const std::string& dev_dir) {
  std::vector<std::string> ports;
  for (int n = 1; n <= kStandardPorts; ++n) {
    if (CanOpen(tty, dev_dir + "/ttyS" + std::to_string(n - 1))) {
      ports.push_back("COM" + std::to_string(n));
    }
  }
  std::vector<std::string> entries = ListDirectory(tty, dev_dir);
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    const bool wanted =
        std::any_of(kDevicePrefixes.begin(), kDevicePrefixes.end(), [&](std::string_view prefix) {
          return entry.size() > prefix.size() && entry.compare(0, prefix.size(), prefix) == 0;
        });
    if (wanted && CanOpen(tty, dev_dir + "/" + entry)) ports.push_back(ToUpperAscii(entry));
  }
  return ports;
}

}  // namespace vantrel
