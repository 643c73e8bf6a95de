// The headless gateway's output: every line, in order, and nothing left
// behind when the writer goes.
#include "app/batched_line_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

// Connection threads logging at once, and the writer destroyed straight
// after the last line (as the program ends right after its last log line):
// every line arrives whole, each thread's in its order, none lost.
TEST(BatchedLineWriterTest, LinesFromManyThreadsArriveWholeInOrderAndNoneIsLost) {
  constexpr int kThreads = 8;
  constexpr int kLines = 2000;
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    BatchedLineWriter writer(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&writer, t] {
        for (int i = 0; i < kLines; ++i) {
          writer.WriteLine("thread " + std::to_string(t) + " line " + std::to_string(i));
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);

  std::vector<int> next(kThreads, 0);
  std::istringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[static_cast<std::size_t>(t)]++) << line;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace vantrel
