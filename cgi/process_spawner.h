// The operating-system side of running a CGI program, behind a narrow
// interface: creating the pipes, starting the program through the system
// command interpreter, feeding its input, reading its output, waiting for
// it and ending it. The CGI runner uses nothing else of the platform, so a
// test can put in a spawner that injects faults.
//
// One ChildProcess serves one run. Its owner (the run's thread) calls
// Start, WriteInput, CloseInput, WaitForExit and KillAndReap; one other
// thread (the run's reader) may call ReadOutput at the same time. Every
// wait is bounded by a deadline, so no call blocks past it.
//
// Destroying a ChildProcess ends everything it still holds: a program not
// yet reaped is killed with its whole process group and reaped, and every
// pipe end still open is closed. The reader must have stopped calling
// ReadOutput by then.
#ifndef VANTREL_CGI_PROCESS_SPAWNER_H_
#define VANTREL_CGI_PROCESS_SPAWNER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/deadline.h"
#include "base/exception.h"

namespace vantrel {

// A failure of the operating system that a run cannot answer with a page:
// "System Error.  Code: %d.\r\n%s" with the error code and the system's text.
VANTREL_ERROR_CLASS(OSError, Exception);

// The OSError for the errno value `error`.
OSError MakeOSError(int error);

class ChildProcess {
 public:
  enum class InputResult {
    kWritten,          // Every byte went into the pipe.
    kClosedByProgram,  // The program no longer reads its input (or writing failed).
    kTimedOut,         // The deadline passed first.
  };
  enum class OutputResult {
    kData,      // Bytes were read.
    kEnd,       // The output has ended (or reading failed).
    kTimedOut,  // The deadline passed first.
  };

  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  virtual ~ChildProcess() = default;

  // Starts the system command interpreter with `command_line` as its
  // command, in a process group of its own, with exactly `environment`
  // ("NAME=value" entries, in this order) and the runner's current
  // directory. Its standard input is the input pipe; its standard output
  // and standard error are the output pipe; it inherits no other
  // descriptor, and signals start with their default handling. Whatever
  // the outcome, the runner's copies of the program's pipe ends are closed,
  // so the output ends when the program (or the start) does. Returns false
  // when the program cannot be started. Called once.
  virtual bool Start(const std::string& command_line,
                     const std::vector<std::string>& environment) = 0;

  // Writes all of `bytes` to the program's input, giving up at `deadline`.
  // Never raises a signal, also when the program has closed its input.
  virtual InputResult WriteInput(std::string_view bytes, Deadline deadline) = 0;

  // Closes the runner's end of the input pipe: the program reads the end of
  // its input.
  virtual void CloseInput() = 0;

  // Reads up to `size` bytes of the program's output into `buffer`, setting
  // `count`, waiting at most until `deadline`. Once the deadline has passed
  // it reports kTimedOut even while bytes keep arriving, so a program that
  // floods its output cannot keep the reader going.
  virtual OutputResult ReadOutput(char* buffer, std::size_t size, std::size_t& count,
                                  Deadline deadline) = 0;

  // Waits until the program has ended or `deadline` passes; true when it has
  // ended. The program is not reaped here, so its process group cannot be
  // taken over by another process before KillAndReap.
  virtual bool WaitForExit(Deadline deadline) = 0;

  // Kills the program's whole process group (whatever of it still runs,
  // including processes the program left behind), then reaps the program.
  // Does nothing after the first call or before a successful Start. A
  // process that left the group (setsid) is out of reach; should it keep
  // the output open, the reader still stops at its deadline.
  virtual void KillAndReap() = 0;
};

class ProcessSpawner {
 public:
  ProcessSpawner() = default;
  ProcessSpawner(const ProcessSpawner&) = delete;
  ProcessSpawner& operator=(const ProcessSpawner&) = delete;
  virtual ~ProcessSpawner() = default;

  // Creates the input and output pipes of a new program, not yet started.
  // Raises OSError when a pipe cannot be created. Safe to call from several
  // threads at once.
  virtual std::unique_ptr<ChildProcess> CreatePipes() = 0;
};

}  // namespace vantrel

#endif  // VANTREL_CGI_PROCESS_SPAWNER_H_
