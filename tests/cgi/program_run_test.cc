#include "cgi/program_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/deadline.h"
#include "cgi/posix_process_spawner.h"
#include "tests/cgi/cgi_test_util.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kShortTimeOut = 500;
// How long past its time-out a run may take: killing and reaping is quick,
// so a run still going after this did not stop at its time-out.
constexpr milliseconds kTimeOutSlack{1000};

class ProgramRunTest : public test::NoLeftoversTest {
 protected:
  ProgramRunResult Run(const std::string& command, std::string_view input = {},
                       int timeout_ms = 10000, std::size_t max_output = kMaxProgramOutput) {
    return RunProgramProcess(spawner_, command, environment_, input, timeout_ms, max_output);
  }

  // Runs a program that should hang, timing it.
  ProgramRunResult RunExpectingTimeOut(const std::string& command, std::string_view input = {}) {
    const auto start = steady_clock::now();
    ProgramRunResult result = Run(command, input, kShortTimeOut);
    EXPECT_LT(steady_clock::now() - start, milliseconds(kShortTimeOut) + kTimeOutSlack);
    EXPECT_EQ(result.outcome, ProgramRunOutcome::kTimedOut);
    EXPECT_EQ(result.output, "");
    return result;
  }

  test::TempDir dir_;
  PosixProcessSpawner spawner_;
  std::vector<std::string> environment_ = {"PATH=/usr/bin:/bin"};
};

TEST_F(ProgramRunTest, InputReachesTheProgramAndBothOutputStreamsAreCollected) {
  const std::string program = test::WriteScript(dir_, "echo.sh", "cat\necho err >&2\n");
  const ProgramRunResult result = Run(program, "x=1&y=2");
  EXPECT_EQ(result.outcome, ProgramRunOutcome::kEnded);
  EXPECT_EQ(result.output, "x=1&y=2err\n");
}

TEST_F(ProgramRunTest, InputAndOutputLargerThanPipesDoNotDeadlock) {
  // The program writes while the runner still writes its input: the output
  // must be drained at the same time, or both sides block for good.
  std::string input(4 << 20, '\0');
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>(i % 251);
  const ProgramRunResult result = Run("cat", input);
  EXPECT_EQ(result.outcome, ProgramRunOutcome::kEnded);
  EXPECT_TRUE(result.output == input) << result.output.size() << " bytes came back";
}

TEST_F(ProgramRunTest, HangingProgramIsKilledWithItsWholeGroupAtTheTimeOut) {
  const std::string program =
      test::WriteScript(dir_, "hang.sh",
                        "sleep 30 &\n" + test::PrintProcessMark("$!") + " > " + dir_.File("child") +
                            "\n" + test::PrintProcessMark("$$") + " > " + dir_.File("self") +
                            "\nprintf 'Status: 200\\r\\n\\r\\n'\nexec sleep 30\n");
  RunExpectingTimeOut(program);
  EXPECT_TRUE(test::ProcessEnds(dir_.Read("self")));
  EXPECT_TRUE(test::ProcessEnds(dir_.Read("child")));
}

TEST_F(ProgramRunTest, ProgramThatNeverReadsItsInputCannotHoldTheRun) {
  RunExpectingTimeOut("exec sleep 30", std::string(4 << 20, 'x'));
}

TEST_F(ProgramRunTest, FloodingProgramIsKilledAtTheTimeOut) {
  RunExpectingTimeOut("exec cat /dev/zero");
}

TEST_F(ProgramRunTest, ProgramThatEndsWithoutReadingItsInputRaisesNoSignal) {
  // SIGPIPE would end this test program: the runner must not depend on the
  // server ignoring it, nor leave it pending or blocked afterwards.
  const ProgramRunResult result = Run("printf done", std::string(4 << 20, 'x'));
  EXPECT_EQ(result.outcome, ProgramRunOutcome::kEnded);
  EXPECT_EQ(result.output, "done");
  sigset_t pending;
  sigset_t blocked;
  ASSERT_EQ(::sigpending(&pending), 0);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &blocked), 0);
  EXPECT_EQ(::sigismember(&pending, SIGPIPE), 0);
  EXPECT_EQ(::sigismember(&blocked, SIGPIPE), 0);
}

TEST_F(ProgramRunTest, OutputOverTheLimitIsNotKept) {
  const ProgramRunResult result = Run("head -c 100000 /dev/zero", {}, 10000, 50000);
  EXPECT_EQ(result.outcome, ProgramRunOutcome::kOutputTooLarge);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(Run("head -c 50000 /dev/zero", {}, 10000, 50000).output.size(), 50000u);
}

TEST_F(ProgramRunTest, ProcessesTheProgramLeavesBehindAreKilledWhenItEnds) {
  const ProgramRunResult result = Run("sleep 30 >/dev/null 2>&1 & " + test::PrintProcessMark("$!"));
  ASSERT_EQ(result.outcome, ProgramRunOutcome::kEnded);
  EXPECT_TRUE(test::ProcessEnds(result.output));
}

TEST_F(ProgramRunTest, ProgramInheritsOnlyItsThreePipeEnds) {
  // A descriptor this process opened without close-on-exec.
  int leaked[2];
  ASSERT_EQ(::pipe(leaked), 0);
  // ls lists the descriptors of the shell that runs the command.
  const ProgramRunResult result = Run("ls -l /proc/$$/fd");
  ::close(leaked[0]);
  ::close(leaked[1]);
  ASSERT_EQ(result.outcome, ProgramRunOutcome::kEnded);

  std::map<std::string, std::string> targets;  // Descriptor number -> what it refers to.
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    const std::size_t number_start = line.rfind(' ', arrow - 1) + 1;
    targets[line.substr(number_start, arrow - number_start)] = line.substr(arrow + 4);
  }
  ASSERT_EQ(targets.size(), 3u) << result.output;
  EXPECT_EQ(targets["0"].rfind("pipe:", 0), 0u) << result.output;
  EXPECT_EQ(targets["1"].rfind("pipe:", 0), 0u) << result.output;
  EXPECT_NE(targets["0"], targets["1"]);
  EXPECT_EQ(targets["2"], targets["1"]);
}

TEST_F(ProgramRunTest, ProgramGetsExactlyTheGivenEnvironmentInOrderWithLongValuesWhole) {
  environment_ = {"PATH=/usr/bin:/bin", "ZZ=last name first", "LONG=" + std::string(10000, 'v'),
                  "EMPTY="};
  // The environment the shell was started with, as the kernel keeps it.
  const ProgramRunResult result = Run("tr '\\0' '\\n' < /proc/$$/environ");
  ASSERT_EQ(result.outcome, ProgramRunOutcome::kEnded);
  std::istringstream lines(result.output);
  std::vector<std::string> entries;
  for (std::string line; std::getline(lines, line);) entries.push_back(line);
  ASSERT_EQ(entries.size(), environment_.size()) << result.output.substr(0, 200);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(entries[i] == environment_[i]) << "entry " << i << ": " << entries[i].substr(0, 40);
  }
}

TEST_F(ProgramRunTest, ConcurrentRunsKeepTheirOwnInputAndOutput) {
  constexpr int kThreads = 4;
  constexpr int kRunsPerThread = 5;
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, &failures] {
      for (int i = 0; i < kRunsPerThread; ++i) {
        const std::string input = "run " + std::to_string(t) + "." + std::to_string(i);
        const ProgramRunResult result =
            RunProgramProcess(spawner_, "cat", environment_, input, 10000);
        if (result.output != input) failures[static_cast<std::size_t>(t)] += result.output + ";";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
}

// A spawner whose programs never start.
class UnstartableSpawner final : public ProcessSpawner {
 public:
  std::unique_ptr<ChildProcess> CreatePipes() override {
    return std::make_unique<UnstartableChild>();
  }

 private:
  class UnstartableChild final : public ChildProcess {
   public:
    bool Start(const std::string&, const std::vector<std::string>&) override { return false; }
    InputResult WriteInput(std::string_view, Deadline) override {
      ADD_FAILURE() << "input written to a program that did not start";
      return InputResult::kClosedByProgram;
    }
    void CloseInput() override {}
    OutputResult ReadOutput(char*, std::size_t, std::size_t& count, Deadline) override {
      count = 0;
      return OutputResult::kEnd;
    }
    bool WaitForExit(Deadline) override { return true; }
    void KillAndReap() override {}
  };
};

TEST_F(ProgramRunTest, ProgramThatCannotStartEndsTheRunWithoutWaiting) {
  UnstartableSpawner spawner;
  const ProgramRunResult result = RunProgramProcess(spawner, "x", {}, "input", 10000);
  EXPECT_EQ(result.outcome, ProgramRunOutcome::kNotStarted);
}

}  // namespace
}  // namespace vantrel
