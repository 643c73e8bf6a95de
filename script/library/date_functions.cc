#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::system_functions {

// Placeholders until this group lands.

void EncodeDate(VirtualMachine&) { throw ScriptRuntimeError("EncodeDate is not available yet"); }
void EncodeTime(VirtualMachine&) { throw ScriptRuntimeError("EncodeTime is not available yet"); }
void DecodeDate(VirtualMachine&) { throw ScriptRuntimeError("DecodeDate is not available yet"); }
void DecodeTime(VirtualMachine&) { throw ScriptRuntimeError("DecodeTime is not available yet"); }
void DayOfWeek(VirtualMachine&) { throw ScriptRuntimeError("DayOfWeek is not available yet"); }
void Date(VirtualMachine&) { throw ScriptRuntimeError("Date is not available yet"); }
void Time(VirtualMachine&) { throw ScriptRuntimeError("Time is not available yet"); }
void Now(VirtualMachine&) { throw ScriptRuntimeError("Now is not available yet"); }
void IncMonth(VirtualMachine&) { throw ScriptRuntimeError("IncMonth is not available yet"); }
void IsLeapYear(VirtualMachine&) { throw ScriptRuntimeError("IsLeapYear is not available yet"); }
void DateToStr(VirtualMachine&) { throw ScriptRuntimeError("DateToStr is not available yet"); }
void TimeToStr(VirtualMachine&) { throw ScriptRuntimeError("TimeToStr is not available yet"); }
void DateTimeToStr(VirtualMachine&) {
  throw ScriptRuntimeError("DateTimeToStr is not available yet");
}
void StrToDate(VirtualMachine&) { throw ScriptRuntimeError("StrToDate is not available yet"); }
void StrToTime(VirtualMachine&) { throw ScriptRuntimeError("StrToTime is not available yet"); }
void StrToDateTime(VirtualMachine&) {
  throw ScriptRuntimeError("StrToDateTime is not available yet");
}
void FormatDateTime(VirtualMachine&) {
  throw ScriptRuntimeError("FormatDateTime is not available yet");
}

}  // namespace vantrel::system_functions
