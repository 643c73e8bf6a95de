#include "serial/open_failure.h"

#include <cerrno>
#include <vector>

#include "base/system_error_text.h"
#include "serial/port_names.h"

namespace vantrel {
namespace {

std::string PermissionDenied(TtyPlatform& tty, const std::string& path) {
  std::string group;
  if (tty.FileGroup(path, &group) != 0) return "permission denied";
  return "permission denied; to use " + path + ", join its group " + group;
}

}  // namespace

std::string PortsThatCanBeOpened(TtyPlatform& tty, const std::string& dev_dir) {
  const std::vector<std::string> ports = EnumeratePorts(tty, dev_dir);
  if (ports.empty()) return "no port can be opened now";
  std::string text = "ports that can be opened now:";
  for (const std::string& port : ports) text += " " + port;
  return text;
}

bool IsMissingDevice(int error) { return error == ENOENT || error == ENODEV || error == ENXIO; }

std::string OpenFailureCause(TtyPlatform& tty, int error, const std::string& path,
                             const std::string& dev_dir) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "no such device; " + PortsThatCanBeOpened(tty, dev_dir);
    case EACCES:
    case EPERM:
      return PermissionDenied(tty, path);
    case EBUSY:
      return "in use by another program";
    case ENOTTY:
      return "not a serial device";
    default:
      return SystemErrorText(error);
  }
}

}  // namespace vantrel
