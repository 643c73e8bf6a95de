// One run of a CGI program at the level of processes: pipes, a reader
// thread that drains the program's output, the program started through the
// system command interpreter, its input written, and the wait for its end,
// all within one time-out. What the output means is not looked at here.
//
// Sequence: create the pipes (raising OSError when that fails); start the
// reader; start the program; write the input and close it; wait for the
// program. If it ends in time, the reader is given what remains of the
// time-out to reach the end of the output, then whatever the program left
// running in its process group is killed and the program reaped. If it
// does not end in time, its whole process group is killed at once and
// reaped, and the output collected so far is dropped. Writing the input is
// bounded by the same time-out, so a program that never reads its input
// cannot hold the run; a program that floods its output is drained until
// it is killed.
//
// When the call returns no thread, descriptor or child of the run is left.
// Several runs may proceed at once on different threads.
#ifndef VANTREL_CGI_PROGRAM_RUN_H_
#define VANTREL_CGI_PROGRAM_RUN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cgi/process_spawner.h"

namespace vantrel {

// The output is read in blocks of this many bytes.
inline constexpr std::size_t kOutputBlockSize = 4096;
// The most output a run keeps (256 MiB). Output beyond it is still read,
// so the program can finish, but thrown away, and the run ends as
// kOutputTooLarge.
inline constexpr std::size_t kMaxProgramOutput = std::size_t{256} << 20;

enum class ProgramRunOutcome {
  kEnded,           // The program ended within the time-out; `output` holds what it wrote.
  kTimedOut,        // Still running at the time-out: killed; no output kept.
  kNotStarted,      // The reader thread or the program could not be started.
  kOutputTooLarge,  // Ended, but wrote more than the limit; no output kept.
};

struct ProgramRunResult {
  ProgramRunOutcome outcome = ProgramRunOutcome::kNotStarted;
  std::string output;  // Standard output and standard error, as written.
};

// Runs `command_line` with `environment` ("NAME=value" entries) through
// `spawner`, writing `input` to it, for at most `timeout_ms` milliseconds
// (a negative value counts as 0). Raises OSError when the pipes cannot be
// created; every other failure is an outcome.
ProgramRunResult RunProgramProcess(ProcessSpawner& spawner, const std::string& command_line,
                                   const std::vector<std::string>& environment,
                                   std::string_view input, int timeout_ms,
                                   std::size_t max_output = kMaxProgramOutput);

}  // namespace vantrel

#endif  // VANTREL_CGI_PROGRAM_RUN_H_
