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

// Every byte value, at every place of a 19-byte text (so in each lane of a
// scanned word and in the tail), among neighbours that are themselves
// plain, tab, DEL or high bytes.
TEST(AsciiTest, EscapingFindsEveryControlByteWhereverItStands) {
  auto expected = [](std::string_view text) {
    std::string out = "> ";
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '\r') {
        out += "\\r";
      } else if (c == '\n') {
        out += "\\n";
      } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
        constexpr char kHex[] = "0123456789ABCDEF";
        out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
      } else {
        out += c;
      }
    }
    return out;
  };
  for (const char filler : {'a', '\t', '\x7f', '\xff', ' '}) {
    for (int value = 0; value < 256; ++value) {
      for (std::size_t at = 0; at < 19; ++at) {
        std::string text(19, filler);
        text[at] = static_cast<char>(value);
        std::string out = "> ";
        AppendEscapingControlCharacters(out, text);
        ASSERT_EQ(out, expected(text)) << "byte " << value << " at " << at;
      }
    }
  }
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
