#include "base/string_list.h"

#include <gtest/gtest.h>

#include "base/text_file.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

std::vector<std::string> LinesOf(std::string_view text) {
  StringList list;
  list.SetText(text);
  return {list.begin(), list.end()};
}

TEST(StringListTest, ReadsEveryKindOfLineEnd) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(LinesOf("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(LinesOf("a\r\n"), (Lines{"a"}));            // No empty line after the last end.
  EXPECT_EQ(LinesOf("a\n\nb"), (Lines{"a", "", "b"}));  // Empty lines in between stay.
  EXPECT_EQ(LinesOf("a\n\r"), (Lines{"a", ""}));        // LF CR is two line ends.
  EXPECT_EQ(LinesOf("\r\n"), (Lines{""}));
  EXPECT_TRUE(LinesOf("").empty());
}

TEST(StringListTest, WritesCrLfAfterEveryLineIncludingTheLast) {
  StringList list{"AutoActivate=no", "", "PHP path="};
  EXPECT_EQ(list.Text(), "AutoActivate=no\r\n\r\nPHP path=\r\n");
  EXPECT_EQ(StringList().Text(), "");
}

TEST(StringListTest, NamesEndAtTheFirstEqualsAndNothingIsTrimmed) {
  StringList list{"no equals here", "Server port = 81", "server PORT=8080", "Server port=9",
                  "a=b=c"};
  EXPECT_EQ(list.Values("Server port"), "8080");  // First match, any case; blanks count.
  EXPECT_EQ(list.Values("Server port "), " 81");
  EXPECT_EQ(list.Values("a"), "b=c");
  EXPECT_EQ(list.Values("a=b"), "");  // The name stops at the first "=".
  EXPECT_EQ(list.ValueView("SERVER PORT"), "8080");
  EXPECT_EQ(list.Values("no equals here"), "");  // A line without "=" has no name.
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.NameAt(0), "no equals here");
  EXPECT_EQ(list.ValueAt(0), "");
  EXPECT_EQ(list.IndexOfName("A"), 4);
}

TEST(StringListTest, FileRoundTripKeepsBytesAndFailedLoadKeepsContent) {
  test::TempDir dir;
  StringList list{"caf\xe9=1", "x"};
  list.SaveToFile(dir.File("config.ini"));
  EXPECT_EQ(dir.Read("config.ini"), "caf\xe9=1\r\nx\r\n");

  StringList loaded{"old"};
  loaded.LoadFromFile(dir.File("config.ini"));
  EXPECT_EQ(loaded, list);

  EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.ini")), FileOpenError);
  EXPECT_EQ(loaded, list);
}

}  // namespace
}  // namespace vantrel
