#include "base/date_time_format.h"

#include <gtest/gtest.h>

#include "base/date_time.h"

namespace vantrel {
namespace {

double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
          int millisecond = 0) {
  DateTimeParts parts;
  parts.year = year;
  parts.month = month;
  parts.day = day;
  parts.hour = hour;
  parts.minute = minute;
  parts.second = second;
  parts.millisecond = millisecond;
  return EncodeDateTime(parts);
}

TEST(DateTimeTest, CountsDaysFromTheLastDaysOf1899) {
  EXPECT_DOUBLE_EQ(At(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(At(1899, 12, 31, 12), 1.5);
  EXPECT_DOUBLE_EQ(At(1900, 3, 1), 61.0);  // 1900 was no leap year.
  EXPECT_DOUBLE_EQ(At(2026, 12, 6), 46362.0);
  // Before the zero day the fraction still counts forward from midnight.
  EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6), -1.25);
}

TEST(DateTimeTest, DecodeInvertsEncodeIncludingWeekdayAndRounding) {
  const DateTimeParts parts = DecodeDateTime(At(2024, 2, 29, 23, 59, 59, 999));
  EXPECT_EQ(parts.year, 2024);
  EXPECT_EQ(parts.month, 2);
  EXPECT_EQ(parts.day, 29);
  EXPECT_EQ(parts.hour, 23);
  EXPECT_EQ(parts.minute, 59);
  EXPECT_EQ(parts.second, 59);
  EXPECT_EQ(parts.millisecond, 999);
  EXPECT_EQ(parts.day_of_week, 5);  // A Thursday.

  const DateTimeParts before = DecodeDateTime(-1.25);
  EXPECT_EQ(before.day, 29);
  EXPECT_EQ(before.hour, 6);
  EXPECT_EQ(before.day_of_week, 6);  // A Friday.

  // A time a hair before midnight rounds to the next day, not to hour 24;
  // before 1900 too, where the next day is still one day on (it went one
  // day back, landing two days early).
  const DateTimeParts rounded = DecodeDateTime(At(2026, 1, 1) - 1e-10);
  EXPECT_EQ(rounded.day, 1);
  EXPECT_EQ(rounded.month, 1);
  EXPECT_EQ(rounded.hour, 0);
  for (const auto& [value, day] :
       {std::pair{-1.9999999999, 30}, std::pair{-0.9999999999, 31}, std::pair{-2.9999999999, 29}}) {
    const DateTimeParts early = DecodeDateTime(value);
    EXPECT_EQ(early.year, 1899) << value;
    EXPECT_EQ(early.month, 12) << value;
    EXPECT_EQ(early.day, day) << value;
    EXPECT_EQ(early.hour, 0) << value;
  }
}

TEST(DateTimeFormatTest, LogTimeStampPattern) {
  // The C locale gives English names.
  EXPECT_EQ(FormatDateTime("mmm d, yyyy \";\" hh:mm ", At(2026, 12, 6, 19, 34)),
            "Dec 6, 2026 ; 19:34 ");
  EXPECT_EQ(FormatDateTime("mmm d, yyyy \";\" hh:mm ", At(2027, 1, 15, 7, 5)),
            "Jan 15, 2027 ; 07:05 ");
}

TEST(DateTimeFormatTest, MonthOrMinuteDependsOnThePrecedingHour) {
  const double t = At(2026, 3, 4, 5, 6, 7, 8);
  EXPECT_EQ(FormatDateTime("m/mm/mmm/mmmm", t), "3/03/Mar/March");
  EXPECT_EQ(FormatDateTime("h:m", t), "5:6");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", t), "05:06:07.008");
  EXPECT_EQ(FormatDateTime("d dd ddd dddd", t), "4 04 Wed Wednesday");
  EXPECT_EQ(FormatDateTime("yy yyyy Y", t), "26 2026 26");
}

TEST(DateTimeFormatTest, TwelveHourClockAndAmPmForms) {
  EXPECT_EQ(FormatDateTime("h:nn am/pm", At(2026, 1, 1, 0, 5)), "12:05 am");
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", At(2026, 1, 1, 13, 5)), "1:05 PM");
  EXPECT_EQ(FormatDateTime("h a/p", At(2026, 1, 1, 12)), "12 p");
  EXPECT_EQ(FormatDateTime("hh ampm", At(2026, 1, 1, 9)), "09 AM");
  // An "a" that starts no am/pm specifier is plain text.
  EXPECT_EQ(FormatDateTime("hh 'at' a", At(2026, 1, 1, 15)), "15 at a");
}

TEST(DateTimeFormatTest, QuotedTextAndSeparatorsAndUnterminatedQuote) {
  const double t = At(2026, 12, 6, 19, 34);
  EXPECT_EQ(FormatDateTime("'day' d \"of\" mmmm", t), "day 6 of December");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", t), "06/12/2026 19:34");
  EXPECT_EQ(FormatDateTime("d 'open", t), "6 open");
  EXPECT_EQ(FormatDateTime("", t), "");
}

TEST(DateTimeFormatTest, LocalePicturesOmitTimeAtMidnight) {
  FormatSettings settings = FormatSettings::Locale();
  settings.short_date_format = "d.m.yyyy";
  settings.long_time_format = "hh:nn:ss";
  EXPECT_EQ(FormatDateTime("c", At(2026, 12, 6), settings), "6.12.2026");
  // Less than half a millisecond past midnight is midnight.
  EXPECT_EQ(FormatDateTime("c", At(2026, 12, 6) + 1e-10, settings), "6.12.2026");
  EXPECT_EQ(FormatDateTime("c", At(2026, 12, 6, 1, 2, 3), settings), "6.12.2026 01:02:03");
  EXPECT_EQ(FormatDateTime("ddddd tt", At(2026, 12, 6, 1, 2, 3), settings), "6.12.2026 01:02:03");
}

TEST(FormatSettingsTest, CLocaleNumbersAndCurrencyAreEnglish) {
  // The C locale leaves these texts empty; the settings must not.
  const FormatSettings& settings = FormatSettings::Locale();
  EXPECT_EQ(settings.decimal_separator, '.');
  EXPECT_EQ(settings.thousand_separator, ',');
  EXPECT_EQ(settings.currency_string, "$");
  EXPECT_EQ(settings.currency_decimals, 2);
}

}  // namespace
}  // namespace vantrel
