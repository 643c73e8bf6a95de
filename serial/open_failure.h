// Why a serial port did not open, in words a user can act on: a device that
// does not exist (with the ports that can be opened instead), one the user
// may not use (with the group to join), or one another program holds.
#ifndef VANTREL_SERIAL_OPEN_FAILURE_H_
#define VANTREL_SERIAL_OPEN_FAILURE_H_

#include <string>

#include "serial/tty_platform.h"

namespace vantrel {

// The cause of `error` (an errno value from TtyPlatform::Open) for the
// device at `path`:
//   ENOENT, ENODEV, ENXIO  "no such device; ports that can be opened now:
//                          COM1 TTYUSB0" (EnumeratePorts of `dev_dir`), or
//                          "...; no port can be opened now"
//   EACCES, EPERM          "permission denied; to use <path>, join its
//                          group <group>" (the device file's group), or
//                          "permission denied" when it cannot be found
//   EBUSY                  "in use by another program"
//   ENOTTY                 "not a serial device"
// and the system's own text for any other value. Safe on any thread.
std::string OpenFailureCause(TtyPlatform& tty, int error, const std::string& path,
                             const std::string& dev_dir = "/dev");

// "ports that can be opened now: COM1 TTYUSB0" (EnumeratePorts of
// `dev_dir`), or "no port can be opened now".
std::string PortsThatCanBeOpened(TtyPlatform& tty, const std::string& dev_dir = "/dev");

// True for the errno values by which an open says the device is not there.
bool IsMissingDevice(int error);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_OPEN_FAILURE_H_
