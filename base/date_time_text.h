// Reading dates and times from text, in the locale's order of day, month
// and year, and checked encoding and decoding of dates and times.
//
// Valid dates are those of the years 1 to 9999; everything here refuses
// values outside them (and NaN) instead of computing with them.
#ifndef VANTREL_BASE_DATE_TIME_TEXT_H_
#define VANTREL_BASE_DATE_TIME_TEXT_H_

#include <string_view>

#include "base/date_time.h"
#include "base/date_time_format.h"

namespace vantrel {

// A date: the three numbers of the short date format's order separated by
// the date separator (or "/", "-", "."), or two of them (day and month in
// the format's order, the current year); a year of one or two digits counts
// from 1950 to 2049. Numbers have at most four digits. Blanks around the
// text are ignored. False for anything else, and for dates that do not
// exist (29 February 2023).
bool TryStrToDate(std::string_view text, double& result,
                  const FormatSettings& settings = FormatSettings::Locale());
// A time: hours and minutes, optional seconds and fractions of a second
// ("h:n[:s[.z]]", the fraction in up to three digits: ".5" is 500 ms),
// optionally followed by the am or pm text (either case; "AM" and "PM" when
// the locale has none), which asks for hours 1 to 12. The time separator
// is the settings' or ":".
bool TryStrToTime(std::string_view text, double& result,
                  const FormatSettings& settings = FormatSettings::Locale());
// A date, optionally followed by blanks and a time; or a time alone.
bool TryStrToDateTime(std::string_view text, double& result,
                      const FormatSettings& settings = FormatSettings::Locale());

// A year of one or two digits (0 to 99) as a year from 1950 to 2049
// (26 is 2026, 50 is 1950); any other year as it is.
int TwoDigitYear(int year);

// Date and time values from parts; false when a part is out of range
// (years 1..9999, months 1..12, days of that month, hours 0..23, minutes
// and seconds 0..59, milliseconds 0..999).
bool TryEncodeDate(int year, int month, int day, double& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& result);

// The parts of `value`; ConvertError "Date and time value <value> is
// outside the years 1 to 9999" when it names no moment of those years.
DateTimeParts DecodeDateTimeChecked(double value);

// The date (whole days) and the time of day (a fraction) of `parts`, each
// the very value TryEncodeDate and TryEncodeTime give for them, so that
// the time of a date and time compares equal to the same time encoded.
double DateOf(const DateTimeParts& parts);
double TimeOf(const DateTimeParts& parts);

// A date value (whole days) and a time of day (a fraction) as one value:
// before 30 December 1899 the time counts forwards from the day's midnight
// although the day counts backwards.
double CombineDateAndTime(double date, double time);

bool IsLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// `date` moved by whole months, the day clipped to the new month's length,
// the time of day kept. ConvertError when `date` or the result lies outside
// the years 1 to 9999.
double IncMonth(double date, int months);

}  // namespace vantrel

#endif  // VANTREL_BASE_DATE_TIME_TEXT_H_
