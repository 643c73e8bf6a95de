#include "script/library/vbscript_library.h"

#include "script/host/host_class.h"
#include "script/library/library_registration.h"
#include "script/library/system_functions.h"
#include "script/library/vbscript_functions.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {

VBScriptLibrary::VBScriptLibrary(CustomScripter& scripter) : DialogLibrary(scripter) {}

void VBScriptLibrary::Init() {
  HostClass& entry = Scripter().RegisterHostClass(&kClassInfo);
  // The functions, in this order: stored code names them by position.
  // Functions that are exactly a system one use the system handler.
  RegisterFunction(entry, "Asc", 1, vkInteger, HostHandler::Of<&vbscript_functions::Asc>());
  RegisterFunction(entry, "Atn", 1, vkFloat, HostHandler::Of<&system_functions::ArcTan>());
  RegisterFunction(entry, "CBool", 1, vkEnumeration, HostHandler::Of<&vbscript_functions::CBool>());
  RegisterFunction(entry, "CByte", 1, vkInteger, HostHandler::Of<&vbscript_functions::CByte>());
  RegisterFunction(entry, "CCur", 1, vkFloat, HostHandler::Of<&vbscript_functions::CCur>());
  RegisterFunction(entry, "CDate", 1, vkFloat, HostHandler::Of<&vbscript_functions::CDate>());
  RegisterFunction(entry, "CDbl", 1, vkFloat, HostHandler::Of<&vbscript_functions::CDbl>());
  RegisterFunction(entry, "CInt", 1, vkInteger, HostHandler::Of<&vbscript_functions::CInt>());
  RegisterFunction(entry, "CLng", 1, vkInteger, HostHandler::Of<&vbscript_functions::CInt>());
  RegisterFunction(entry, "CreateObject", 1, vkVariant,
                   HostHandler::Of<&vbscript_functions::CreateObject>());
  RegisterFunction(entry, "CSng", 1, vkFloat, HostHandler::Of<&vbscript_functions::CDbl>());
  RegisterFunction(entry, "CStr", 1, vkString, HostHandler::Of<&system_functions::VarToStr>());
  RegisterFunction(entry, "DatePart", 2, vkInteger,
                   HostHandler::Of<&vbscript_functions::DatePart>());
  RegisterFunction(entry, "DateSerial", 3, vkFloat,
                   HostHandler::Of<&vbscript_functions::DateSerial>());
  RegisterFunction(entry, "DateValue", 1, vkFloat,
                   HostHandler::Of<&vbscript_functions::DateValue>());
  RegisterFunction(entry, "Day", 1, vkInteger, HostHandler::Of<&vbscript_functions::Day>());
  RegisterFunction(entry, "Hex", 1, vkString, HostHandler::Of<&vbscript_functions::Hex>());
  RegisterFunction(entry, "Hour", 1, vkInteger, HostHandler::Of<&vbscript_functions::Hour>());
  RegisterFunction(entry, "InStr", 2, vkInteger, HostHandler::Of<&system_functions::Pos>());
  RegisterFunction(entry, "Int", 1, vkInteger, HostHandler::Of<&vbscript_functions::VbInt>());
  RegisterFunction(entry, "Fix", 1, vkInteger, HostHandler::Of<&vbscript_functions::Fix>());
  RegisterFunction(entry, "FormatCurrency", 2, vkString,
                   HostHandler::Of<&vbscript_functions::FormatCurrency>());
  RegisterFunction(entry, "FormatDateTime", 2, vkString,
                   HostHandler::Of<&vbscript_functions::VbFormatDateTime>());
  RegisterFunction(entry, "FormatNumber", 2, vkString,
                   HostHandler::Of<&vbscript_functions::FormatNumber>());
  RegisterFunction(entry, "InputBox", 3, vkInteger,
                   HostHandler::Of<VBScriptLibrary, &vbscript_functions::InputBox>(this));
  RegisterFunction(entry, "IsArray", 1, vkEnumeration,
                   HostHandler::Of<&vbscript_functions::IsArray>());
  RegisterFunction(entry, "IsDate", 1, vkEnumeration,
                   HostHandler::Of<&vbscript_functions::IsDate>());
  RegisterFunction(entry, "IsEmpty", 1, vkEnumeration,
                   HostHandler::Of<&vbscript_functions::IsEmpty>());
  RegisterFunction(entry, "IsNull", 1, vkEnumeration,
                   HostHandler::Of<&vbscript_functions::IsNull>());
  RegisterFunction(entry, "IsNumeric", 1, vkEnumeration,
                   HostHandler::Of<&vbscript_functions::IsNumeric>());
  RegisterFunction(entry, "LBound", 2, vkInteger,
                   HostHandler::Of<&system_functions::VarArrayLowBound>());
  RegisterFunction(entry, "LCase", 1, vkString, HostHandler::Of<&system_functions::LowerCase>());
  RegisterFunction(entry, "Left", 2, vkString, HostHandler::Of<&vbscript_functions::Left>());
  RegisterFunction(entry, "Len", 1, vkInteger, HostHandler::Of<&system_functions::Length>());
  RegisterFunction(entry, "Log", 1, vkFloat, HostHandler::Of<&system_functions::Ln>());
  RegisterFunction(entry, "LTrim", 1, vkString, HostHandler::Of<&system_functions::TrimLeft>());
  RegisterFunction(entry, "RTrim", 1, vkString, HostHandler::Of<&system_functions::TrimRight>());
  RegisterFunction(entry, "UBound", 2, vkInteger,
                   HostHandler::Of<&system_functions::VarArrayHighBound>());
  RegisterFunction(entry, "UCase", 1, vkString, HostHandler::Of<&system_functions::UpperCase>());
  RegisterFunction(entry, "Mid", 3, vkString, HostHandler::Of<&vbscript_functions::Mid>());
  RegisterFunction(entry, "Minute", 1, vkInteger, HostHandler::Of<&vbscript_functions::Minute>());
  RegisterFunction(entry, "Month", 1, vkInteger, HostHandler::Of<&vbscript_functions::Month>());
  RegisterFunction(entry, "MonthName", 2, vkString,
                   HostHandler::Of<&vbscript_functions::MonthName>());
  RegisterFunction(entry, "MsgBox", 3, vkInteger,
                   HostHandler::Of<VBScriptLibrary, &vbscript_functions::MsgBox>(this));
  RegisterFunction(entry, "Replace", 3, vkString, HostHandler::Of<&vbscript_functions::Replace>());
  RegisterFunction(entry, "Right", 2, vkString, HostHandler::Of<&vbscript_functions::Right>());
  RegisterFunction(entry, "Rnd", 0, vkFloat, HostHandler::Of<&system_functions::Random>());
  RegisterFunction(entry, "Second", 1, vkInteger, HostHandler::Of<&vbscript_functions::Second>());
  RegisterFunction(entry, "Sgn", 1, vkInteger, HostHandler::Of<&vbscript_functions::Sgn>());
  RegisterFunction(entry, "Space", 1, vkString, HostHandler::Of<&vbscript_functions::Space>());
  RegisterFunction(entry, "StrComp", 2, vkInteger,
                   HostHandler::Of<&system_functions::CompareStr>());
  RegisterFunction(entry, "String", 2, vkString, HostHandler::Of<&vbscript_functions::StringOf>());
  RegisterFunction(entry, "Timer", 0, vkInteger, HostHandler::Of<&vbscript_functions::Timer>());
  RegisterFunction(entry, "TimeSerial", 3, vkFloat,
                   HostHandler::Of<&vbscript_functions::TimeSerial>());
  RegisterFunction(entry, "TimeValue", 1, vkFloat,
                   HostHandler::Of<&vbscript_functions::TimeValue>());
  RegisterFunction(entry, "Weekday", 1, vkInteger, HostHandler::Of<&vbscript_functions::Weekday>());
  RegisterFunction(entry, "WeekdayName", 2, vkString,
                   HostHandler::Of<&vbscript_functions::WeekdayName>());
  RegisterFunction(entry, "Year", 1, vkInteger, HostHandler::Of<&vbscript_functions::Year>());

  entry.RegisterConstant("vbGeneralDate", 0);
  entry.RegisterConstant("vbLongDate", 1);
  entry.RegisterConstant("vbShortDate", 2);
  entry.RegisterConstant("vbLongTime", 3);
  entry.RegisterConstant("vbShortTime", 4);
  entry.RegisterConstant("vbOKOnly", 0);
  entry.RegisterConstant("vbOKCancel", 1);
  entry.RegisterConstant("vbAbortRetryIgnore", 2);
  entry.RegisterConstant("vbYesNoCancel", 3);
  entry.RegisterConstant("vbYesNo", 4);
  entry.RegisterConstant("vbRetryCancel", 5);
  entry.RegisterConstant("vbCritical", 16);
  entry.RegisterConstant("vbQuestion", 32);
  entry.RegisterConstant("vbExclamation", 48);
  entry.RegisterConstant("vbInformation", 64);
  entry.RegisterConstant("vbDefaultButton1", 0);
  entry.RegisterConstant("vbDefaultButton2", 256);
  entry.RegisterConstant("vbDefaultButton3", 512);
  entry.RegisterConstant("vbDefaultButton4", 768);
  entry.RegisterConstant("vbApplicationModal", 0);
  entry.RegisterConstant("vbSystemModal", 4096);
  entry.RegisterConstant("vbOK", 1);
  entry.RegisterConstant("vbCancel", 2);
  entry.RegisterConstant("vbAbort", 3);
  entry.RegisterConstant("vbRetry", 4);
  entry.RegisterConstant("vbIgnore", 5);
  entry.RegisterConstant("vbYes", 6);
  entry.RegisterConstant("vbNo", 7);
}

}  // namespace vantrel
