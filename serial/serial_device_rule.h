// Which devices are serial ports: the only devices the gateway's port
// opens and lists. A web page names the device to open, so a rule that
// took any terminal would let a browser read what is typed on another
// user's terminal (and leave it in raw mode), or tell which paths exist.
//
// A device is a serial port when it is
//   - a device of the kernel's serial drivers: the kernel's terminal class
//     has a driver of hardware behind it (a UART that is there, a USB
//     adapter, a Bluetooth link); where the kernel describes nothing, a name
//     of those drivers (ttyS, ttyUSB, ttyACM, ttyAMA, ttyTHS, ttymxc,
//     rfcomm and the like);
//   - a name under /dev/serial/by-id or /dev/serial/by-path, the stable
//     names the system makes for serial devices;
//   - a pseudo terminal that is no session's controlling terminal: the
//     simulator's, a socat link; never a terminal someone is logged in on;
//   - a path that matches a pattern the administrator gives (the setting
//     "Serial devices"; shell globs).
// Everything goes through the platform (TtyPlatform): nothing here opens a
// device, so asking changes no device's lines. Safe on any thread.
#ifndef VANTREL_SERIAL_SERIAL_DEVICE_RULE_H_
#define VANTREL_SERIAL_SERIAL_DEVICE_RULE_H_

#include <string>
#include <string_view>
#include <vector>

#include "serial/tty_platform.h"

namespace vantrel {

enum class DeviceClass {
  kOther,           // No serial port.
  kSerial,          // A device of the kernel's serial drivers.
  kPseudoTerminal,  // A serial port only while no session uses it.
};

// The class of the device `facts` describe; `name` (the name it is listed
// by, or its resolved path) decides only where the kernel says nothing.
DeviceClass ClassOfDevice(const TtyDeviceFacts& facts, std::string_view name);

// True when the port may open the device at `path` (a full path, as
// ResolvePortPath gives it) by the rule above; `extra_patterns` are the
// administrator's globs, matched against `path` and against it with its
// links resolved. A path that names nothing is refused like any other.
bool MayOpenSerialDevice(TtyPlatform& tty, const std::string& path,
                         const std::vector<std::string>& extra_patterns);

// True when `name`'s last part is a name the serial drivers give their
// devices (ttyS0, ttyUSB0, ...).
bool HasSerialDriverName(std::string_view name);

// True when a session's controlling terminal is the device `device`.
bool IsSessionTerminal(TtyPlatform& tty, std::uint64_t device);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_DEVICE_RULE_H_
