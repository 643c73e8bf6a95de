// The Linux terminal layer: every termios and ioctl call of the serial port
// lives here. The kernel's termios2 interface is used throughout so that any
// rate (BOTHER) can be set beside the classic ones.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

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

int Ioctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result < 0 ? errno : 0;
}

int IoctlValue(int fd, unsigned long request, long argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result < 0 ? errno : 0;
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
    int handle;
    do {
      handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) return errno;
    termios2 probe{};
    int error = Ioctl(handle, TCGETS2, &probe);
    if (error == 0) {
      // flock first: a second opener must not be able to clear our TIOCEXCL.
      int locked;
      do {
        locked = ::flock(handle, LOCK_EX | LOCK_NB);
      } while (locked < 0 && errno == EINTR);
      if (locked < 0) error = (errno == EWOULDBLOCK) ? EBUSY : errno;
    }
    if (error == 0) error = IoctlValue(handle, TIOCEXCL, 0);
    if (error != 0) {
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
};

}  // namespace

bool IsUnsupported(int error) { return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP; }

TtyPlatform& SystemTty() {
  static LinuxTty tty;  // Stateless.
  return tty;
}

}  // namespace vantrel
