#include "script/values/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {
namespace {

TEST(NumberTextTest, PrintsShortestTextWithinFifteenDigits) {
  const std::vector<std::pair<double, std::string>> cases = {
      {3.5, "3.5"},
      {0.1, "0.1"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.1 + 0.2, "0.3"},
      {-0.0, "0"},
      {6.0, "6"},
      {2147483648.0, "2147483648"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.9, "1E15"},  // Rounds up into the next power of ten.
      {1e15, "1E15"},
      {-1e15, "-1E15"},
      {1e20, "1E20"},
      {2.5e20, "2.5E20"},
      {0.0001, "0.0001"},
      {0.00012, "0.00012"},
      {0.00001, "1E-5"},
      {-1.5e-7, "-1.5E-7"},
      {1e300, "1E300"},
      {std::numeric_limits<double>::denorm_min(), "5E-324"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatNumberText(value), text) << text;
}

// Whatever prints must read back: exactly when the value needs at most 15
// digits, else to within the 15th digit.
TEST(NumberTextTest, PrintedNumbersReadBack) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int k = 0; k < 20'000; ++k) {
    const double value = mantissa(random) * std::pow(10.0, exponent(random));
    const std::string text = FormatNumberText(value);
    const std::optional<double> back = ParseNumberText(text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_NEAR(*back, value, std::fabs(value) * 1e-14) << text;
    const double short_value = std::stod(std::to_string(value).substr(0, 8));
    EXPECT_EQ(ParseNumberText(FormatNumberText(short_value)), short_value);
  }
}

TEST(NumberTextTest, ReadsWholeDecimalNumbersOnly) {
  const std::vector<std::pair<std::string, double>> good = {
      {"0", 0},      {"-12", -12},   {"+3", 3},        {" 4.25 ", 4.25}, {".5", 0.5}, {"5.", 5},
      {"1e3", 1000}, {"1E-2", 0.01}, {"-2.5e+1", -25}, {"\t\r\n7\n", 7}, {"0007", 7}, {"1e-400", 0},
  };
  for (const auto& [text, value] : good) EXPECT_EQ(ParseNumberText(text), value) << text;
  EXPECT_EQ(ParseNumberText("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("0.000000001e-400"), 0.0);
  EXPECT_EQ(ParseNumberText("0.0000001e316"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("1" + std::string(400, '0')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(ParseNumberText("1e99999999999999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseNumberText("-1e-99999999999999999999"), 0.0);

  for (const char* text : {"", " ", ".", "-", "+-1", "1e", "1e+", "e5", "1.2.3", "1,5", "0x1A",
                           "inf", "nan", "1 2", "12abc", "--1", "1_000", "\xB2"}) {
    EXPECT_FALSE(ParseNumberText(text).has_value()) << text;
  }
}

TEST(NumberTextTest, TellsWholeNumbersFromOthers) {
  bool integral = false;
  ASSERT_TRUE(ParseNumberText(" -42 ", &integral));
  EXPECT_TRUE(integral);
  for (const char* text : {"42.0", "4e1", "42."}) {
    ASSERT_TRUE(ParseNumberText(text, &integral)) << text;
    EXPECT_FALSE(integral) << text;
  }
}

}  // namespace
}  // namespace vantrel
