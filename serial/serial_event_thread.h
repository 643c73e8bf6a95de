// The serial port's event thread: waits in poll() on the device and on the
// port's wake-up pipe, looks at what changed (bytes received, line errors,
// modem lines, the output queue draining) and has the port hand the events
// over as its SyncMethod says.
//
// One object per thread run, made and run by the thread itself; it reaches
// into its port (a friend) under the port's lock. A device that goes away,
// or that can no longer be waited on or asked, is reported once as OnError
// with the device-I/O bit; the thread then waits only for ClosePort, as it
// does once delivery has ended.
#ifndef VANTREL_SERIAL_SERIAL_EVENT_THREAD_H_
#define VANTREL_SERIAL_SERIAL_EVENT_THREAD_H_

#include <poll.h>

#include <cstdint>

#include "serial/serial_port.h"

namespace vantrel {

class SerialEventThread {
 public:
  SerialEventThread(SerialPort& port, const SerialPort::ThreadStart& start);
  SerialEventThread(const SerialEventThread&) = delete;
  SerialEventThread& operator=(const SerialEventThread&) = delete;

  // Runs until ClosePort stops the thread.
  void Run();

 private:
  // What the port shares with the thread, read once per wait.
  struct Look {
    bool tx_check = false;
    int input_size = 0;
  };

  bool Ended() const;
  void WaitForEnd();
  Look TakeLook();
  int Timeout(const Look& look) const;
  // The wanted events the device shows; sets `lost` when it has gone.
  SerialEvents Collect(short revents, const Look& look, bool& lost);
  bool CollectInput(short revents, int input_size, SerialEvents& got);
  void CollectLineErrors(SerialEvents& got);
  void CollectModemLines(SerialEvents& got);
  void CollectOutput(SerialEvents& got);
  void ReportLoss();
  void NoteUnread(std::uint64_t read_before);

  SerialPort& port_;
  TtyPlatform& tty_;
  const int fd_;
  const int wake_fd_;
  const std::uint64_t generation_;
  const bool has_counters_;
  SerialEvents wanted_;  // The port's Events when the thread started.
  SyncMethod method_;    // The port's SyncMethod when the thread started.
  bool watch_modem_ = false;
  ModemSignalStates seen_signals_;
  TtyErrorCounts seen_counts_;
  int unread_ = 0;                 // Bytes a handler left waiting; 0 when watching for new ones.
  std::uint64_t unread_mark_ = 0;  // The port's BytesRead() when they were left.
};

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_EVENT_THREAD_H_
