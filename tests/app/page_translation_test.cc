#include "app/page_translation.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(PageTranslationTest, WorkedPageGivesItsSevenProgramLines) {
  const std::string page =
      "<p>Port: <%= peerPort %></p>\r\n"
      "<% if peerPort > 0 then %>\r\n"
      "<b>\"A\" & (B)</b>\r\n"
      "<% end if %>\r\n";
  EXPECT_EQ(PageToProgram(page),
            "echo (\"<p>Port: \")\r\n"
            "echo ( peerPort )\r\n"
            "echo (\"</p>\"+chr(13)+chr (10))\r\n"
            " if peerPort > 0 then \r\n"
            "echo (\"<b>\"+q+\"A\"+q+\" \"+chr(38)+\" \"+po+\"B\"+pc+\"</b>\"+chr(13)+chr (10))\r\n"
            " end if \r\n"
            "echo (\"\")\r\n");
}

TEST(PageTranslationTest, EachSpecialCharacterIsSpelledByWhatPrecedesIt) {
  struct Row {
    const char* chunk;
    const char* quoted;
  };
  // Each special character once after text and once after another special
  // character; only TAB, LF and CR differ between the two.
  const Row rows[] = {
      {"a\t\t", "\"a\"+chr(9)+chr (9)"},
      {"a\n\n", "\"a\"+chr(10)+chr (10)"},
      {"a\r\r", "\"a\"+chr(13)+chr (13)"},
      {"a\"\"", "\"a\"+q+q"},
      {"a&&", "\"a\"+chr(38)+chr(38)"},
      {"a((", "\"a\"+po+po"},
      {"a))", "\"a\"+pc+pc"},
      {"&b", "\"\"+chr(38)+\"b\""},
  };
  for (const Row& row : rows) EXPECT_EQ(QuoteLiteral(row.chunk), row.quoted) << row.chunk;
}

TEST(PageTranslationTest, OnlyLeadingLineBreaksAndTabsAreDropped) {
  EXPECT_EQ(QuoteLiteral("\r\n\t\r x\t"), "\" x\"+chr(9)");
  EXPECT_EQ(QuoteLiteral("\r\n"), "\"\"");
  EXPECT_EQ(QuoteLiteral(""), "\"\"");
  // A page without code is one chunk.
  EXPECT_EQ(PageToProgram("\r\n<p>x</p>\r\n"), "echo (\"<p>x</p>\"+chr(13)+chr (10))\r\n");
}

TEST(PageTranslationTest, BlocksEndAtTheFirstCloseAndRunToTheEndWhenLeftOpen) {
  EXPECT_EQ(PageToProgram(""), "");
  EXPECT_EQ(PageToProgram("<%%>"), "\r\n");
  EXPECT_EQ(PageToProgram("<% =x %>"), " =x \r\n");
  // The first "%>" ends the block, also inside a Basic string.
  EXPECT_EQ(PageToProgram("<%=\"%>\"%>"), "echo (\")\r\necho (\"\"+q+\"%>\")\r\n");
  EXPECT_EQ(PageToProgram("a<% x = 1\r\ny = 2"), "echo (\"a\")\r\n x = 1\r\ny = 2\r\n");
}

}  // namespace
}  // namespace vantrel
