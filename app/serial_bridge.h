// The gateway's serial port as page scripts drive it: openport's six
// settings texts, closing, the open port's settings as text, writing, and
// the list of ports that can be opened now.
//
// Threads. The running page calls every operation on its connection
// thread; the main thread calls ClosePort when the server stops, while a
// page may still run. Opening, configuring, writing and closing are
// serialised by one lock, so the port is never closed under a write in
// progress: a stop waits until that write has finished (at most the write's
// time-out). The lock is never held while waiting for the main thread: the
// port's own closing waits only for an event hand-over already running on
// the main thread, and the gateway's event handlers (reading into the
// receive buffer, clearing it, logging) never take this lock.
//
// Which devices: only serial ports (serial/serial_device_rule.h) and the
// paths of the setting "Serial devices" are opened. Any other path, and one
// that names nothing, is refused alike (code 1, system code 2, with
// kNotASerialPort and the ports that can be opened now as its cause), so
// that a page learns nothing of which paths exist.
//
// Errors: the port's SerialPortError passes through unchanged, except that
// a port that does not open gets its cause in words after the message (as
// above for a missing device, "permission denied" with the group to join,
// "in use by another program").
// Lifetime: the port and the terminal layer must outlive the bridge.
#ifndef VANTREL_APP_SERIAL_BRIDGE_H_
#define VANTREL_APP_SERIAL_BRIDGE_H_

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"
#include "serial/tty_platform.h"

namespace vantrel {

class SerialBridge {
 public:
  // The cause of a refused or missing device, before the list of ports.
  static constexpr const char* kNotASerialPort =
      "not a serial port this gateway opens: it opens the system's serial devices, the names "
      "under /dev/serial/by-id and /dev/serial/by-path, pseudo terminals that are no session's "
      "terminal, and the paths of the setting \"Serial devices\" in config.ini";
  // The longest one send may take, however slow the line: a page that
  // sends waits for its bytes to leave.
  static constexpr int kMaxSendMilliseconds = 60000;

  explicit SerialBridge(SerialPort& port, TtyPlatform& tty = SystemTty())
      : port_(port), tty_(tty) {}
  SerialBridge(const SerialBridge&) = delete;
  SerialBridge& operator=(const SerialBridge&) = delete;

  // Applies the six texts in this order, each at once when the port is
  // open: the port name as it is (a different name reopens the port under
  // it), baud rate, data bits, parity, stop bits, flow control (texts
  // compared regardless of letter case; an unknown text selects the
  // setting's fallback, which for flow control keeps the flow fields).
  // Then opens the port when closed and raises DTR. A failure to open
  // names its cause (see Errors above).
  void OpenPort(std::string_view port, std::string_view baud, std::string_view data_bits,
                std::string_view parity, std::string_view stop_bits, std::string_view flow);
  // Nothing when closed.
  void ClosePort();
  // "" when closed; else the port name and the texts of the baud rate, data
  // bits, parity, stop bits and flow control, separated by single blanks.
  std::string OpenSettingsText();
  // The same of `port`, without the bridge's lock.
  static std::string SettingsText(const SerialPort& port);
  // Writes all bytes and waits until the write has completed, but no longer
  // than twice the time the bytes take on the line at its speed plus a
  // second, and never longer than kMaxSendMilliseconds (the port's own
  // write time-out, 100 ms a byte, would let a page wait for hours); what
  // is not written by then is not sent. An empty text writes nothing. A
  // closed port raises the write error; so does an abort (AbortSend).
  void Send(std::string_view text);
  // Makes a send in progress fail at once, whatever the device does: a
  // halted page must not wait for its device. Any thread; never waits for
  // the bridge's lock.
  void AbortSend();

  // Told, under the bridge's lock, the settings text after every openport
  // that leaves the port open; that a send starts; and then the bytes it
  // wrote (none when it failed), whether it returns or throws. Set before
  // requests come; the hooks must not wait or call the bridge.
  void SetOnOpened(std::function<void(const std::string& settings_text)> hook) {
    on_opened_ = std::move(hook);
  }
  void SetOnSending(std::function<void()> hook) { on_sending_ = std::move(hook); }
  void SetOnSent(std::function<void(std::string_view bytes)> hook) { on_sent_ = std::move(hook); }

  // The administrator's device patterns (the setting "Serial devices"),
  // asked at every opening. None: no patterns.
  void SetExtraDevices(std::function<std::vector<std::string>()> patterns) {
    std::lock_guard lock(mutex_);
    extra_devices_ = std::move(patterns);
  }

  // The ports that can be opened now, upper-cased, separated by single
  // blanks; "" when there is none (see EnumeratePorts: nothing is opened to
  // find them). The port open here is not among them.
  std::string EnumPorts();
  // Where EnumPorts looks for devices; "/dev" unless a test points it at a
  // folder of its own.
  void SetDeviceDirectory(std::string directory);

 private:
  // OpenPort's steps up to opening; caller holds mutex_.
  void ApplyAndOpen(std::string_view port, std::string_view baud, std::string_view data_bits,
                    std::string_view parity, std::string_view stop_bits, std::string_view flow);

  // Raises the refusal of a device that is not a serial port.
  void CheckDevice(std::string_view port);
  // The ports that can be opened now, the open one left out.
  std::vector<std::string> OpenablePorts(const std::string& directory);
  std::string RefusalCause(const std::string& directory);

  SerialPort& port_;
  TtyPlatform& tty_;
  std::mutex mutex_;
  std::string device_directory_ = "/dev";                    // Guarded by mutex_.
  std::function<std::vector<std::string>()> extra_devices_;  // Guarded by mutex_.
  // Set before requests come; called under mutex_.
  std::function<void(const std::string&)> on_opened_;
  std::function<void()> on_sending_;
  std::function<void(std::string_view)> on_sent_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SERIAL_BRIDGE_H_
