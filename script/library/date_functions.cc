#include <string>

#include "base/convert_error.h"
#include "base/date_time.h"
#include "base/date_time_format.h"
#include "base/date_time_text.h"
#include "base/format.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant.h"

namespace vantrel::system_functions {
namespace {

// The parts of date argument `i`; dates outside the years 1 to 9999 raise.
DateTimeParts DateArgParts(const VirtualMachine& machine, int i) {
  return DecodeDateTimeChecked(machine.GetArgAsDateTime(i));
}

// Sets the text of date argument 0 by a picture as the result.
void SetFormattedDate(VirtualMachine& machine, std::string_view picture) {
  machine.SetResult(vantrel::FormatDateTime(picture, machine.GetArgAsDateTime(0)));
}

// Reads text argument 0 with `read`, or raises "'<text>' is not a valid <what>".
template <typename Read>
void SetReadDate(VirtualMachine& machine, Read read, const char* what) {
  const std::string text = machine.GetArgAsString(0);
  double value = 0;
  if (!read(text, value, FormatSettings::Locale())) {
    throw ConvertError(vantrel::Format("'%s' is not a valid %s", {text, what}));
  }
  machine.SetResult(Variant::Date(value));
}

}  // namespace

void EncodeDate(VirtualMachine& machine) {
  const int year = machine.GetArgAsInteger(0);
  const int month = machine.GetArgAsInteger(1);
  const int day = machine.GetArgAsInteger(2);
  double date = 0;
  if (!TryEncodeDate(year, month, day, date)) {
    throw ConvertError(
        vantrel::Format("Year %d, month %d, day %d is not a valid date", {year, month, day}));
  }
  machine.SetResult(Variant::Date(date));
}

void EncodeTime(VirtualMachine& machine) {
  const int hour = machine.GetArgAsInteger(0);
  const int minute = machine.GetArgAsInteger(1);
  const int second = machine.GetArgAsInteger(2);
  const int millisecond = machine.GetArgAsInteger(3);
  double time = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, time)) {
    throw ConvertError(
        vantrel::Format("Hour %d, minute %d, second %d, millisecond %d is not a valid time",
                        {hour, minute, second, millisecond}));
  }
  machine.SetResult(Variant::Date(time));
}

void DecodeDate(VirtualMachine& machine) {
  const DateTimeParts parts = DateArgParts(machine, 0);
  machine.SetByRefArg(1, parts.year);
  machine.SetByRefArg(2, parts.month);
  machine.SetByRefArg(3, parts.day);
}

void DecodeTime(VirtualMachine& machine) {
  const DateTimeParts parts = DateArgParts(machine, 0);
  machine.SetByRefArg(1, parts.hour);
  machine.SetByRefArg(2, parts.minute);
  machine.SetByRefArg(3, parts.second);
  machine.SetByRefArg(4, parts.millisecond);
}

void DayOfWeek(VirtualMachine& machine) { machine.SetResult(DateArgParts(machine, 0).day_of_week); }

void Date(VirtualMachine& machine) {
  machine.SetResult(Variant::Date(DateOf(DecodeDateTime(vantrel::Now()))));
}

void Time(VirtualMachine& machine) {
  machine.SetResult(Variant::Date(TimeOf(DecodeDateTime(vantrel::Now()))));
}

void Now(VirtualMachine& machine) { machine.SetResult(Variant::Date(vantrel::Now())); }

void IncMonth(VirtualMachine& machine) {
  machine.SetResult(
      Variant::Date(vantrel::IncMonth(machine.GetArgAsDateTime(0), machine.GetArgAsInteger(1))));
}

void IsLeapYear(VirtualMachine& machine) {
  machine.SetResult(vantrel::IsLeapYear(machine.GetArgAsInteger(0)));
}

void DateToStr(VirtualMachine& machine) { SetFormattedDate(machine, "ddddd"); }

void TimeToStr(VirtualMachine& machine) { SetFormattedDate(machine, "tt"); }

// "c" leaves out a time of midnight.
void DateTimeToStr(VirtualMachine& machine) { SetFormattedDate(machine, "c"); }

void StrToDate(VirtualMachine& machine) { SetReadDate(machine, TryStrToDate, "date"); }

void StrToTime(VirtualMachine& machine) { SetReadDate(machine, TryStrToTime, "time"); }

void StrToDateTime(VirtualMachine& machine) {
  SetReadDate(machine, TryStrToDateTime, "date and time");
}

void FormatDateTime(VirtualMachine& machine) {
  machine.SetResult(
      vantrel::FormatDateTime(machine.GetArgAsString(0), machine.GetArgAsDateTime(1)));
}

}  // namespace vantrel::system_functions
