#include "cgi/cgi_output.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

TEST(CgiOutputTest, BodyIsEverythingAfterTheFirstBlankLineByteForByte) {
  const std::string body("hi\r\n\r\nmore\0\xff", 12);
  const CgiOutput parsed = ParseCgiOutput("Content-type: text/plain\r\nX-A: 1\r\n\r\n" + body);
  ASSERT_TRUE(parsed.has_header_block);
  EXPECT_EQ(parsed.content_type, "text/plain");
  EXPECT_EQ(parsed.status_code, 200);
  EXPECT_EQ(parsed.header_lines, (StringList{"Content-type: text/plain", "X-A: 1"}));
  EXPECT_EQ(parsed.body, body);
}

TEST(CgiOutputTest, StatusGivesTheCodeAndStaysAHeaderLine) {
  const CgiOutput parsed = ParseCgiOutput("status: 404 Not Found\r\nCONTENT-TYPE: a/b\r\n\r\n");
  EXPECT_EQ(parsed.status_code, 404);
  EXPECT_EQ(parsed.content_type, "a/b");
  EXPECT_EQ(parsed.header_lines, (StringList{"status: 404 Not Found", "CONTENT-TYPE: a/b"}));
  EXPECT_EQ(parsed.body, "");
}

TEST(CgiOutputTest, StatusThatIsNotANumberGives200) {
  EXPECT_EQ(ParseCgiOutput("Status: OK\r\n\r\n").status_code, 200);
  EXPECT_EQ(ParseCgiOutput("Status: 4x4 Odd\r\n\r\n").status_code, 200);
  EXPECT_EQ(ParseCgiOutput("Status: \r\n\r\n").status_code, 200);
  // Without a Content-type line the type is empty, not text/html.
  EXPECT_EQ(ParseCgiOutput("Status: OK\r\n\r\n").content_type, "");
}

TEST(CgiOutputTest, BareLineFeedsMeanNoHeaderBlockAndTheOutputIsDropped) {
  const CgiOutput parsed = ParseCgiOutput("Status: 404\nContent-type: text/plain\n\nhi\n");
  EXPECT_FALSE(parsed.has_header_block);
  EXPECT_EQ(parsed.content_type, "text/html");
  EXPECT_EQ(parsed.status_code, 200);
  EXPECT_TRUE(parsed.header_lines.Empty());
  EXPECT_EQ(parsed.body, "");
  EXPECT_FALSE(ParseCgiOutput("").has_header_block);
}

TEST(CgiOutputTest, HeaderWithoutBlankAfterColonIsNotReadButKeptAsWritten) {
  const CgiOutput parsed = ParseCgiOutput("Status:404\r\nContent-type:text/plain\r\n\r\nx");
  EXPECT_EQ(parsed.status_code, 200);
  EXPECT_EQ(parsed.content_type, "");
  EXPECT_EQ(parsed.header_lines, (StringList{"Status:404", "Content-type:text/plain"}));
  EXPECT_EQ(parsed.body, "x");
}

TEST(CgiOutputTest, ValuesWithColonsSurviveInTheHeaderLines) {
  const CgiOutput parsed =
      ParseCgiOutput("Location: http://h:8080/x\r\nContent-type: text/html\r\n\r\n");
  EXPECT_EQ(parsed.header_lines,
            (StringList{"Location: http://h:8080/x", "Content-type: text/html"}));
  EXPECT_EQ(parsed.content_type, "text/html");
}

TEST(CgiOutputTest, EmptyLinesInsideTheHeaderBlockAreNotPassedOn) {
  // A bare LF before the CR LF CR LF makes an empty line inside the block;
  // passed on, it would end the response's header early.
  const CgiOutput parsed = ParseCgiOutput("X-A: 1\n\r\n\r\nbody");
  ASSERT_TRUE(parsed.has_header_block);
  EXPECT_EQ(parsed.header_lines, (StringList{"X-A: 1"}));
  EXPECT_EQ(parsed.body, "body");
  EXPECT_TRUE(ParseCgiOutput("\r\n\r\nbody").header_lines.Empty());
}

}  // namespace
}  // namespace vantrel
