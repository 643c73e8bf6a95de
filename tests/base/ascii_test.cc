#include "base/ascii.h"

#include <gtest/gtest.h>

#include "base/integer_text.h"

namespace vantrel {
namespace {

TEST(AsciiTest, OnlyAsciiLettersChangeCase) {
  EXPECT_TRUE(EqualsIgnoreCase("Server PORT", "server port"));
  EXPECT_FALSE(EqualsIgnoreCase("Server port ", "Server port"));
  // Bytes above 127 (UTF-8 or code-page letters) compare as themselves.
  EXPECT_FALSE(EqualsIgnoreCase("\xc3\xa9", "\xc3\x89"));
  EXPECT_EQ(ToUpperAscii("a\xe9z"), "A\xe9Z");
}

TEST(AsciiTest, CompareOrdersUpperCasedBytesUnsigned) {
  EXPECT_EQ(CompareIgnoreCase("abc", "ABC"), 0);
  EXPECT_LT(CompareIgnoreCase("ab", "abc"), 0);
  EXPECT_LT(CompareIgnoreCase("a", "\xe9"), 0);  // 0xE9 sorts after ASCII, not before.
  EXPECT_GT(CompareIgnoreCase("b", "A"), 0);
}

TEST(AsciiTest, FindIgnoresCaseAndStaysInBounds) {
  EXPECT_EQ(FindIgnoreCase("/scripts/Page.VPG?x", ".vpg"), 13u);
  EXPECT_EQ(FindIgnoreCase("abcabc", "ABC", 1), 3u);
  EXPECT_EQ(FindIgnoreCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase("abc", "", 3), 3u);
  EXPECT_EQ(FindIgnoreCase("abc", "a", 4), std::string_view::npos);
  EXPECT_TRUE(StartsWithIgnoreCase("Content-Length: 5", "content-length"));
  EXPECT_TRUE(EndsWithIgnoreCase("INDEX.HTML", ".html"));
  EXPECT_FALSE(EndsWithIgnoreCase("l", ".html"));
}

TEST(IntegerTextTest, AcceptsOnlyWholeDecimalIntegersThatFit) {
  EXPECT_EQ(ParseInt32("8080"), 8080);
  EXPECT_EQ(ParseInt32("-12"), -12);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseInt32("2147483648"));
  EXPECT_FALSE(ParseInt32("99999999999999999999"));
  EXPECT_FALSE(ParseInt32(""));
  EXPECT_FALSE(ParseInt32("-"));
  EXPECT_FALSE(ParseInt32(" 81"));
  EXPECT_FALSE(ParseInt32("81 "));
  EXPECT_FALSE(ParseInt32("abc"));
  EXPECT_FALSE(ParseInt32("0x50"));
}

}  // namespace
}  // namespace vantrel
