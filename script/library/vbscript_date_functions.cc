#include "script/errors/script_errors.h"
#include "script/library/vbscript_functions.h"
#include "script/library/vbscript_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

// Placeholders until this group lands.

void DatePart(VirtualMachine&) { throw ScriptRuntimeError("DatePart is not available yet"); }
void DateSerial(VirtualMachine&) { throw ScriptRuntimeError("DateSerial is not available yet"); }
void DateValue(VirtualMachine&) { throw ScriptRuntimeError("DateValue is not available yet"); }
void Day(VirtualMachine&) { throw ScriptRuntimeError("Day is not available yet"); }
void Hour(VirtualMachine&) { throw ScriptRuntimeError("Hour is not available yet"); }
void VbFormatDateTime(VirtualMachine&) {
  throw ScriptRuntimeError("FormatDateTime is not available yet");
}
void Minute(VirtualMachine&) { throw ScriptRuntimeError("Minute is not available yet"); }
void Month(VirtualMachine&) { throw ScriptRuntimeError("Month is not available yet"); }
void MonthName(VirtualMachine&) { throw ScriptRuntimeError("MonthName is not available yet"); }
void Second(VirtualMachine&) { throw ScriptRuntimeError("Second is not available yet"); }
void Timer(VirtualMachine&) { throw ScriptRuntimeError("Timer is not available yet"); }
void TimeSerial(VirtualMachine&) { throw ScriptRuntimeError("TimeSerial is not available yet"); }
void TimeValue(VirtualMachine&) { throw ScriptRuntimeError("TimeValue is not available yet"); }
void Weekday(VirtualMachine&) { throw ScriptRuntimeError("Weekday is not available yet"); }
void WeekdayName(VirtualMachine&) { throw ScriptRuntimeError("WeekdayName is not available yet"); }
void Year(VirtualMachine&) { throw ScriptRuntimeError("Year is not available yet"); }

}  // namespace vantrel::vbscript_functions
