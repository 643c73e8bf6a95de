#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/convert_error.h"
#include "base/date_time.h"
#include "base/date_time_format.h"
#include "base/date_time_text.h"
#include "base/format.h"
#include "script/library/vbscript_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant.h"

namespace vantrel::vbscript_functions {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

DateTimeParts DateArgParts(const VirtualMachine& machine, int i) {
  return DecodeDateTimeChecked(machine.GetArgAsDateTime(i));
}

// A day count (whole days from 30 December 1899) and a time of day in
// seconds as a date value; raises when it leaves the years 1 to 9999.
double CheckedDate(double days, std::int64_t seconds) {
  const double value = CombineDateAndTime(days, static_cast<double>(seconds) / kSecondsPerDay);
  DecodeDateTimeChecked(value);
  return value;
}

// The name of a month or weekday by a picture: `date` is a day that has it.
void SetName(VirtualMachine& machine, double date, std::string_view short_picture,
             std::string_view long_picture) {
  const bool abbreviate = machine.GetArg(1).ToBoolean();
  machine.SetResult(FormatDateTime(abbreviate ? short_picture : long_picture, date));
}

}  // namespace

void DatePart(VirtualMachine& machine) {
  const std::string interval = ToLowerAscii(machine.GetArgAsString(0));
  const DateTimeParts parts = DateArgParts(machine, 1);
  int part = 0;  // Unknown intervals.
  if (interval == "yyyy") part = parts.year;
  if (interval == "q") part = (parts.month - 1) / 3 + 1;
  if (interval == "m") part = parts.month;
  if (interval == "d") part = parts.day;
  if (interval == "w") part = parts.day_of_week;
  if (interval == "h") part = parts.hour;
  if (interval == "n") part = parts.minute;
  if (interval == "s") part = parts.second;
  machine.SetResult(part);
}

// Months and days beyond their ranges carry over: month 13 is January of
// the next year, day 0 the last day of the month before.
void DateSerial(VirtualMachine& machine) {
  // A year of two digits counts from 1950 to 2049, as dates read from text
  // do: DateSerial(26, 1, 1) is in 2026.
  std::int64_t year = machine.GetArgAsInteger(0);
  if (year >= 0 && year <= 99) year = TwoDigitYear(static_cast<int>(year));
  const std::int64_t months = year * 12 + machine.GetArgAsInteger(1) - 1;
  const std::int64_t first_year = months >= 0 ? months / 12 : (months - 11) / 12;
  const std::int64_t day = machine.GetArgAsInteger(2);
  double first = 0;
  if (first_year < 1 || first_year > 9999 ||
      !TryEncodeDate(static_cast<int>(first_year), static_cast<int>(months - first_year * 12) + 1,
                     1, first)) {
    throw ConvertError(Format("DateSerial: year %d is outside the years 1 to 9999", {first_year}));
  }
  machine.SetResult(Variant::Date(CheckedDate(first + static_cast<double>(day - 1), 0)));
}

void DateValue(VirtualMachine& machine) {
  machine.SetResult(Variant::Date(DateOf(DateArgParts(machine, 0))));
}

void Day(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).day); }

void Hour(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).hour); }

void VbFormatDateTime(VirtualMachine& machine) {
  std::string_view picture = "c";
  switch (machine.GetArgAsInteger(1)) {
    case 1:
      picture = "dddddd";
      break;
    case 2:
      picture = "ddddd";
      break;
    case 3:
      picture = "tt";
      break;
    case 4:
      picture = "t";
      break;
    default:
      break;
  }
  machine.SetResult(FormatDateTime(picture, machine.GetArgAsDateTime(0)));
}

void Minute(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).minute); }

void Month(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).month); }

void MonthName(VirtualMachine& machine) {
  const int month = machine.GetArgAsInteger(0);
  double first = 0;
  if (!TryEncodeDate(1900, month, 1, first)) {
    throw ConvertError(Format("Invalid month %d (months are 1 to 12)", {month}));
  }
  SetName(machine, first, "mmm", "mmmm");
}

void Second(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).second); }

void Timer(VirtualMachine& machine) {
  const DateTimeParts now = DecodeDateTime(vantrel::Now());
  machine.SetResult(now.hour * 3600 + now.minute * 60 + now.second);
}

// Minutes and seconds beyond their ranges carry over; a time past
// midnight runs into the following days, one before it into the days before.
void TimeSerial(VirtualMachine& machine) {
  const std::int64_t seconds = std::int64_t{machine.GetArgAsInteger(0)} * 3600 +
                               std::int64_t{machine.GetArgAsInteger(1)} * 60 +
                               machine.GetArgAsInteger(2);
  const std::int64_t days =
      seconds >= 0 ? seconds / kSecondsPerDay : (seconds - kSecondsPerDay + 1) / kSecondsPerDay;
  machine.SetResult(
      Variant::Date(CheckedDate(static_cast<double>(days), seconds - days * kSecondsPerDay)));
}

void TimeValue(VirtualMachine& machine) {
  machine.SetResult(Variant::Date(TimeOf(DateArgParts(machine, 0))));
}

void Weekday(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).day_of_week); }

// Day n of January 1899 has weekday n: the month began on a Sunday.
void WeekdayName(VirtualMachine& machine) {
  const int weekday = machine.GetArgAsInteger(0);
  double date = 0;
  if (weekday < 1 || weekday > 7 || !TryEncodeDate(1899, 1, weekday, date)) {
    throw ConvertError(Format("Invalid weekday %d (weekdays are 1 to 7)", {weekday}));
  }
  SetName(machine, date, "ddd", "dddd");
}

void Year(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).year); }

}  // namespace vantrel::vbscript_functions
