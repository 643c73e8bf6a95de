#include "base/text_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;

bool RunningAsRoot() { return geteuid() == 0; }

TEST(TextFileTest, WriteReplacesContentAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir.Write("config.ini", "old content that is longer\r\n");
  chmod(path.c_str(), 0600);
  WriteWholeFile(path, "new\r\n");
  EXPECT_EQ(ReadWholeFile(path), "new\r\n");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_FALSE(dir.Exists("config.ini.new"));
}

TEST(TextFileTest, WritableFileInReadOnlyFolderIsRewrittenInPlace) {
  if (RunningAsRoot()) GTEST_SKIP() << "root ignores folder permissions";
  test::TempDir dir;
  const std::string path = dir.Write("sub/config.ini", "old");
  chmod(dir.File("sub").c_str(), 0500);
  WriteWholeFile(path, "new");
  EXPECT_EQ(ReadWholeFile(path), "new");
}

TEST(TextFileTest, FailuresNameThePathAndTheReason) {
  test::TempDir dir;
  try {
    ReadWholeFile(dir.File("missing"));
    FAIL() << "no error";
  } catch (const FileOpenError& error) {
    EXPECT_THAT(error.Message(), HasSubstr("Cannot open file \"" + dir.File("missing") + "\""));
    EXPECT_STREQ(error.ClassName(), "FileOpenError");
  }
  EXPECT_THROW(WriteWholeFile(dir.File("no/such/folder/x"), "x"), FileCreateError);
  EXPECT_THROW(AppendToFile(dir.File("no/such/folder/x"), "x"), FileCreateError);
  // A folder where a file is expected.
  dir.Write("web/log.txt/inner", "");
  EXPECT_THROW(AppendToFile(dir.File("web/log.txt"), "x"), FileCreateError);
  EXPECT_THROW(ReadWholeFile(dir.Path()), FileOpenError);
}

TEST(TextFileTest, AppendCreatesThenAppends) {
  test::TempDir dir;
  AppendToFile(dir.File("log.txt"), "one\r\n");
  AppendToFile(dir.File("log.txt"), "two\r\n");
  EXPECT_EQ(dir.Read("log.txt"), "one\r\ntwo\r\n");
}

}  // namespace
}  // namespace vantrel
