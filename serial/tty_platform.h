// The narrow interface through which the serial port reaches the operating
// system: its terminal devices, the pipes that wake its waiting threads,
// reading, writing and waiting, and the device directory. The one real
// implementation (SystemTty, in linux_tty.cc) holds every system call of
// the serial port; tests put in a fake for what pseudo terminals cannot
// show (modem lines, parity, data bits) and to inject failures.
//
// Every method returns 0 on success or an errno value (never EINTR: an
// interrupted call is retried inside); none raises. All methods may be
// called from any thread; implementations keep no state between calls apart
// from what the devices themselves hold.
#ifndef VANTREL_SERIAL_TTY_PLATFORM_H_
#define VANTREL_SERIAL_TTY_PLATFORM_H_

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/serial_settings.h"

namespace vantrel {

// The line settings as the device takes them, worked out by the port from
// its settings.
struct TtyLineSettings {
  int baud = 9600;    // Bits per second; any positive rate.
  int data_bits = 8;  // 5..8.
  ParityBits parity = prNone;
  StopBits stop_bits = sbOneStopBit;
  bool parity_check = false;
  bool parity_replace = false;  // Bytes with errors are read as NUL.
  bool out_cts_flow = false;
  bool out_dsr_flow = false;
  DtrFlowControl dtr = dtrDisable;
  RtsFlowControl rts = rtsDisable;
  bool xon_xoff_out = false;
  bool xon_xoff_in = false;
  bool tx_continue_on_xoff = false;
  char xon_char = 17;
  char xoff_char = 19;
};

// The line settings a device had, kept to be put back: opaque bytes that
// only the platform that saved them reads.
struct TtySavedLine {
  std::string bytes;  // Empty: nothing saved.
};

// What the system tells of a device file, without opening it.
struct TtyDeviceFacts {
  bool character_device = false;
  std::uint64_t device = 0;    // Its device number (as in st_rdev).
  unsigned major = 0;          // The driver's number: 136-143 are pseudo terminals.
  std::string canonical_path;  // The path with every link resolved.
  // The kernel describes the device number (in /sys/dev/char).
  bool in_sysfs = false;
  // The kernel's terminal class says a driver of hardware stands behind it
  // (a UART, a USB adapter, a Bluetooth link): it has a "device".
  bool serial_hardware = false;
  // The port type a UART driver reports; 0 when the port has no UART
  // behind it; -1 when the driver tells no type.
  int port_type = -1;
  // This process may open it for reading and writing.
  bool read_write = false;
};

// Counters of line errors since the device was opened.
struct TtyErrorCounts {
  long long framing = 0;
  long long parity = 0;
  long long overrun = 0;
  long long breaks = 0;
  long long buffer_overrun = 0;
};

class TtyPlatform {
 public:
  virtual ~TtyPlatform() = default;

  // Opens the character device at `path` for reading and writing, without
  // becoming its controlling terminal, non-blocking and close-on-exec, and
  // takes it exclusively (TIOCEXCL and an exclusive flock). A device held
  // elsewhere gives EBUSY; anything that is not a terminal gives ENOTTY.
  // On success `*fd` is the caller's to Close.
  virtual int Open(const std::string& path, int* fd) = 0;
  virtual void Close(int fd) = 0;

  // The device's line settings as they are, and putting them back.
  virtual int SaveLine(int fd, TtySavedLine* line) = 0;
  virtual int RestoreLine(int fd, const TtySavedLine& line) = 0;

  // Raw mode with the given line settings; DTR and RTS follow their
  // Disable/Enable settings at once.
  virtual int ApplyLineSettings(int fd, const TtyLineSettings& settings) = 0;
  // Bytes waiting in the input queue and in the output queue.
  virtual int InputQueueCount(int fd, int* count) = 0;
  virtual int OutputQueueCount(int fd, int* count) = 0;
  // Drops what is queued in either direction.
  virtual int Discard(int fd, bool input, bool output) = 0;
  // Modem lines. A device without them (a pseudo terminal) gives ENOTTY or
  // EINVAL, which the port reads as "all off".
  virtual int ModemSignals(int fd, ModemSignalStates* signals) = 0;
  virtual int SetDtr(int fd, bool on) = 0;
  // Line error counters; ENOTTY or EINVAL where the device keeps none.
  virtual int ErrorCounts(int fd, TtyErrorCounts* counts) = 0;

  // A pipe whose ends are both non-blocking and close-on-exec; on success
  // both ends are the caller's to CloseDescriptor.
  virtual int OpenPipe(int* read_end, int* write_end) = 0;
  // Closes a descriptor that Open did not give (a pipe end).
  virtual void CloseDescriptor(int fd) = 0;
  // Reads at most `size` bytes without waiting: EAGAIN when none wait;
  // `*got` 0 with the result 0 is the end of the input (a hung-up device).
  virtual int Read(int fd, void* buffer, std::size_t size, std::size_t* got) = 0;
  // Writes at most `size` bytes without waiting: EAGAIN when none fit.
  virtual int Write(int fd, const void* data, std::size_t size, std::size_t* written) = 0;
  // Waits as poll() does, at most `timeout_ms` (-1: without limit);
  // `*ready` is the number of descriptors with events (0 after the time).
  virtual int Poll(pollfd* fds, std::size_t count, int timeout_ms, int* ready) = 0;

  // The names of the entries of directory `dir`, in directory order.
  virtual int ListDirectory(const std::string& dir, std::vector<std::string>* names) = 0;
  // The name of the group that owns the file at `path` (its number as text
  // when the group has no name).
  virtual int FileGroup(const std::string& path, std::string* group) = 0;

  // What the system tells of the device file at `path` (links followed),
  // without opening it: ENOENT and the like when there is none.
  virtual int DescribeDevice(const std::string& path, TtyDeviceFacts* facts) = 0;
  // The device numbers of the terminals that are some session's controlling
  // terminal, as the process table shows them.
  virtual int SessionTerminals(std::vector<std::uint64_t>* devices) = 0;
  // The device numbers of the character devices that processes hold open,
  // as far as this process may look at their descriptors (its own always).
  virtual int DevicesInUse(std::vector<std::uint64_t>* devices) = 0;
  // Whether a lock file in the system's lock folder (LCK..`name`) says a
  // running process holds the device `name`.
  virtual int LockFileHeld(const std::string& name, bool* held) = 0;
};

// The operating system's terminals. Stateless; lives for the whole run.
TtyPlatform& SystemTty();

// True for the errno values by which a device says it has no such facility.
bool IsUnsupported(int error);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_TTY_PLATFORM_H_
