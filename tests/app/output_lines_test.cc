#include "app/output_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

// An entry is what one echo gave, line breaks of its own and emptiness
// included; the text has each entry followed by CR LF. Taking the text
// leaves the list empty for the next page.
TEST(OutputLinesTest, EntriesStayWhatWasEchoedAndTheTextJoinsThemWithLineBreaks) {
  OutputLines lines;
  lines.Add("a\r\nb");
  lines.Add("");
  lines.Add("c\r\n");
  ASSERT_EQ(lines.Count(), 3U);
  EXPECT_EQ(lines[0], "a\r\nb");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "c\r\n");
  EXPECT_EQ(lines.TakeText(), "a\r\nb\r\n\r\nc\r\n\r\n");

  EXPECT_EQ(lines.Count(), 0U);
  lines.Clear();
  EXPECT_EQ(lines.Text(), "");
  lines.Add("d");
  EXPECT_EQ(lines[0], "d");
  EXPECT_EQ(lines.TakeText(), "d\r\n");
}

// The room for the text and for the list of starts grows separately (short
// entries fill the list first, long ones the text), and a page far bigger
// than the room kept between pages gives it up: every entry stays where it
// was through each growth, and the next page starts clean.
TEST(OutputLinesTest, EntriesStayInPlaceAsTheRoomGrowsAndAfterAPageBiggerThanTheRoomKept) {
  OutputLines lines;
  for (int page = 0; page < 2; ++page) {
    std::vector<std::string> entries;
    std::string expected;
    const int count = page == 0 ? 40000 : 50;
    for (int i = 0; i < count; ++i) {
      entries.push_back(i % 1000 == 999 ? std::string(3000, 'x') : std::to_string(i));
      lines.Add(entries.back());
      expected += entries.back() + "\r\n";
    }
    ASSERT_EQ(lines.Count(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) ASSERT_EQ(lines[i], entries[i]) << i;
    EXPECT_EQ(lines.TakeText(), expected);
  }
}

}  // namespace
}  // namespace vantrel
