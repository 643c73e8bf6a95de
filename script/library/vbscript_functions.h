// The host handlers of the VBScript library's functions, one group per
// file. Each reads its arguments and sets its result through the machine;
// the library registers them (with argument counts, result kinds and
// by-reference arguments) in vbscript_library.cc.
#ifndef VANTREL_SCRIPT_LIBRARY_VBSCRIPT_FUNCTIONS_H_
#define VANTREL_SCRIPT_LIBRARY_VBSCRIPT_FUNCTIONS_H_

namespace vantrel {

class VirtualMachine;
class VBScriptLibrary;

namespace vbscript_functions {

// Texts (vbscript_string_functions.cc); InStr, LCase, Len, LTrim, RTrim,
// UCase and StrComp use the system library's handlers.
void Asc(VirtualMachine& machine);
void Left(VirtualMachine& machine);
void Mid(VirtualMachine& machine);
void Replace(VirtualMachine& machine);
void Right(VirtualMachine& machine);
void Space(VirtualMachine& machine);
void StringOf(VirtualMachine& machine);

// Numbers, conversions and tests of values (vbscript_number_functions.cc);
// Atn, CStr, LBound, Log, UBound and Rnd use the system library's handlers,
// CLng uses CInt's and CSng CDbl's.
void CBool(VirtualMachine& machine);
void CByte(VirtualMachine& machine);
void CCur(VirtualMachine& machine);
void CDate(VirtualMachine& machine);
void CDbl(VirtualMachine& machine);
void CInt(VirtualMachine& machine);
void Hex(VirtualMachine& machine);
void VbInt(VirtualMachine& machine);
void Fix(VirtualMachine& machine);
void IsArray(VirtualMachine& machine);
void IsDate(VirtualMachine& machine);
void IsEmpty(VirtualMachine& machine);
void IsNull(VirtualMachine& machine);
void IsNumeric(VirtualMachine& machine);
void Sgn(VirtualMachine& machine);

// Objects and dialogs (vbscript_system_functions.cc).
void CreateObject(VirtualMachine& machine);
void InputBox(VBScriptLibrary& library, VirtualMachine& machine);
void MsgBox(VBScriptLibrary& library, VirtualMachine& machine);

// Dates and times (vbscript_date_functions.cc).
void DatePart(VirtualMachine& machine);
void DateSerial(VirtualMachine& machine);
void DateValue(VirtualMachine& machine);
void Day(VirtualMachine& machine);
void Hour(VirtualMachine& machine);
void VbFormatDateTime(VirtualMachine& machine);
void Minute(VirtualMachine& machine);
void Month(VirtualMachine& machine);
void MonthName(VirtualMachine& machine);
void Second(VirtualMachine& machine);
void Timer(VirtualMachine& machine);
void TimeSerial(VirtualMachine& machine);
void TimeValue(VirtualMachine& machine);
void Weekday(VirtualMachine& machine);
void WeekdayName(VirtualMachine& machine);
void Year(VirtualMachine& machine);
// Number texts (vbscript_format_functions.cc).
void FormatCurrency(VirtualMachine& machine);
void FormatNumber(VirtualMachine& machine);

}  // namespace vbscript_functions
}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_VBSCRIPT_FUNCTIONS_H_
