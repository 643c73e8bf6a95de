#include "base/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/convert_error.h"
#include "base/format.h"

namespace vantrel {
namespace {

// English separators whatever the machine's locale says.
FormatSettings English() {
  FormatSettings settings = FormatSettings::Locale();
  settings.decimal_separator = '.';
  settings.thousand_separator = ',';
  settings.currency_string = "$";
  settings.currency_format = 0;
  settings.negative_currency_format = 1;
  settings.currency_decimals = 2;
  return settings;
}

FormatSettings German() {
  FormatSettings settings = English();
  settings.decimal_separator = ',';
  settings.thousand_separator = '.';
  settings.currency_string = "EUR";
  settings.currency_format = 3;
  settings.negative_currency_format = 8;
  return settings;
}

std::string Picture(std::string_view picture, double value) {
  return FormatFloat(picture, value, English());
}

TEST(FormatFloatTest, RoundsTheDecimalTextHalfAwayFromZero) {
  // 1.005 and 2.675 are stored a hair below the half; people expect them up.
  EXPECT_EQ(Picture("0.00", 1.005), "1.01");
  EXPECT_EQ(Picture("0.00", 2.675), "2.68");
  EXPECT_EQ(Picture("0", 2.5), "3");
  EXPECT_EQ(Picture("0", -2.5), "-3");
  EXPECT_EQ(Picture("0.0", 9.96), "10.0");
  // Digits past the fifteenth are zeros, not binary noise.
  EXPECT_EQ(Picture("0.000000000000000000", 1.0 / 3), "0.333333333333333000");
  EXPECT_EQ(Picture("0", 1e20), "100000000000000000000");
}

TEST(FormatFloatTest, NumbersThatRoundToZeroHaveNoSign) {
  EXPECT_EQ(Picture("0.00", -0.001), "0.00");
  EXPECT_EQ(Picture("0.00", -0.0), "0.00");
  EXPECT_EQ(Picture("0.0;(0.0)", -0.01), "0.0");
  EXPECT_EQ(Picture("0.00E+00", -0.0), "0.00E+00");
}

TEST(FormatFloatTest, OptionalAndRequiredPlaces) {
  EXPECT_EQ(Picture("#.##", 0.5), ".5");
  EXPECT_EQ(Picture("#.##", 5), "5");  // No separator without decimals.
  EXPECT_EQ(Picture("0.0#", 1), "1.0");
  EXPECT_EQ(Picture("0.0#", 1.25), "1.25");
  EXPECT_EQ(Picture("#", 0), "");
  EXPECT_EQ(Picture("00", 12345), "12345");
  EXPECT_EQ(Picture(".00", 12.5), "12.50");
}

TEST(FormatFloatTest, ThousandsSeparatorsAndLiteralsBetweenPlaces) {
  EXPECT_EQ(Picture("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(Picture("#,##0", 999.5), "1,000");
  EXPECT_EQ(Picture("#,##0", -12), "-12");
  EXPECT_EQ(Picture("0,000", 5), "0,005");
  EXPECT_EQ(Picture("000-000", 123456), "123-456");
  EXPECT_EQ(Picture("000-000", 1234), "001-234");
  EXPECT_EQ(Picture("'$'0.00", -5), "-$5.00");
  EXPECT_EQ(Picture("0 'kg'", 5), "5 kg");
  EXPECT_EQ(Picture("0 \"a;b\" 'open", 5), "5 a;b open");
  // Only the first point is the separator; a second one is text.
  EXPECT_EQ(FormatFloat("0.0.0", 1.25, German()), "1,2.5");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), "1.234,50");
}

TEST(FormatFloatTest, SectionsForNegativeAndZero) {
  constexpr std::string_view kPicture = "0.00;(0.00);'zero'";
  EXPECT_EQ(Picture(kPicture, 5), "5.00");
  EXPECT_EQ(Picture(kPicture, -5), "(5.00)");
  EXPECT_EQ(Picture(kPicture, 0), "zero");
  EXPECT_EQ(Picture(kPicture, -0.001), "zero");
  EXPECT_EQ(Picture("0.0;", -1), "-1.0");     // An empty negative section is absent.
  EXPECT_EQ(Picture("0;;", 0), "0");          // So is an empty zero section.
  EXPECT_EQ(Picture("0;-0;z;w", 0), "z");     // A fourth section is ignored.
  EXPECT_EQ(Picture("'a;b'0;x0", -3), "x3");  // Quoted ";" splits nothing.
}

TEST(FormatFloatTest, ScientificNotation) {
  EXPECT_EQ(Picture("0.00E+00", 12345), "1.23E+04");
  EXPECT_EQ(Picture("0.00E-00", 12345), "1.23E04");
  EXPECT_EQ(Picture("0.00e-00", 0.00012345), "1.23e-04");
  EXPECT_EQ(Picture("0.###E+0", 1000), "1E+3");
  EXPECT_EQ(Picture("00.0E+0", 12345), "12.3E+3");
  EXPECT_EQ(Picture("0.0E+0", 9.96), "1.0E+1");  // The carry moves the exponent.
  EXPECT_EQ(Picture("0.0E+00000", 5), "5.0E+0000");
  EXPECT_EQ(Picture("#.##E+00", 0), "0E+00");
  EXPECT_EQ(Picture("0E+", 5), "5E+");  // No "0" after it: plain text.
}

TEST(FormatFloatTest, EmptyPictureAndNonFiniteNumbers) {
  EXPECT_EQ(Picture("", 1.5), "1.5");
  EXPECT_EQ(Picture("", 0.1 + 0.2), "0.3");
  EXPECT_EQ(Picture("", 1e20), "1E20");
  EXPECT_EQ(Picture(";x", -1e-5), "-1E-5");
  EXPECT_EQ(Picture("0.00", std::nan("")), "NAN");
  EXPECT_EQ(Picture("0", -std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FormatFixedTest, DecimalsThousandsAndBounds) {
  const FormatSettings settings = English();
  EXPECT_EQ(FormatFixed(2.5, 0, false, settings), "3");
  EXPECT_EQ(FormatFixed(-0.004, 2, false, settings), "0.00");
  EXPECT_EQ(FormatFixed(-1234567.5, 1, true, settings), "-1,234,567.5");
  EXPECT_EQ(FormatFixed(1e300, 0, false, settings).size(), 301u);
  EXPECT_THROW(FormatFixed(1, -1, false, settings), ConvertError);
  EXPECT_THROW(FormatFixed(1, kMaxFormatWidth + 1, false, settings), ConvertError);
}

TEST(FormatCurrencyTextTest, PlacesCurrencyAndSignAsTheSettingsSay) {
  FormatSettings settings = English();
  EXPECT_EQ(FormatCurrencyText(1234.5, 2, settings), "$1,234.50");
  EXPECT_EQ(FormatCurrencyText(-1234.5, 2, settings), "-$1,234.50");
  EXPECT_EQ(FormatCurrencyText(-0.001, 2, settings), "$0.00");
  settings.negative_currency_format = 0;
  EXPECT_EQ(FormatCurrencyText(-1, 0, settings), "($1)");
  settings.negative_currency_format = 99;  // Out of range: the default "-$1".
  EXPECT_EQ(FormatCurrencyText(-1, 0, settings), "-$1");
  EXPECT_EQ(FormatCurrencyText(1234.5, 2, German()), "1.234,50 EUR");
  EXPECT_EQ(FormatCurrencyText(-1234.5, 2, German()), "-1.234,50 EUR");
}

// Arguments of a directive test.
FormatValue Int(std::int64_t value) { return {FormatValue::Kind::kInteger, value, 0, {}}; }
FormatValue Float(double value) { return {FormatValue::Kind::kFloat, 0, value, {}}; }
FormatValue Text(std::string_view value) { return {FormatValue::Kind::kText, 0, 0, value}; }
FormatValue Bool(bool value) { return {FormatValue::Kind::kBoolean, value ? 1 : 0, 0, {}}; }

std::string Directives(std::string_view pattern, std::vector<FormatValue> args) {
  return FormatDirectives(pattern, args, English());
}

TEST(FormatDirectivesTest, TypesOfArguments) {
  EXPECT_EQ(Directives("%d %s", {Int(7), Text("x")}), "7 x");
  EXPECT_EQ(Directives("%D|%S|%%", {Int(-3), Bool(true)}), "-3|True|%");
  EXPECT_EQ(Directives("%x %x %.4x %p", {Int(255), Int(-1), Int(255), Int(255)}),
            "FF FFFFFFFF 00FF 000000FF");
  EXPECT_EQ(Directives("%u", {Int(-1)}), "4294967295");
  EXPECT_EQ(Directives("%e|%.3e", {Float(1234.5), Float(-0.00012345)}),
            "1.23450000000000E+003|-1.23E-004");
  EXPECT_EQ(Directives("%f|%.0f|%.2f|%f", {Float(1.005), Float(2.5), Float(-0.001), Int(3)}),
            "1.01|3|0.00|3.00");
  EXPECT_EQ(Directives("%n|%m", {Float(1234567.891), Float(-1234.5)}), "1,234,567.89|-$1,234.50");
  EXPECT_EQ(Directives("%g|%g|%.3g", {Float(0.1 + 0.2), Float(1e20), Float(1234.5)}),
            "0.3|1E20|1.23E3");
  EXPECT_EQ(Directives("%s|%.2s|%s", {Float(1.5), Text("abc"), Bool(false)}), "1.5|ab|False");
  EXPECT_EQ(FormatDirectives("%.2f", std::vector{Float(1.5)}, German()), "1,50");
}

TEST(FormatDirectivesTest, WidthsIndexesAndStars) {
  EXPECT_EQ(Directives("%5d|%-5d|%.3d", {Int(42), Int(42), Int(-5)}), "   42|42   |-005");
  EXPECT_EQ(Directives("%1:s %0:s %s", {Text("a"), Text("b")}), "b a b");
  EXPECT_EQ(Directives("%-1:3s|", {Text("a"), Text("b")}), "b  |");
  EXPECT_EQ(Directives("%*d|%-*.*f|", {Int(5), Int(42), Int(8), Int(1), Float(3.14159)}),
            "   42|3.1     |");
  EXPECT_EQ(Directives("%*d|", {Int(-4), Int(7)}), "7   |");   // A negative width pads right.
  EXPECT_EQ(Directives("%.*f", {Int(-1), Float(1)}), "1.00");  // A negative precision is none.
  EXPECT_EQ(Directives("%2s", {Text("long")}), "long");        // Width never cuts.
}

TEST(FormatDirectivesTest, PatternsThatDoNotFitRaise) {
  const std::vector<std::pair<std::string_view, std::vector<FormatValue>>> cases = {
      {"%d", {Text("x")}},
      {"%d", {Float(1.5)}},
      {"%f", {Text("1")}},
      {"%d %d", {Int(1)}},
      {"%q", {Int(1)}},
      {"%5", {Int(1)}},
      {"abc %", {}},
      {"%2000000d", {Int(1)}},
      {"%.2000000f", {Float(1)}},
      {"%*d", {Int(2000000), Int(1)}},
      {"%*d", {Text("5"), Int(1)}},
      {"%99999999999999999999:d", {Int(1)}},
      {"%5:d", {Int(1)}},
  };
  for (const auto& [pattern, args] : cases) {
    try {
      Directives(pattern, args);
      ADD_FAILURE() << pattern << " did not raise";
    } catch (const ConvertError& error) {
      EXPECT_EQ(error.Message(),
                "Format '" + std::string(pattern) + "' invalid or incompatible with argument");
    }
  }
}

TEST(FormatTest, SharesTheDirectivesButKeepsUnfitOnesAsWritten) {
  EXPECT_EQ(Format("[%5d] [%-3s]", {42, "a"}), "[   42] [a  ]");
  // The argument a directive cannot take is left for the next one.
  EXPECT_EQ(Format("%d %s", {"text"}), "%d text");
  EXPECT_EQ(Format("%2000000d", {1}), "%2000000d");
}

}  // namespace
}  // namespace vantrel
