// Serial port names as scripts give them, and the list of ports that can be
// opened now.
#ifndef VANTREL_SERIAL_PORT_NAMES_H_
#define VANTREL_SERIAL_PORT_NAMES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/tty_platform.h"

namespace vantrel {

// The device path for a port name: "COMn" (n from 1, "COM" in any case) is
// `dev_dir`/ttyS(n-1); a name starting with "/" is used as it is; any other
// name is the entry of `dev_dir` with that name, found exactly, else
// regardless of ASCII letter case (the first in directory order). A name
// that contains "/" without starting with it, or is "." or "..", never
// leaves `dev_dir`: it gives a path that does not exist. A name found
// nowhere gives `dev_dir`/name.
std::string ResolvePortPath(TtyPlatform& tty, std::string_view name,
                            const std::string& dev_dir = "/dev");

// Names of the ports that can be opened at this moment, upper-cased:
// COM1..COM32 for ttyS0..ttyS31, then every other serial port of `dev_dir`
// (ttyUSB*, ttyACM*, ttyAMA*, rfcomm* and the like; see
// serial_device_rule.h) as its upper-cased name (which ResolvePortPath
// finds again), in name order. A port is listed when this process may read
// and write it and neither another process (as far as this one can see its
// descriptors) nor a lock file in the lock folder holds it. Nothing is
// opened: opening a serial device toggles its DTR and RTS lines, which
// restarts many boards. Devices whose numbers are in `also_in_use` (a port
// this process holds) count as held too.
std::vector<std::string> EnumeratePorts(TtyPlatform& tty, const std::string& dev_dir = "/dev",
                                        const std::vector<std::uint64_t>& also_in_use = {});

}  // namespace vantrel

#endif  // VANTREL_SERIAL_PORT_NAMES_H_
