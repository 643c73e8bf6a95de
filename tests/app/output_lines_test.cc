#include "app/output_lines.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace vantrel
