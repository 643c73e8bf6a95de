#include "cgi/program_run.h"

#include <array>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace vantrel {
namespace {

// The reader thread's record: the output end it reads (through the child)
// and the output collected so far. Only the reader writes it; the run
// reads it after joining the reader.
struct ThreadParams {
  ChildProcess& child;
  Deadline deadline;
  std::size_t max_output;
  std::string output;
  bool overflowed = false;  // More than max_output bytes arrived.
};

// The reader: reads blocks until the output ends, reading fails or the
// deadline passes. Output that cannot be kept (over the limit, or no
// memory for it) is still drained.
void DrainOutput(ThreadParams& params) {
  std::array<char, kOutputBlockSize> block;
  std::size_t count = 0;
  while (params.child.ReadOutput(block.data(), block.size(), count, params.deadline) ==
         ChildProcess::OutputResult::kData) {
    if (params.overflowed || params.output.size() + count > params.max_output) {
      params.overflowed = true;
      continue;  // Drained, not kept.
    }
    try {
      params.output.append(block.data(), count);
    } catch (const std::bad_alloc&) {
      params.overflowed = true;
    }
  }
}

// Joins the reader when the run ends, however it ends. Killing the
// program's group first (when the run did not get as far as reaping it)
// ends the output at once; the reader stops at the deadline in any case,
// so the join cannot hang.
class ReaderGuard {
 public:
  ReaderGuard(ChildProcess& child, std::thread& reader) : child_(child), reader_(reader) {}
  ~ReaderGuard() {
    if (!reader_.joinable()) return;
    child_.KillAndReap();
    reader_.join();
  }
  ReaderGuard(const ReaderGuard&) = delete;
  ReaderGuard& operator=(const ReaderGuard&) = delete;

 private:
  ChildProcess& child_;
  std::thread& reader_;
};

}  // namespace

ProgramRunResult RunProgramProcess(ProcessSpawner& spawner, const std::string& command_line,
                                   const std::vector<std::string>& environment,
                                   std::string_view input, int timeout_ms, std::size_t max_output) {
  const Deadline deadline = Deadline::After(timeout_ms);
  const std::unique_ptr<ChildProcess> child = spawner.CreatePipes();
  ThreadParams params{*child, deadline, max_output, {}, false};

  std::thread reader;
  try {
    reader = std::thread(DrainOutput, std::ref(params));
  } catch (const std::system_error&) {
    return {ProgramRunOutcome::kNotStarted, {}};
  }
  ReaderGuard reader_guard(*child, reader);

  if (!child->Start(command_line, environment)) {
    reader.join();  // The output has no writer left: the reader ends at once.
    return {ProgramRunOutcome::kNotStarted, {}};
  }
  child->WriteInput(input, deadline);
  child->CloseInput();

  if (!child->WaitForExit(deadline)) {
    child->KillAndReap();
    reader.join();
    return {ProgramRunOutcome::kTimedOut, {}};
  }
  reader.join();
  child->KillAndReap();
  if (params.overflowed) return {ProgramRunOutcome::kOutputTooLarge, {}};
  return {ProgramRunOutcome::kEnded, std::move(params.output)};
}

}  // namespace vantrel
