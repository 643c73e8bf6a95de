// The process spawner of Linux: pipes from pipe2, the program started with
// posix_spawn as "/bin/sh -c <command line>", waits through a process
// descriptor (pidfd) with poll, ends through kill of the process group and
// waitpid.
//
// Descriptors: every pipe end is created close-on-exec and above the
// standard descriptors; the program gets its three standard descriptors
// and the spawn closes every other descriptor in it, so it inherits nothing
// of the server (sockets, files, other runs' pipes) even from code that
// opened descriptors without close-on-exec.
//
// Signals: writing to a program that has closed its input would raise
// SIGPIPE in the writing thread; WriteInput blocks SIGPIPE in that thread
// for the length of the write and takes a SIGPIPE it caused off the
// thread's pending signals before restoring the mask, so the server does
// not depend on ignoring SIGPIPE process-wide. The program starts with an
// empty signal mask and default handling of every signal, whatever the
// server ignores or blocks.
//
// Requires that the server does not set SIGCHLD to be ignored (the kernel
// would then reap programs by itself) and that nothing else in the process
// waits for children it did not start (waitpid(-1)).
#ifndef VANTREL_CGI_POSIX_PROCESS_SPAWNER_H_
#define VANTREL_CGI_POSIX_PROCESS_SPAWNER_H_

#include <memory>

#include "cgi/process_spawner.h"

namespace vantrel {

class PosixProcessSpawner final : public ProcessSpawner {
 public:
  // The system command interpreter.
  static constexpr const char* kShellPath = "/bin/sh";

  std::unique_ptr<ChildProcess> CreatePipes() override;
};

}  // namespace vantrel

#endif  // VANTREL_CGI_POSIX_PROCESS_SPAWNER_H_
