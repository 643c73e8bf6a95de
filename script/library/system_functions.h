// The host handlers of the system library's functions, one group per
// file. Each reads its arguments and sets its result through the machine;
// the library registers them (with argument counts, result kinds and
// by-reference arguments) in system_library.cc.
#ifndef VANTREL_SCRIPT_LIBRARY_SYSTEM_FUNCTIONS_H_
#define VANTREL_SCRIPT_LIBRARY_SYSTEM_FUNCTIONS_H_

namespace vantrel {

class VirtualMachine;
class SystemLibrary;

namespace system_functions {

// Texts (string_functions.cc).
void UpperCase(VirtualMachine& machine);
void LowerCase(VirtualMachine& machine);
void CompareStr(VirtualMachine& machine);
void CompareText(VirtualMachine& machine);
void AnsiUpperCase(VirtualMachine& machine);
void AnsiLowerCase(VirtualMachine& machine);
void AnsiCompareStr(VirtualMachine& machine);
void AnsiCompareText(VirtualMachine& machine);
void Trim(VirtualMachine& machine);
void TrimLeft(VirtualMachine& machine);
void TrimRight(VirtualMachine& machine);
void IsValidIdent(VirtualMachine& machine);
void Copy(VirtualMachine& machine);
void Delete(VirtualMachine& machine);
void Insert(VirtualMachine& machine);
void Pos(VirtualMachine& machine);
void Length(VirtualMachine& machine);
void Chr(VirtualMachine& machine);
void Ord(VirtualMachine& machine);

// Numbers, conversions and values (number_functions.cc).
void IntToStr(VirtualMachine& machine);
void IntToHex(VirtualMachine& machine);
void StrToInt(VirtualMachine& machine);
void StrToIntDef(VirtualMachine& machine);
void FloatToStr(VirtualMachine& machine);
void StrToFloat(VirtualMachine& machine);
void VarIsNull(VirtualMachine& machine);
void Round(VirtualMachine& machine);
void Trunc(VirtualMachine& machine);
void VarToStr(VirtualMachine& machine);
void Dec(VirtualMachine& machine);
void Inc(VirtualMachine& machine);
void Random(VirtualMachine& machine);
void Sin(VirtualMachine& machine);
void Cos(VirtualMachine& machine);
void Abs(VirtualMachine& machine);
void ArcTan(VirtualMachine& machine);
void Exp(VirtualMachine& machine);
void Frac(VirtualMachine& machine);
void Int(VirtualMachine& machine);
void Ln(VirtualMachine& machine);
void Odd(VirtualMachine& machine);
void Sqr(VirtualMachine& machine);
void Sqrt(VirtualMachine& machine);

// Dates and times (date_functions.cc).
void EncodeDate(VirtualMachine& machine);
void EncodeTime(VirtualMachine& machine);
void DecodeDate(VirtualMachine& machine);
void DecodeTime(VirtualMachine& machine);
void DayOfWeek(VirtualMachine& machine);
void Date(VirtualMachine& machine);
void Time(VirtualMachine& machine);
void Now(VirtualMachine& machine);
void IncMonth(VirtualMachine& machine);
void IsLeapYear(VirtualMachine& machine);
void DateToStr(VirtualMachine& machine);
void TimeToStr(VirtualMachine& machine);
void DateTimeToStr(VirtualMachine& machine);
void StrToDate(VirtualMachine& machine);
void StrToTime(VirtualMachine& machine);
void StrToDateTime(VirtualMachine& machine);
void FormatDateTime(VirtualMachine& machine);

// The script, the user and the system (system_functions.cc).
void Beep(SystemLibrary& library, VirtualMachine& machine);
void ShowMessage(SystemLibrary& library, VirtualMachine& machine);
void InputQuery(SystemLibrary& library, VirtualMachine& machine);
void Raise(VirtualMachine& machine);
void CreateOleObject(VirtualMachine& machine);
void GetActiveOleObject(VirtualMachine& machine);
void RunningMachine(SystemLibrary& library, VirtualMachine& machine);
void RunningScripter(SystemLibrary& library, VirtualMachine& machine);
void Assigned(VirtualMachine& machine);

// Class TObject and the last exception a script caught
// (object_functions.cc).
void Create(VirtualMachine& machine);
void Free(VirtualMachine& machine);
void LastExceptionMessage(VirtualMachine& machine);
void LastExceptionHelpContext(VirtualMachine& machine);
void LastExceptionClassName(VirtualMachine& machine);

// Arrays and sets (array_functions.cc).
void High(VirtualMachine& machine);
void Low(VirtualMachine& machine);
void VarArrayHighBound(VirtualMachine& machine);
void VarArrayLowBound(VirtualMachine& machine);
void VarArrayCreate(VirtualMachine& machine);
void SetOf(VirtualMachine& machine);

// Running code given as text (interpret.cc).
void Interpret(SystemLibrary& library, VirtualMachine& machine);

// Text files and the current directory (file_functions.cc).
void Chdir(VirtualMachine& machine);
void AssignFile(SystemLibrary& library, VirtualMachine& machine);
void Reset(SystemLibrary& library, VirtualMachine& machine);
void Rewrite(SystemLibrary& library, VirtualMachine& machine);
void Append(SystemLibrary& library, VirtualMachine& machine);
void CloseFile(SystemLibrary& library, VirtualMachine& machine);
void Write(SystemLibrary& library, VirtualMachine& machine);
void WriteLn(SystemLibrary& library, VirtualMachine& machine);
void ReadLn(SystemLibrary& library, VirtualMachine& machine);
void Eof(SystemLibrary& library, VirtualMachine& machine);
void FilePos(SystemLibrary& library, VirtualMachine& machine);
void FileSize(SystemLibrary& library, VirtualMachine& machine);
// Number texts by directive and picture (format_functions.cc).
void Format(VirtualMachine& machine);
void FormatFloat(VirtualMachine& machine);

}  // namespace system_functions
}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_SYSTEM_FUNCTIONS_H_
