// The Linux layer of the serial port: every system call of the serial port
// lives here, every termios and ioctl call among them. The kernel's termios2
// interface is used throughout so that any rate (BOTHER) can be set beside
// the classic ones. Interrupted calls are retried through RetryOnInterrupt;
// close() is not retried (see base/retry_on_interrupt.h).
#include <asm/termbits.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/retry_on_interrupt.h"
#include "serial/tty_platform.h"

namespace vantrel {
namespace {

// The classic rate codes; every other rate goes through BOTHER.
constexpr std::array<std::pair<int, unsigned>, 18> kClassicRates = {{{50, B50},
                                                                     {75, B75},
                                                                     {110, B110},
                                                                     {134, B134},
                                                                     {150, B150},
                                                                     {200, B200},
                                                                     {300, B300},
                                                                     {600, B600},
                                                                     {1200, B1200},
                                                                     {1800, B1800},
                                                                     {2400, B2400},
                                                                     {4800, B4800},
                                                                     {9600, B9600},
                                                                     {19200, B19200},
                                                                     {38400, B38400},
                                                                     {57600, B57600},
                                                                     {115200, B115200},
                                                                     {230400, B230400}}};

constexpr std::array<unsigned, 4> kDataBitFlags = {CS5, CS6, CS7, CS8};

// 0 when `result` (of a system call) is not negative, else errno.
int ErrorOf(long result) { return result < 0 ? errno : 0; }

int Ioctl(int fd, unsigned long request, void* argument) {
  return ErrorOf(RetryOnInterrupt([&] { return ::ioctl(fd, request, argument); }));
}

int IoctlValue(int fd, unsigned long request, long argument) {
  return ErrorOf(RetryOnInterrupt([&] { return ::ioctl(fd, request, argument); }));
}

// Takes the device exclusively. flock first: a second opener must not be
// able to clear our TIOCEXCL. A lock held elsewhere gives EBUSY.
int TakeExclusively(int fd) {
  termios2 probe{};
  if (int error = Ioctl(fd, TCGETS2, &probe); error != 0) return error;
  if (RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0) {
    return errno == EWOULDBLOCK ? EBUSY : errno;
  }
  return IoctlValue(fd, TIOCEXCL, 0);
}

// The first bytes (up to 1 KiB) of a small file: a sysfs attribute, a lock
// file, a process's stat line; "" when it cannot be read.
std::string ReadSmallFile(const std::string& path) {
  const int fd = RetryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return "";
  std::array<char, 1024> buffer;
  const ssize_t n = RetryOnInterrupt([&] { return ::read(fd, buffer.data(), buffer.size()); });
  ::close(fd);
  return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : "";
}

// The numeric entries of /proc: the processes this process can see.
std::vector<std::string> ProcessIds() {
  std::vector<std::string> ids;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return ids;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9') ids.emplace_back(entry->d_name);
  }
  ::closedir(proc);
  return ids;
}

// The controlling terminal's device number from a /proc/PID/stat line (its
// seventh field, counted after the command name in parentheses); 0: none.
std::uint64_t ControllingTerminalOf(const std::string& stat_line) {
  const std::size_t name_end = stat_line.rfind(')');
  if (name_end == std::string::npos) return 0;
  const char* fields = stat_line.c_str() + name_end + 1;
  char state = 0;
  long long parent = 0, group = 0, session = 0, tty = 0;
  if (std::sscanf(fields, " %c %lld %lld %lld %lld", &state, &parent, &group, &session, &tty) !=
      5) {
    return 0;
  }
  // Minor in bits 31-20 and 7-0, major in bits 15-8.
  const auto number = static_cast<std::uint64_t>(tty);
  const unsigned major_number = static_cast<unsigned>((number >> 8) & 0xfff);
  const unsigned minor_number = static_cast<unsigned>((number & 0xff) | ((number >> 12) & 0xfff00));
  return number == 0 ? 0 : makedev(major_number, minor_number);
}

int SetModemBit(int fd, int bit, bool on) {
  int bits = bit;
  const int error = Ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
  return IsUnsupported(error) ? 0 : error;
}

class LinuxTty final : public TtyPlatform {
 public:
  int Open(const std::string& path, int* fd) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    if (!S_ISCHR(info.st_mode)) return ENOTTY;
    const int handle = RetryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (handle < 0) return errno;
    if (const int error = TakeExclusively(handle); error != 0) {
      ::close(handle);
      return error;
    }
    *fd = handle;
    return 0;
  }

  void Close(int fd) override {
    IoctlValue(fd, TIOCNXCL, 0);
    ::close(fd);  // Releases the flock too.
  }

  int SaveLine(int fd, TtySavedLine* line) override {
    termios2 tio{};
    if (int error = Ioctl(fd, TCGETS2, &tio); error != 0) return error;
    line->bytes.assign(reinterpret_cast<const char*>(&tio), sizeof tio);
    return 0;
  }

  int RestoreLine(int fd, const TtySavedLine& line) override {
    termios2 tio{};
    if (line.bytes.size() != sizeof tio) return EINVAL;
    std::memcpy(&tio, line.bytes.data(), sizeof tio);
    return Ioctl(fd, TCSETS2, &tio);
  }

  int ApplyLineSettings(int fd, const TtyLineSettings& s) override {
    termios2 tio{};
    if (int error = Ioctl(fd, TCGETS2, &tio); error != 0) return error;
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CREAD | CLOCAL;
    const auto bits = static_cast<std::size_t>(s.data_bits - 5);
    tio.c_cflag |= bits < kDataBitFlags.size() ? kDataBitFlags[bits] : CS8;
    if (s.stop_bits != sbOneStopBit) tio.c_cflag |= CSTOPB;
    switch (s.parity) {
      case prNone:
        break;
      case prOdd:
        tio.c_cflag |= PARENB | PARODD;
        break;
      case prEven:
        tio.c_cflag |= PARENB;
        break;
      case prMark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
      case prSpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (s.parity_check) {
      tio.c_iflag |= INPCK;
      if (!s.parity_replace) tio.c_iflag |= IGNPAR;
    } else {
      tio.c_iflag |= IGNPAR;
    }
    if (s.out_cts_flow || s.rts == rtsHandshake) tio.c_cflag |= CRTSCTS;
    if (s.xon_xoff_out) tio.c_iflag |= IXON;
    if (s.xon_xoff_in) tio.c_iflag |= IXOFF;
    if (s.xon_xoff_out && s.tx_continue_on_xoff) tio.c_iflag |= IXANY;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xon_char);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoff_char);
    // With O_NONBLOCK, VMIN 1 makes an empty queue read as EAGAIN, so that
    // end of file means a hung-up device.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
    unsigned code = BOTHER;
    for (const auto& [rate, flag] : kClassicRates) {
      if (rate == s.baud) code = flag;
    }
    tio.c_cflag |= code;
    tio.c_ispeed = static_cast<speed_t>(s.baud);
    tio.c_ospeed = static_cast<speed_t>(s.baud);
    if (int error = Ioctl(fd, TCSETS2, &tio); error != 0) return error;
    // DTR handshake has no kernel counterpart: the line is raised instead.
    if (int error = SetModemBit(fd, TIOCM_DTR, s.dtr != dtrDisable); error != 0) return error;
    if (s.rts == rtsDisable || s.rts == rtsEnable) {
      if (int error = SetModemBit(fd, TIOCM_RTS, s.rts == rtsEnable); error != 0) return error;
    }
    return 0;
  }

  int InputQueueCount(int fd, int* count) override { return Ioctl(fd, FIONREAD, count); }
  int OutputQueueCount(int fd, int* count) override { return Ioctl(fd, TIOCOUTQ, count); }

  int Discard(int fd, bool input, bool output) override {
    if (!input && !output) return 0;
    const long which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return IoctlValue(fd, TCFLSH, which);
  }

  int ModemSignals(int fd, ModemSignalStates* signals) override {
    int bits = 0;
    if (int error = Ioctl(fd, TIOCMGET, &bits); error != 0) return error;
    signals->CTS = (bits & TIOCM_CTS) != 0;
    signals->DSR = (bits & TIOCM_DSR) != 0;
    signals->Ring = (bits & TIOCM_RNG) != 0;
    signals->RLSD = (bits & TIOCM_CD) != 0;
    return 0;
  }

  int SetDtr(int fd, bool on) override { return SetModemBit(fd, TIOCM_DTR, on); }

  int ErrorCounts(int fd, TtyErrorCounts* counts) override {
    serial_icounter_struct icount{};
    if (int error = Ioctl(fd, TIOCGICOUNT, &icount); error != 0) return error;
    counts->framing = icount.frame;
    counts->parity = icount.parity;
    counts->overrun = icount.overrun;
    counts->breaks = icount.brk;
    counts->buffer_overrun = icount.buf_overrun;
    return 0;
  }

  int OpenPipe(int* read_end, int* write_end) override {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return errno;
    *read_end = ends[0];
    *write_end = ends[1];
    return 0;
  }

  void CloseDescriptor(int fd) override { ::close(fd); }

  int Read(int fd, void* buffer, std::size_t size, std::size_t* got) override {
    const ssize_t n = RetryOnInterrupt([&] { return ::read(fd, buffer, size); });
    *got = n > 0 ? static_cast<std::size_t>(n) : 0;
    return ErrorOf(n);
  }

  int Write(int fd, const void* data, std::size_t size, std::size_t* written) override {
    const ssize_t n = RetryOnInterrupt([&] { return ::write(fd, data, size); });
    *written = n > 0 ? static_cast<std::size_t>(n) : 0;
    return ErrorOf(n);
  }

  int Poll(pollfd* fds, std::size_t count, int timeout_ms, int* ready) override {
    const int n = RetryOnInterrupt([&] { return ::poll(fds, count, timeout_ms); });
    *ready = n > 0 ? n : 0;
    return ErrorOf(n);
  }

  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) return errno;
    while (const dirent* entry = ::readdir(handle)) names->emplace_back(entry->d_name);
    ::closedir(handle);
    return 0;
  }

  int FileGroup(const std::string& path, std::string* group) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    std::array<char, 4096> buffer{};
    struct group entry {};
    struct group* found = nullptr;
    // A group the system cannot name is given by its number.
    ::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found);
    *group = found != nullptr ? std::string(found->gr_name) : std::to_string(info.st_gid);
    return 0;
  }

  int DescribeDevice(const std::string& path, TtyDeviceFacts* facts) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    *facts = TtyDeviceFacts();
    facts->character_device = S_ISCHR(info.st_mode);
    facts->device = info.st_rdev;
    facts->major = ::major(info.st_rdev);
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      facts->canonical_path = real;
      std::free(real);
    }
    if (facts->character_device) {
      // The kernel's own entry for the device number: a "device" link when
      // a driver of hardware stands behind it, and a UART's port type.
      const std::string entry = "/sys/dev/char/" + std::to_string(facts->major) + ":" +
                                std::to_string(::minor(info.st_rdev));
      struct stat sys {};
      facts->in_sysfs = ::stat(entry.c_str(), &sys) == 0;
      facts->serial_hardware = facts->in_sysfs && ::stat((entry + "/device").c_str(), &sys) == 0;
      const std::string type = ReadSmallFile(entry + "/type");
      facts->port_type = type.empty() ? -1 : std::atoi(type.c_str());
    }
    facts->read_write = ::access(path.c_str(), R_OK | W_OK) == 0;
    return 0;
  }

  int SessionTerminals(std::vector<std::uint64_t>* devices) override {
    for (const std::string& pid : ProcessIds()) {
      const std::uint64_t terminal = ControllingTerminalOf(ReadSmallFile("/proc/" + pid + "/stat"));
      if (terminal != 0) devices->push_back(terminal);
    }
    return 0;
  }

  int DevicesInUse(std::vector<std::uint64_t>* devices) override {
    const std::string self = std::to_string(::getpid());
    for (const std::string& pid : ProcessIds()) {
      if (pid == self) continue;
      const std::string folder = "/proc/" + pid + "/fd";
      DIR* fds = ::opendir(folder.c_str());
      if (fds == nullptr) continue;  // Not ours to look at, or gone.
      while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.') continue;
        struct stat info {};
        if (::stat((folder + "/" + entry->d_name).c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
          devices->push_back(info.st_rdev);
        }
      }
      ::closedir(fds);
    }
    return 0;
  }

  int LockFileHeld(const std::string& name, bool* held) override {
    *held = false;
    for (const char* folder : {"/run/lock/", "/var/lock/"}) {
      const std::string content = ReadSmallFile(folder + std::string("LCK..") + name);
      if (content.empty()) continue;
      // The owner's process id, as text (or, from old programs, 4 bytes).
      long pid = std::strtol(content.c_str(), nullptr, 10);
      if (pid <= 0 && content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        pid = binary;
      }
      if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) *held = true;
    }
    return 0;
  }
};

}  // namespace

bool IsUnsupported(int error) { return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP; }

TtyPlatform& SystemTty() {
  static LinuxTty tty;  // Stateless.
  return tty;
}

}  // namespace vantrel
