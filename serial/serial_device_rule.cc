#include "serial/serial_device_rule.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>

namespace vantrel {
namespace {

// The drivers' numbers of the pseudo terminals' slave ends.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

// Names the serial drivers give their devices, for where the kernel
// describes nothing.
constexpr std::array<std::string_view, 13> kSerialNamePrefixes = {
    "ttyS",   "ttyUSB", "ttyACM", "ttyAMA", "ttyTHS",   "ttymxc", "rfcomm",
    "ttySAC", "ttyO",   "ttyHS",  "ttyMSM", "ttyXRUSB", "ttyGS"};

constexpr std::array<std::string_view, 2> kStableNameFolders = {"/dev/serial/by-id/",
                                                                "/dev/serial/by-path/"};

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool HasSerialDriverName(std::string_view name) {
  const std::string_view base = BaseName(name);
  return std::any_of(
      kSerialNamePrefixes.begin(), kSerialNamePrefixes.end(), [base](std::string_view prefix) {
        return base.size() > prefix.size() && base.substr(0, prefix.size()) == prefix;
      });
}

namespace {

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& path) {
  return !path.empty() &&
         std::any_of(patterns.begin(), patterns.end(), [&path](const std::string& pattern) {
           return ::fnmatch(pattern.c_str(), path.c_str(), FNM_PATHNAME) == 0;
         });
}

}  // namespace

DeviceClass ClassOfDevice(const TtyDeviceFacts& facts, std::string_view name) {
  if (!facts.character_device) return DeviceClass::kOther;
  if (facts.major >= kFirstPtyMajor && facts.major <= kLastPtyMajor) {
    return DeviceClass::kPseudoTerminal;
  }
  if (facts.in_sysfs) {
    // A UART port the driver has found nothing at has type 0.
    return facts.serial_hardware && facts.port_type != 0 ? DeviceClass::kSerial
                                                         : DeviceClass::kOther;
  }
  return HasSerialDriverName(name) ? DeviceClass::kSerial : DeviceClass::kOther;
}

bool IsSessionTerminal(TtyPlatform& tty, std::uint64_t device) {
  std::vector<std::uint64_t> terminals;
  tty.SessionTerminals(&terminals);
  return std::find(terminals.begin(), terminals.end(), device) != terminals.end();
}

bool MayOpenSerialDevice(TtyPlatform& tty, const std::string& path,
                         const std::vector<std::string>& extra_patterns) {
  TtyDeviceFacts facts;
  const bool exists = tty.DescribeDevice(path, &facts) == 0;
  if (MatchesAny(extra_patterns, path) ||
      (exists && MatchesAny(extra_patterns, facts.canonical_path))) {
    return true;
  }
  if (!exists || !facts.character_device) return false;
  const bool stable_name =
      std::any_of(kStableNameFolders.begin(), kStableNameFolders.end(),
                  [&path](std::string_view folder) { return path.starts_with(folder); });
  switch (ClassOfDevice(facts, facts.canonical_path)) {
    case DeviceClass::kSerial:
      return true;
    case DeviceClass::kPseudoTerminal:
      return !IsSessionTerminal(tty, facts.device);
    case DeviceClass::kOther:
      return stable_name;
  }
  return false;
}

}  // namespace vantrel
