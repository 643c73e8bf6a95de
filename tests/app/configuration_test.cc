#include "app/configuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "tests/app/recording_front_end.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kDefaultFile =
    "AutoActivate=no\r\nAutoMinimize=no\r\nServer port=80\r\nUse session=no\r\n"
    "Session expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=kelp\r\n"
    "Log to file=no\r\nPHP path=\r\n";

class ConfigurationTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  test::RecordingFrontEnd front_end_;
  Configuration settings_{dir_.File("config.ini"), front_end_};
};

TEST_F(ConfigurationTest, MissingFileWritesTheTenDefaultsAndShowsTheMessageOnce) {
  EXPECT_TRUE(settings_.LoadConfiguration(/*with_defaults=*/true));
  EXPECT_EQ(dir_.Read("config.ini"), kDefaultFile);
  EXPECT_THAT(front_end_.Messages(),
              ElementsAre("Error loading configuration. Please check configuration."));
  EXPECT_EQ(settings_.SettingValue("Server port"), "80");
  EXPECT_EQ(settings_.PhpPath(), "");
  // It holds the password: other users of the machine cannot read it.
  struct stat made {};
  ASSERT_EQ(stat(dir_.File("config.ini").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0600u);
}

TEST_F(ConfigurationTest, MissingFileWithoutDefaultsOnlyShowsTheMessage) {
  EXPECT_TRUE(settings_.LoadConfiguration(/*with_defaults=*/false));
  EXPECT_FALSE(dir_.Exists("config.ini"));
  EXPECT_EQ(front_end_.Messages().size(), 1u);
  EXPECT_EQ(settings_.Lines().Count(), 0u);
}

TEST_F(ConfigurationTest, VanishedFileAppendsDefaultsAfterTheOldLines) {
  dir_.Write("config.ini", "Server port=8081\nCustom=1\n");
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  std::remove(dir_.File("config.ini").c_str());
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  EXPECT_EQ(dir_.Read("config.ini"),
            std::string("Server port=8081\r\nCustom=1\r\n") + kDefaultFile);
  EXPECT_EQ(settings_.SettingValue("Server port"), "8081");  // The old value is found first.
  EXPECT_EQ(settings_.PhpPath(), "kelp");                    // Tenth line: "Auth password=kelp".
}

TEST_F(ConfigurationTest, LookupsFollowTheFileExactly) {
  dir_.Write("config.ini",
             "server PORT=8080\r\nAuth user=first\nAuth user=second\rUse session=Yes\n"
             "Auth require=yes\nSession expire = 5\nno equals sign\n");
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  EXPECT_EQ(settings_.SettingValue("Server port"), "8080");  // Keys ignore case.
  EXPECT_EQ(settings_.SettingValue("Auth user"), "first");   // The first line counts.
  EXPECT_FALSE(settings_.SwitchOn("Use session"));           // Only "yes" is on.
  EXPECT_TRUE(settings_.SwitchOn("Auth require"));
  EXPECT_EQ(settings_.SettingValue("Session expire"), "");  // The name is "Session expire ".
  EXPECT_EQ(settings_.SettingValue("Session expire "), " 5");
  EXPECT_EQ(settings_.SettingValue("AutoActivate"), "");
  EXPECT_TRUE(front_end_.Messages().empty());
}

// The optional settings read as numbers and lists: anything unusable
// means the default, never a crash or a limit of nothing.
TEST_F(ConfigurationTest, NumberAndListSettingsFallBackToTheirDefaults) {
  dir_.Write("config.ini",
             "Max body=4\nMax page output=-1\nMax connections=x\nAllowed hosts= a.example ,, "
             "B.example,\nTrusted origins=\n");
  ASSERT_TRUE(settings_.LoadConfiguration(false));
  EXPECT_EQ(settings_.MebibyteSetting("Max body", 16), 4 << 20);
  EXPECT_EQ(settings_.MebibyteSetting("Max page output", 64), std::int64_t{64} << 20);
  EXPECT_EQ(settings_.IntegerSetting("Max connections", 512, 1), 512);
  EXPECT_EQ(settings_.IntegerSetting("Absent", 7), 7);
  EXPECT_THAT(settings_.ListSetting("Allowed hosts"), ElementsAre("a.example", "B.example"));
  EXPECT_TRUE(settings_.ListSetting("Trusted origins").empty());
}

TEST_F(ConfigurationTest, PhpPathIsTheTenthLineWhateverItsName) {
  dir_.Write("config.ini",
             "PHP path=/usr/bin/php-cgi\nAutoActivate=no\nAutoMinimize=no\nServer port=80\n"
             "Use session=no\nSession expire=1\nAuth require=no\nAuth user=user\n"
             "Log to file=no\nAuth password=kelp\n");
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  EXPECT_EQ(settings_.PhpPath(), "kelp");
  EXPECT_EQ(settings_.SettingValue("PHP path"), "/usr/bin/php-cgi");

  dir_.Write("config.ini", "Server port=80\nPHP path=/usr/bin/php-cgi\n");
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  try {
    settings_.PhpPath();
    FAIL() << "a short list has no PHP path line";
  } catch (const ListIndexError& error) {
    EXPECT_EQ(error.Message(), "List index out of bounds (9)");
  }
}

TEST_F(ConfigurationTest, UnknownLinesAndDuplicatesAreWrittenBackUnchanged) {
  dir_.Write("config.ini", "x\nServer port=1\nServer port=2\nOther=\xe9\n");
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  ASSERT_TRUE(settings_.SaveConfiguration());
  EXPECT_EQ(dir_.Read("config.ini"), "x\r\nServer port=1\r\nServer port=2\r\nOther=\xe9\r\n");
}

TEST_F(ConfigurationTest, UnwritableFileReportsTheErrorAndSkipsTheMessage) {
  // A folder named config.ini can be neither read nor written, even by root.
  mkdir(dir_.File("config.ini").c_str(), 0755);
  EXPECT_FALSE(settings_.LoadConfiguration(true));
  EXPECT_TRUE(front_end_.Messages().empty());
  ASSERT_EQ(front_end_.Errors().size(), 1u);
  EXPECT_THAT(front_end_.Errors()[0], HasSubstr("config.ini"));
  // The list in memory keeps the defaults it was given.
  EXPECT_EQ(settings_.SettingValue("Auth password"), "kelp");
  EXPECT_FALSE(settings_.SaveConfiguration());
  EXPECT_EQ(front_end_.Errors().size(), 2u);
}

TEST_F(ConfigurationTest, LookupsStayWholeDuringReloads) {
  dir_.Write("config.ini", kDefaultFile);
  ASSERT_TRUE(settings_.LoadConfiguration(true));
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!stop) {
      const std::string value = settings_.SettingValue("Auth user");
      if (value != "user" && value != "other") ++torn;
    }
  });
  for (int i = 0; i < 300; ++i) {
    StringList lines = settings_.Lines();
    lines[6] = i % 2 ? "Auth user=user" : "Auth user=other";
    settings_.SetLines(lines);
    if (i % 50 == 0) settings_.LoadConfiguration(false);
  }
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace vantrel
