#include "base/date_time_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "base/convert_error.h"

namespace vantrel {
namespace {

double DateOf(int year, int month, int day) {
  double date = 0;
  EXPECT_TRUE(TryEncodeDate(year, month, day, date));
  return date;
}

double TimeOf(int hour, int minute, int second = 0, int millisecond = 0) {
  double time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, millisecond, time));
  return time;
}

FormatSettings WithDateFormat(std::string_view short_date_format) {
  FormatSettings settings = FormatSettings::Locale();
  settings.short_date_format = short_date_format;
  settings.date_separator = '/';
  settings.time_separator = ':';
  settings.time_am_string = "AM";
  settings.time_pm_string = "PM";
  return settings;
}

// The value `text` reads as, or NaN when it does not read.
double Date(std::string_view text, std::string_view format = "mm/dd/yy") {
  double date = 0;
  return TryStrToDate(text, date, WithDateFormat(format)) ? date : std::nan("");
}
double Time(std::string_view text) {
  double time = 0;
  return TryStrToTime(text, time, WithDateFormat("mm/dd/yy")) ? time : std::nan("");
}
double DateTime(std::string_view text) {
  double value = 0;
  return TryStrToDateTime(text, value, WithDateFormat("mm/dd/yy")) ? value : std::nan("");
}

TEST(StrToDateTest, NumbersFollowTheShortFormatsOrder) {
  EXPECT_EQ(Date("12/6/2026"), DateOf(2026, 12, 6));
  EXPECT_EQ(Date(" 12-06-26 "), DateOf(2026, 12, 6));
  EXPECT_EQ(Date("6.12.2026", "dd.mm.yyyy"), DateOf(2026, 12, 6));
  EXPECT_EQ(Date("2026/12/6", "yyyy-mm-dd"), DateOf(2026, 12, 6));
  EXPECT_EQ(Date("6/12/2026", "'m' d/m/y"), DateOf(2026, 12, 6));  // Quoted letters do not count.
  // Two numbers are day and month in the format's order, in this year.
  const int year = DecodeDateTime(Now()).year;
  EXPECT_EQ(Date("12/6"), DateOf(year, 12, 6));
  EXPECT_EQ(Date("6/12", "dd/mm/yyyy"), DateOf(year, 12, 6));
}

TEST(StrToDateTest, ShortYearsCountFrom1950To2049) {
  EXPECT_EQ(Date("1/1/49"), DateOf(2049, 1, 1));
  EXPECT_EQ(Date("1/1/50"), DateOf(1950, 1, 1));
  EXPECT_EQ(Date("1/1/5"), DateOf(2005, 1, 1));
  EXPECT_EQ(Date("1/1/049"), DateOf(49, 1, 1));
}

TEST(StrToDateTest, RefusesDatesThatDoNotExistAndGarbage) {
  for (const std::string_view text :
       {"2/29/2023", "13/1/2020", "31/31/2020", "4/31/2020", "1/0/2020", "1/1/0000", "1/2/3/4", "",
        "12", "1//2", "12345/1/1", "1/1/2020x", "-1/1/2020", "1 /1/2020"}) {
    EXPECT_TRUE(std::isnan(Date(text))) << text;
  }
  EXPECT_EQ(Date("2/29/2024"), DateOf(2024, 2, 29));
}

TEST(StrToTimeTest, HoursMinutesSecondsFractionsAndAmPm) {
  EXPECT_EQ(Time("19:34"), TimeOf(19, 34));
  EXPECT_EQ(Time("7:05:09.5"), TimeOf(7, 5, 9, 500));
  EXPECT_EQ(Time("7:05:09.125"), TimeOf(7, 5, 9, 125));
  EXPECT_EQ(Time("12:00 am"), TimeOf(0, 0));
  EXPECT_EQ(Time("12:30PM"), TimeOf(12, 30));
  EXPECT_EQ(Time(" 1:00 pm "), TimeOf(13, 0));
  for (const std::string_view text : {"13:00 pm", "0:30 am", "24:00", "7:60", "7",
                                      "7:5:", "7:05:09.1234", "7:05 xm", "1:2:3:4"}) {
    EXPECT_TRUE(std::isnan(Time(text))) << text;
  }
}

TEST(StrToDateTimeTest, DateThenTimeOrEitherAlone) {
  EXPECT_EQ(DateTime("12/6/2026 19:34"), DateOf(2026, 12, 6) + TimeOf(19, 34));
  EXPECT_EQ(DateTime("12/6/2026"), DateOf(2026, 12, 6));
  EXPECT_EQ(DateTime("19:34:00"), TimeOf(19, 34));
  // Before the zero day the time still counts forwards from midnight.
  EXPECT_EQ(DateTime("12/29/1899 06:00"), -1.25);
  for (const std::string_view text : {"12/6/2026x", "12/6/2026 19", "12/6/202619:34", "x"}) {
    EXPECT_TRUE(std::isnan(DateTime(text))) << text;
  }
}

TEST(EncodeDateTest, PartsOutOfRangeAreRefused) {
  double value = 0;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, value));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, value));  // Centuries leap only every 400 years.
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, value));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, value));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, value));
  EXPECT_FALSE(TryEncodeDate(2020, 13, 1, value));
  EXPECT_TRUE(TryEncodeDate(9999, 12, 31, value));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
  EXPECT_FALSE(TryEncodeTime(0, -1, 0, 0, value));
  EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, value));
}

TEST(DecodeDateTimeCheckedTest, ValuesOutsideTheYearsRaise) {
  EXPECT_EQ(DecodeDateTimeChecked(DateOf(1, 1, 1)).year, 1);
  EXPECT_EQ(DecodeDateTimeChecked(DateOf(9999, 12, 31) + 0.5).year, 9999);
  for (const double value :
       {std::nan(""), 1e300, -1e300, DateOf(1, 1, 1) - 1, DateOf(9999, 12, 31) + 1}) {
    EXPECT_THROW(DecodeDateTimeChecked(value), ConvertError) << value;
    EXPECT_THROW(FormatDateTime("yyyy", value), ConvertError) << value;
  }
  try {
    DecodeDateTimeChecked(1e10);
  } catch (const ConvertError& error) {
    EXPECT_EQ(error.Message(), "Date and time value 10000000000 is outside the years 1 to 9999");
  }
}

TEST(IncMonthTest, ClipsTheDayKeepsTheTimeAndRefusesOverflow) {
  EXPECT_EQ(IncMonth(DateOf(2024, 1, 31), 1), DateOf(2024, 2, 29));
  EXPECT_EQ(IncMonth(DateOf(2023, 3, 31), -1), DateOf(2023, 2, 28));
  EXPECT_EQ(IncMonth(DateOf(2026, 12, 15), 1), DateOf(2027, 1, 15));
  EXPECT_EQ(IncMonth(DateOf(2026, 1, 15), -13), DateOf(2024, 12, 15));
  EXPECT_DOUBLE_EQ(IncMonth(DateOf(2026, 1, 15) + TimeOf(19, 34), 1),
                   DateOf(2026, 2, 15) + TimeOf(19, 34));
  EXPECT_THROW(IncMonth(DateOf(9999, 12, 1), 1), ConvertError);
  EXPECT_THROW(IncMonth(DateOf(2026, 1, 1), INT_MAX), ConvertError);
  EXPECT_THROW(IncMonth(DateOf(2026, 1, 1), INT_MIN), ConvertError);
}

}  // namespace
}  // namespace vantrel
