// Objects scripts create, where golden scripts cannot look: what the end of a
// run does to them, and how the text file reads line ends.
#include <gtest/gtest.h>

#include <string>

#include "base/string_list.h"
#include "script/library/text_file_class.h"
#include "tests/script/library_test_scripter.h"
#include "tests/support/process_stats.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {
namespace {

class CreatedObjectsTest : public ::testing::Test {
 protected:
  CreatedObjectsTest() { scripter_.RegisterConstant("TempFolder", Variant(dir_.Path())); }

  TempDir dir_;
  LibraryTestScripter scripter_;
};

TEST_F(CreatedObjectsTest, ForgottenFileIsFlushedAndClosedWhenTheRunEndsEvenByAnError) {
  const int descriptors = OpenDescriptorCount();
  EXPECT_EQ(scripter_.Run("dim f\n"
                          "AssignFile(f, TempFolder & \"/forgotten.txt\")\n"
                          "Rewrite(f)\n"
                          "WriteLn(f, \"never closed\")\n"
                          "Raise(\"stop\")\n"),
            "!RUNTIME ERROR\nstop\n");
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  EXPECT_EQ(dir_.Read("forgotten.txt"), "never closed\n");
  EXPECT_EQ(scripter_.Objects().Count(), 0);
}

TEST_F(CreatedObjectsTest, HandleKeptFromAnEarlierRunDoesNotReachTheObjectNowInItsSlot) {
  StringList lines;
  lines.SetText(
      "dim kept\n"
      "fresh = TObject.Create\n"
      "if Assigned(kept) then\n"
      "  kept.Free\n"
      "end if\n"
      "kept = fresh\n"
      "main = fresh\n");
  scripter_.SetSourceCode(lines);
  const Variant first = scripter_.Execute();
  ASSERT_TRUE(first.IsObjectHandle());
  EXPECT_EQ(scripter_.Objects().Count(), 0) << "the run's end destroys what it made";
  try {
    scripter_.Execute();
    FAIL() << "the stale handle was taken for the new object";
  } catch (const ScriptRuntimeError& error) {
    EXPECT_EQ(error.Text(), "Object has been freed");
  }
  EXPECT_THROW(scripter_.Objects().Resolve(first.RawObjectHandle()), ScriptRuntimeError);
}

TEST_F(CreatedObjectsTest, LibraryRoutineRunInsideAScriptLeavesTheCallersObjectsAlive) {
  dir_.Write("helper.bsc", "function twice(x)\n  twice = x * 2\nend function\n");
  scripter_.LibOptions().SearchPath = StringList{dir_.Path()};
  scripter_.LibOptions().UseScriptFiles = true;
  EXPECT_EQ(scripter_.Run("uses helper\n"
                          "o = TObject.Create\n"
                          "echo(twice(2))\n"
                          "echo(o is TObject)\n"),
            "4\nTrue\n");
}

TEST(TextFileClassTest, CrLfLoneCrAndLfEndLinesAlsoAcrossReadBlocks) {
  TempDir dir;
  // The CR of the second line is the last byte of the first read block and
  // its LF the first of the next: still one line end.
  std::string text(16382, 'a');
  text += "\r\r\nb\rc\nd";
  TextFileClass file(dir.Write("ends.txt", text));
  file.Reset();
  EXPECT_EQ(file.ReadLn().size(), 16382u);
  EXPECT_EQ(file.ReadLn(), "");
  EXPECT_EQ(file.FilePos(), 16385);
  EXPECT_EQ(file.ReadLn(), "b");
  EXPECT_EQ(file.ReadLn(), "c");
  EXPECT_FALSE(file.Eof());
  EXPECT_EQ(file.ReadLn(), "d");
  EXPECT_TRUE(file.Eof());
}

}  // namespace
}  // namespace vantrel::test
