#include "script/library/system_library.h"

#include "script/host/host_class.h"
#include "script/library/library_registration.h"
#include "script/library/system_functions.h"
#include "script/library/text_file_class.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {

SystemLibrary::SystemLibrary(CustomScripter& scripter) : DialogLibrary(scripter) {}

void SystemLibrary::Init() {
  HostClass& entry = Scripter().RegisterHostClass(&kClassInfo);
  // The functions, in this order: stored code names them by position.
  RegisterFunction(entry, "UpperCase", 1, vkString,
                   HostHandler::Of<&system_functions::UpperCase>());
  RegisterFunction(entry, "LowerCase", 1, vkString,
                   HostHandler::Of<&system_functions::LowerCase>());
  RegisterFunction(entry, "CompareStr", 2, vkInteger,
                   HostHandler::Of<&system_functions::CompareStr>());
  RegisterFunction(entry, "CompareText", 2, vkInteger,
                   HostHandler::Of<&system_functions::CompareText>());
  RegisterFunction(entry, "AnsiUpperCase", 1, vkString,
                   HostHandler::Of<&system_functions::AnsiUpperCase>());
  RegisterFunction(entry, "AnsiLowerCase", 1, vkString,
                   HostHandler::Of<&system_functions::AnsiLowerCase>());
  RegisterFunction(entry, "AnsiCompareStr", 2, vkString,
                   HostHandler::Of<&system_functions::AnsiCompareStr>());
  RegisterFunction(entry, "AnsiCompareText", 2, vkString,
                   HostHandler::Of<&system_functions::AnsiCompareText>());
  RegisterFunction(entry, "Trim", 1, vkString, HostHandler::Of<&system_functions::Trim>());
  RegisterFunction(entry, "TrimLeft", 1, vkString, HostHandler::Of<&system_functions::TrimLeft>());
  RegisterFunction(entry, "TrimRight", 1, vkString,
                   HostHandler::Of<&system_functions::TrimRight>());
  RegisterFunction(entry, "IsValidIdent", 1, vkInteger,
                   HostHandler::Of<&system_functions::IsValidIdent>());
  RegisterFunction(entry, "IntToStr", 1, vkString, HostHandler::Of<&system_functions::IntToStr>());
  RegisterFunction(entry, "IntToHex", 2, vkString, HostHandler::Of<&system_functions::IntToHex>());
  RegisterFunction(entry, "StrToInt", 1, vkInteger, HostHandler::Of<&system_functions::StrToInt>());
  RegisterFunction(entry, "StrToIntDef", 2, vkInteger,
                   HostHandler::Of<&system_functions::StrToIntDef>());
  RegisterFunction(entry, "FloatToStr", 1, vkString,
                   HostHandler::Of<&system_functions::FloatToStr>());
  RegisterFunction(entry, "Format", 2, vkString, HostHandler::Of<&system_functions::Format>());
  RegisterFunction(entry, "FormatFloat", 2, vkString,
                   HostHandler::Of<&system_functions::FormatFloat>());
  RegisterFunction(entry, "StrToFloat", 1, vkFloat,
                   HostHandler::Of<&system_functions::StrToFloat>());
  RegisterFunction(entry, "EncodeDate", 3, vkFloat,
                   HostHandler::Of<&system_functions::EncodeDate>());
  RegisterFunction(entry, "EncodeTime", 4, vkFloat,
                   HostHandler::Of<&system_functions::EncodeTime>());
  RegisterFunction(entry, "DecodeDate", 4, vkInteger,
                   HostHandler::Of<&system_functions::DecodeDate>(), {1, 2, 3});
  RegisterFunction(entry, "DecodeTime", 5, vkInteger,
                   HostHandler::Of<&system_functions::DecodeTime>(), {1, 2, 3, 4});
  RegisterFunction(entry, "DayOfWeek", 1, vkInteger,
                   HostHandler::Of<&system_functions::DayOfWeek>());
  RegisterFunction(entry, "Date", 0, vkFloat, HostHandler::Of<&system_functions::Date>());
  RegisterFunction(entry, "Time", 0, vkFloat, HostHandler::Of<&system_functions::Time>());
  RegisterFunction(entry, "Now", 0, vkFloat, HostHandler::Of<&system_functions::Now>());
  RegisterFunction(entry, "IncMonth", 2, vkFloat, HostHandler::Of<&system_functions::IncMonth>());
  RegisterFunction(entry, "IsLeapYear", 1, vkInteger,
                   HostHandler::Of<&system_functions::IsLeapYear>());
  RegisterFunction(entry, "DateToStr", 1, vkString,
                   HostHandler::Of<&system_functions::DateToStr>());
  RegisterFunction(entry, "TimeToStr", 1, vkString,
                   HostHandler::Of<&system_functions::TimeToStr>());
  RegisterFunction(entry, "DateTimeToStr", 1, vkString,
                   HostHandler::Of<&system_functions::DateTimeToStr>());
  RegisterFunction(entry, "StrToDate", 1, vkFloat, HostHandler::Of<&system_functions::StrToDate>());
  RegisterFunction(entry, "StrToTime", 1, vkFloat, HostHandler::Of<&system_functions::StrToTime>());
  RegisterFunction(entry, "StrToDateTime", 1, vkFloat,
                   HostHandler::Of<&system_functions::StrToDateTime>());
  RegisterFunction(entry, "FormatDateTime", 2, vkFloat,
                   HostHandler::Of<&system_functions::FormatDateTime>());
  RegisterFunction(entry, "Beep", 0, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Beep>(this));
  RegisterFunction(entry, "VarIsNull", 1, vkInteger,
                   HostHandler::Of<&system_functions::VarIsNull>());
  RegisterFunction(entry, "Round", 1, vkInteger, HostHandler::Of<&system_functions::Round>());
  RegisterFunction(entry, "Trunc", 1, vkInteger, HostHandler::Of<&system_functions::Trunc>());
  RegisterFunction(entry, "Copy", 3, vkString, HostHandler::Of<&system_functions::Copy>());
  RegisterFunction(entry, "Delete", 3, vkString, HostHandler::Of<&system_functions::Delete>(), {0});
  RegisterFunction(entry, "Insert", 3, vkString, HostHandler::Of<&system_functions::Insert>(), {1});
  RegisterFunction(entry, "Pos", 2, vkInteger, HostHandler::Of<&system_functions::Pos>());
  RegisterFunction(entry, "Length", 1, vkInteger, HostHandler::Of<&system_functions::Length>());
  RegisterFunction(entry, "ShowMessage", 1, vkString,
                   HostHandler::Of<SystemLibrary, &system_functions::ShowMessage>(this));
  RegisterFunction(entry, "InputQuery", 3, vkString,
                   HostHandler::Of<SystemLibrary, &system_functions::InputQuery>(this), {2});
  RegisterFunction(entry, "Raise", 1, vkNone, HostHandler::Of<&system_functions::Raise>());
  RegisterFunction(entry, "CreateOleObject", 1, vkVariant,
                   HostHandler::Of<&system_functions::CreateOleObject>());
  RegisterFunction(entry, "GetActiveOleObject", 1, vkVariant,
                   HostHandler::Of<&system_functions::GetActiveOleObject>());
  RegisterFunction(entry, "VarToStr", 1, vkString, HostHandler::Of<&system_functions::VarToStr>());
  RegisterFunction(entry, "Dec", 1, vkInteger, HostHandler::Of<&system_functions::Dec>(), {0});
  RegisterFunction(entry, "Inc", 1, vkInteger, HostHandler::Of<&system_functions::Inc>(), {0});
  RegisterFunction(entry, "High", 1, vkInteger, HostHandler::Of<&system_functions::High>());
  RegisterFunction(entry, "Low", 1, vkInteger, HostHandler::Of<&system_functions::Low>());
  RegisterFunction(entry, "VarArrayHighBound", 2, vkInteger,
                   HostHandler::Of<&system_functions::VarArrayHighBound>());
  RegisterFunction(entry, "VarArrayLowBound", 2, vkInteger,
                   HostHandler::Of<&system_functions::VarArrayLowBound>());
  RegisterFunction(entry, "VarArrayCreate", 2, vkVariant,
                   HostHandler::Of<&system_functions::VarArrayCreate>());
  RegisterFunction(entry, "Random", 0, vkFloat, HostHandler::Of<&system_functions::Random>());
  RegisterFunction(entry, "Machine", 0, vkClass,
                   HostHandler::Of<SystemLibrary, &system_functions::RunningMachine>(this));
  RegisterFunction(entry, "Scripter", 0, vkClass,
                   HostHandler::Of<SystemLibrary, &system_functions::RunningScripter>(this));
  RegisterFunction(entry, "Assigned", 1, vkInteger, HostHandler::Of<&system_functions::Assigned>());
  RegisterFunction(entry, "Interpret", 1, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Interpret>(this));
  RegisterFunction(entry, "SetOf", 1, vkSet, HostHandler::Of<&system_functions::SetOf>());
  RegisterFunction(entry, "Sin", 1, vkFloat, HostHandler::Of<&system_functions::Sin>());
  RegisterFunction(entry, "Cos", 1, vkFloat, HostHandler::Of<&system_functions::Cos>());
  RegisterFunction(entry, "Abs", 1, vkFloat, HostHandler::Of<&system_functions::Abs>());
  RegisterFunction(entry, "ArcTan", 1, vkFloat, HostHandler::Of<&system_functions::ArcTan>());
  RegisterFunction(entry, "Chdir", 1, vkNone, HostHandler::Of<&system_functions::Chdir>());
  // Pure: a page's text joins its lines with chr (13) and chr (10), and
  // that text is then made once, not on every request.
  RegisterFunction(entry, "Chr", 1, vkString, HostHandler::Of<&system_functions::Chr>())->Pure =
      true;
  RegisterFunction(entry, "Exp", 1, vkFloat, HostHandler::Of<&system_functions::Exp>());
  RegisterFunction(entry, "Frac", 1, vkFloat, HostHandler::Of<&system_functions::Frac>());
  RegisterFunction(entry, "Int", 1, vkInteger, HostHandler::Of<&system_functions::Int>());
  RegisterFunction(entry, "Ln", 1, vkFloat, HostHandler::Of<&system_functions::Ln>());
  RegisterFunction(entry, "Odd", 1, vkEnumeration, HostHandler::Of<&system_functions::Odd>());
  RegisterFunction(entry, "Ord", 1, vkInteger, HostHandler::Of<&system_functions::Ord>());
  RegisterFunction(entry, "Sqr", 1, vkFloat, HostHandler::Of<&system_functions::Sqr>());
  RegisterFunction(entry, "Sqrt", 1, vkFloat, HostHandler::Of<&system_functions::Sqrt>());
  RegisterFunction(entry, "AssignFile", 2, vkClass,
                   HostHandler::Of<SystemLibrary, &system_functions::AssignFile>(this), {0});
  RegisterFunction(entry, "Reset", 1, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Reset>(this));
  RegisterFunction(entry, "Rewrite", 1, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Rewrite>(this));
  RegisterFunction(entry, "Append", 1, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Append>(this));
  RegisterFunction(entry, "CloseFile", 1, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::CloseFile>(this));
  RegisterFunction(entry, "Write", 2, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::Write>(this));
  RegisterFunction(entry, "WriteLn", 2, vkNone,
                   HostHandler::Of<SystemLibrary, &system_functions::WriteLn>(this));
  RegisterFunction(entry, "ReadLn", 1, vkVariant,
                   HostHandler::Of<SystemLibrary, &system_functions::ReadLn>(this));
  RegisterFunction(entry, "EOF", 1, vkVariant,
                   HostHandler::Of<SystemLibrary, &system_functions::Eof>(this));
  RegisterFunction(entry, "FilePos", 1, vkInteger,
                   HostHandler::Of<SystemLibrary, &system_functions::FilePos>(this));
  RegisterFunction(entry, "FileSize", 1, vkInteger,
                   HostHandler::Of<SystemLibrary, &system_functions::FileSize>(this));
  RegisterLastException(entry);
  RegisterObjectClasses();
}

void SystemLibrary::RegisterLastException(HostClass& entry) {
  entry.RegisterProperty("LastExceptionMessage", vkString, 0, false, nullptr, {},
                         HostHandler::Of<&system_functions::LastExceptionMessage>());
  entry.RegisterProperty("LastExceptionHelpContext", vkInteger, 0, false, nullptr, {},
                         HostHandler::Of<&system_functions::LastExceptionHelpContext>());
  entry.RegisterProperty("LastExceptionClassName", vkString, 0, false, nullptr, {},
                         HostHandler::Of<&system_functions::LastExceptionClassName>());
}

void SystemLibrary::RegisterObjectClasses() {
  // Every registered class inherits these from its TObject root.
  HostClass& object = Scripter().RegisterHostClass(&TObject::kClassInfo);
  object.RegisterMethod("Create", 0, true, HostHandler::Of<&system_functions::Create>(), nullptr,
                        vkClass);
  object.RegisterMethod("Free", 0, false, HostHandler::Of<&system_functions::Free>(), nullptr,
                        vkNone);
  // Named, so that scripts can test a value with `is TextFileClass`.
  Scripter().RegisterHostClass(&TextFileClass::kClassInfo);
}

}  // namespace vantrel
