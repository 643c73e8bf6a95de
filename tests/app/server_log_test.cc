#include "app/server_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "base/string_list.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using ::testing::MatchesRegex;

// "Dec 6, 2026 ; 19:34 " in the C locale.
constexpr const char* kStamp = "[A-Z][a-z][a-z] [0-9]{1,2}, [0-9]{4} ; [0-2][0-9]:[0-5][0-9] ";

StringList LinesOf(const std::string& text) {
  StringList lines;
  lines.SetText(text);
  return lines;
}

TEST(ServerLogTest, LinesCarryTheTimeStampPlainLinesDoNot) {
  ServerLog log("/nonexistent/log.txt", [] { return false; });
  log.AddPlainLine("The help files contain examples written with scripts.");
  log.WriteLog("Stop listening, com port closed.");
  const StringList lines = LinesOf(log.Text());
  ASSERT_EQ(lines.Count(), 2u);
  EXPECT_EQ(lines[0], "The help files contain examples written with scripts.");
  EXPECT_THAT(lines[1], MatchesRegex(std::string(kStamp) + "Stop listening, com port closed\\."));
}

TEST(ServerLogTest, TextOverTheLimitIsEmptiedBeforeTheNextLineButTheFileKeepsAll) {
  test::TempDir dir;
  ServerLog log(dir.File("log.txt"), [] { return true; });
  int cleared = 0;
  log.SetOnClear([&] { ++cleared; });
  const std::string message(999, 'x');
  int written = 0;
  while (log.Text().size() <= ServerLog::kMaxTextLength) {
    log.WriteLog(message);
    ++written;
  }
  EXPECT_EQ(cleared, 0);
  log.WriteLog("after the trim");
  EXPECT_EQ(cleared, 1);
  EXPECT_THAT(log.Text(), MatchesRegex(std::string(kStamp) + "after the trim"));
  EXPECT_EQ(LinesOf(dir.Read("log.txt")).Count(), static_cast<std::size_t>(written + 1));
}

TEST(ServerLogTest, FileIsWrittenOnlyWhileTheSwitchIsOn) {
  test::TempDir dir;
  std::atomic<bool> on{false};
  ServerLog log(dir.File("log.txt"), [&] { return on.load(); });
  log.WriteLog("not in the file");
  on = true;
  log.WriteLog("in the file");
  log.AddPlainLine("plain lines never reach the file");
  const StringList lines = LinesOf(dir.Read("log.txt"));
  ASSERT_EQ(lines.Count(), 1u);
  EXPECT_THAT(lines[0], MatchesRegex(std::string(kStamp) + "in the file"));
  EXPECT_THAT(dir.Read("log.txt"), ::testing::EndsWith("in the file\r\n"));
}

TEST(ServerLogTest, UnwritableFileAddsOneNotSavedLinePerLostLine) {
  test::TempDir dir;  // No web folder inside: the log file cannot be created.
  ServerLog log(dir.File("web/log.txt"), [] { return true; });
  log.WriteLog("first");
  log.WriteLog("second");
  const StringList lines = LinesOf(log.Text());
  ASSERT_EQ(lines.Count(), 4u);
  const std::string stamp = kStamp;
  EXPECT_THAT(lines[0], MatchesRegex(stamp + "first"));
  EXPECT_THAT(lines[1], MatchesRegex(stamp + "Not saved to file: " + stamp + "first"));
  EXPECT_THAT(lines[2], MatchesRegex(stamp + "second"));
  EXPECT_THAT(lines[3], MatchesRegex(stamp + "Not saved to file: " + stamp + "second"));
  EXPECT_FALSE(dir.Exists("web"));
}

TEST(ServerLogTest, ConcurrentWritersNeverInterleaveAndWindowAndFileAgree) {
  test::TempDir dir;
  ServerLog log(dir.File("log.txt"), [] { return true; });
  std::vector<std::string> observed;
  log.SetOnLine([&](const std::string& line) { observed.push_back(line); });
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i)
        log.WriteLog("writer " + std::to_string(t) + " line " + std::to_string(i));
    });
  }
  for (auto& writer : writers) writer.join();
  const StringList window = LinesOf(log.Text());
  const StringList file = LinesOf(dir.Read("log.txt"));
  ASSERT_EQ(window.Count(), 800u);
  EXPECT_EQ(window, file);
  EXPECT_EQ(std::vector<std::string>(window.begin(), window.end()), observed);
  for (const std::string& line : window) {
    EXPECT_THAT(line, MatchesRegex(std::string(kStamp) + "writer [0-3] line [0-9]+"));
  }
}

}  // namespace
}  // namespace vantrel
