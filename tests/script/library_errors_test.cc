// Arguments the text, number and array functions cannot serve end the
// script with a clear error, never with a wrapped number, a not-a-number
// result or an allocation the script sized without bound. Each script ends
// with its error, so the cases share one table rather than golden files.
#include <gtest/gtest.h>

#include <string>

#include "tests/script/library_test_scripter.h"

namespace vantrel::test {
namespace {

struct ErrorCase {
  const char* script;
  // The start of the output: "!" and the error's message.
  const char* expected;
};

constexpr char kWrapped[] = " when evaluating instruction CallProc";

TEST(LibraryErrorsTest, BadArgumentsRaiseClearErrors) {
  const ErrorCase cases[] = {
      {"Chr(-1)", "Chr expects a character code of 0 or more, not -1\n"},
      {"StrToInt(\"abc\")", "'abc' is not a valid integer value"},
      {"StrToInt(\"2147483648\")", "'2147483648' is not a valid integer value"},
      {"StrToFloat(\"x\")", "'x' is not a valid floating point value"},
      {"StrToFloat(\"1e999\")", "'1e999' is not a valid floating point value"},
      {"Round(1e10)", "Variant overflow"},
      {"Trunc(3e9)", "Variant overflow"},
      {"x = 2147483647\nInc(x)", "Variant overflow"},
      {"CInt(3e9)", "Variant overflow"},
      {"Int(-3e9)", "Variant overflow"},
      {"CCur(1e20)", "Variant overflow"},
      {"CDate(\"abc\")", "Could not convert variant of type (String) into type (Date)"},
      {"Sqrt(-1)", "Invalid argument to Sqrt: -1\n"},
      {"Ln(0)", "Invalid argument to Ln: 0\n"},
      {"Log(0)", "Invalid argument to Log: 0\n"},
      {"Exp(1000)", "Invalid argument to Exp: 1000\n"},
      {"Fix(1e308 * 10)", "Invalid argument to Fix: INF\n"},
      {"High(5)", "Could not convert variant of type (Integer) into type (Array)"},
      {"VarArrayHighBound([1], 2)", "Invalid array dimension\n"},
      {"VarArrayCreate([0], 12)", "Invalid array dimension\n"},
      {"VarArrayCreate(5, 12)", "Invalid array dimension\n"},
      {"VarArrayCreate([0, 99999999, 0, 99999999], 12)",
       "VarArrayCreate would make an array of more than 16777216 elements\n"},
      {"VarArrayCreate([0, 1], 99)", "VarArrayCreate cannot make an array of variant type 99\n"},
      {"Asc(\"\")", "Empty string when calling Asc function\n"},
      {"Left(\"abc\", -1)", "Left expects a count of 0 or more, not -1\n"},
      {"Right(\"abc\", -2)", "Right expects a count of 0 or more, not -2\n"},
      {"Mid(\"abc\", 0, 1)", "Mid expects a start of 1 or more, not 0\n"},
      {"Mid(\"abc\", 1, -1)", "Mid expects a count of 0 or more, not -1\n"},
      {"Space(-1)", "Space expects a count of 0 or more, not -1\n"},
      {"Space(300000000)",
       "Space would make a text of 300000000 characters, more than the limit of 268435456\n"},
      {"String(2000000000, \"x\")",
       "String would make a text of 2000000000 characters, more than the limit of 268435456\n"},
      {"Replace(Space(100000), \" \", Space(100000))",
       "Replace would make a text of 10000000000 characters, more than the limit of 268435456\n"},
      {"IntToHex(1, 300000000)",
       "IntToHex would make a text of 300000000 characters, more than the limit of 268435456\n"},
  };
  LibraryTestScripter scripter;
  for (const ErrorCase& error_case : cases) {
    SCOPED_TRACE(error_case.script);
    const std::string output = scripter.Run(error_case.script);
    const std::string expected = std::string("!RUNTIME ERROR\n") + error_case.expected;
    EXPECT_EQ(output.substr(0, expected.size()), expected);
    // Errors of the library itself come unwrapped; those of conversions name
    // the call they arose in.
    if (expected.back() != '\n') {
      EXPECT_EQ(output.substr(expected.size(), sizeof kWrapped - 1), kWrapped);
    }
  }
}

}  // namespace
}  // namespace vantrel::test
