// The pipes by which the serial port wakes its waiting threads: a byte
// written to the write end wakes a poll() on the read end. Every call goes
// through the terminal layer. Safe on any thread.
#ifndef VANTREL_SERIAL_WAKE_PIPE_H_
#define VANTREL_SERIAL_WAKE_PIPE_H_

#include "serial/tty_platform.h"

namespace vantrel {

// Wakes the reader of write end `fd`; nothing when `fd` is negative. A full
// pipe already wakes its reader, so a failed write loses nothing.
void PokePipe(TtyPlatform& tty, int fd);
// Takes back every wake-up waiting on read end `fd`.
void DrainPipe(TtyPlatform& tty, int fd);
// Closes `fd` when it is open, and marks it closed (-1).
void ClosePipeEnd(TtyPlatform& tty, int& fd);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_WAKE_PIPE_H_
