// Reading dates and times from text, in the locale's order of day, month
// and year, and checked encoding of dates and times from their parts.
#ifndef VANTREL_BASE_DATE_TIME_TEXT_H_
#define VANTREL_BASE_DATE_TIME_TEXT_H_

#include <string_view>

#include "base/date_time_format.h"

namespace vantrel {

// A date: the three numbers of the short date format's order separated by
// the date separator (or "/", "-", "."), or two of them (day and month in
// that order, the current year); a two-digit year counts from 1950 to 2049.
// Blanks around the text are ignored. False for anything else.
bool TryStrToDate(std::string_view text, double& result,
                  const FormatSettings& settings = FormatSettings::Locale());
// A time: hours and minutes, optional seconds and milliseconds
// ("h:n[:s[.z]]"), optionally followed by the am or pm text (either case).
bool TryStrToTime(std::string_view text, double& result,
                  const FormatSettings& settings = FormatSettings::Locale());
// A date, optionally followed by blanks and a time; or a time alone.
bool TryStrToDateTime(std::string_view text, double& result,
                      const FormatSettings& settings = FormatSettings::Locale());

// Date and time values from parts; false when a part is out of range
// (years 1..9999, months 1..12, days of that month, hours 0..23, minutes
// and seconds 0..59, milliseconds 0..999).
bool TryEncodeDate(int year, int month, int day, double& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& result);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// `date` moved by whole months, the day clipped to the new month's length,
// the time of day kept.
double IncMonth(double date, int months);

}  // namespace vantrel

#endif  // VANTREL_BASE_DATE_TIME_TEXT_H_
