#include "serial/port_names.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/ascii.h"
#include "serial/serial_device_rule.h"

namespace vantrel {
namespace {

constexpr int kStandardPorts = 32;
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

// True for "ttyS0" to "ttyS31", which the list names COM1 to COM32.
bool IsStandardPortEntry(std::string_view entry) {
  if (entry.size() < 5 || entry.size() > 6 || entry.substr(0, 4) != "ttyS") return false;
  int number = 0;
  for (const char c : entry.substr(4)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number < kStandardPorts && (entry.size() == 5 || entry[4] != '0');
}

// Tells whether a device of the device directory can be opened now, without
// opening it: opening a serial device raises its DTR and RTS lines and
// closing drops them, which restarts many boards.
class Availability {
 public:
  Availability(TtyPlatform& tty, std::string dev_dir, std::vector<std::uint64_t> also_in_use)
      : tty_(tty), dev_dir_(std::move(dev_dir)), in_use_(std::move(also_in_use)) {
    tty_.DevicesInUse(&in_use_);
    std::sort(in_use_.begin(), in_use_.end());
  }

  // A serial port (see serial_device_rule.h) that this process may read
  // and write, that no other process holds open where this one can see it,
  // and that no lock file in the lock folder claims.
  bool Available(const std::string& entry) {
    TtyDeviceFacts facts;
    if (tty_.DescribeDevice(dev_dir_ + "/" + entry, &facts) != 0) return false;
    const DeviceClass kind = ClassOfDevice(facts, entry);
    if (kind == DeviceClass::kOther || !facts.read_write) return false;
    // A pseudo terminal is listed only where it stands in for a device
    // under a serial driver's name (a socat link, a test's device).
    if (kind == DeviceClass::kPseudoTerminal && !HasSerialDriverName(entry)) return false;
    if (std::binary_search(in_use_.begin(), in_use_.end(), facts.device)) return false;
    if (kind == DeviceClass::kPseudoTerminal && IsSessionTerminal(tty_, facts.device)) return false;
    bool locked = false;
    tty_.LockFileHeld(entry, &locked);
    return !locked;
  }

 private:
  TtyPlatform& tty_;
  const std::string dev_dir_;
  std::vector<std::uint64_t> in_use_;  // Sorted.
};

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

std::vector<std::string> EnumeratePorts(TtyPlatform& tty, const std::string& dev_dir,
                                        const std::vector<std::uint64_t>& also_in_use) {
  Availability availability(tty, dev_dir, also_in_use);
  std::vector<std::string> ports;
  for (int n = 1; n <= kStandardPorts; ++n) {
    if (availability.Available("ttyS" + std::to_string(n - 1))) {
      ports.push_back("COM" + std::to_string(n));
    }
  }
  std::vector<std::string> entries = ListDirectory(tty, dev_dir);
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    if (entry.empty() || entry[0] == '.' || IsStandardPortEntry(entry)) continue;
    if (availability.Available(entry)) ports.push_back(ToUpperAscii(entry));
  }
  return ports;
}

}  // namespace vantrel
