#include "serial/wake_pipe.h"

#include <cstddef>

namespace vantrel {

void PokePipe(TtyPlatform& tty, int fd) {
  if (fd < 0) return;
  const char byte = 1;
  std::size_t written = 0;
  tty.Write(fd, &byte, 1, &written);
}

void DrainPipe(TtyPlatform& tty, int fd) {
  char scratch[64];
  std::size_t got = 0;
  while (tty.Read(fd, scratch, sizeof scratch, &got) == 0 && got > 0) {
  }
}

void ClosePipeEnd(TtyPlatform& tty, int& fd) {
  if (fd >= 0) tty.CloseDescriptor(fd);
  fd = -1;
}

}  // namespace vantrel
