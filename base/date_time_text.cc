#include "base/date_time_text.h"

namespace vantrel {

// Placeholders until date and time texts land.
bool TryStrToDate(std::string_view, double&, const FormatSettings&) { return false; }
bool TryStrToTime(std::string_view, double&, const FormatSettings&) { return false; }
bool TryStrToDateTime(std::string_view, double&, const FormatSettings&) { return false; }
bool TryEncodeDate(int, int, int, double&) { return false; }
bool TryEncodeTime(int, int, int, int, double&) { return false; }
bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
int DaysInMonth(int, int) { return 30; }
double IncMonth(double date, int) { return date; }

}  // namespace vantrel
