#include "script/basic/basic_script.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script/errors/script_errors.h"
#include "script/machine/disassembler.h"
#include "tests/script/compile_test_context.h"

namespace vantrel::test {
namespace {

class BasicScriptTest : public ::testing::Test {
 protected:
  std::string Listing(std::string_view source) {
    StringList lines;
    lines.SetText(source);
    compiler_.Compile(lines, context_, code_);
    return Disassemble(code_.Instructions);
  }
  // The message of the compile error `source` gives, with its place.
  std::string ErrorOf(std::string_view source) {
    try {
      Listing(source);
    } catch (const CompileError& error) {
      return error.Text() + " @" + std::to_string(error.Row()) + "," + std::to_string(error.Col());
    }
    return "no error";
  }
  std::string Run(std::string_view source) { return CompileAndRun(context_, source); }

  TestCompileContext context_;
  BasicScript compiler_;
  CompiledCode code_;
};

TEST_F(BasicScriptTest, StoresAfterConstantOrLocalPushesAreFusedAlsoThroughReferences) {
  EXPECT_EQ(Listing("sub s(byref r)\n"
                    "  r = 1\n  r = 2.5\n  r = \"ab\"\n  r = Null\n"
                    "  l = r\n  r = l\n  l = 3\n"
                    "end sub\n"),
            "     0 GlobalPrepare\n"
            "     1 Jump             A=11\n"
            "     2 Prepare          A=1 S='s'\n"
            "     3 StoreVarRefInteger A=-1 X=1\n"
            "     4 StoreVarRefDouble A=-1 D=2.5\n"
            "     5 StoreVarRefString A=-1 Y=2 S='abr'\n"
            "     6 StoreVarRefConst B=2 A=-1\n"
            "     7 CopyVar          A=-1\n"
            "     8 CopyVarRef       X=-1\n"
            "     9 StoreVarInteger  X=3\n"
            "    10 Ret\n"
            "    11 Prepare          A=1 S='___MAIN___'\n"
            "    12 PushVar\n"
            "    13 Ret\n");
}

TEST_F(BasicScriptTest, GlobalAndIndexedStoresAreNotFused) {
  EXPECT_EQ(Listing("dim g\ng = 1\nx = g\nx[1] = 2\n"),
            "     0 GlobalPrepare    A=1\n"
            "     1 Prepare          A=2 S='___MAIN___'\n"
            "     2 PushInteger      A=1\n"
            "     3 StoreGlobalVar   S='g'\n"
            "     4 PushGlobalVar\n"
            "     5 StoreVar         A=1 S='x'\n"
            "     6 PushInteger      A=2\n"
            "     7 PushInteger      A=1\n"
            "     8 StoreIdxVar      B=1 A=1 S='x'\n"
            "     9 PushVar\n"
            "    10 Ret\n");
}

// A page's variables are globals, and a page builds its text with
// `s = s & x`: appended in place like a local's (200,000 appends took 27 s
// before), with every value `&` takes, and the plain operator wherever the
// variable holds no string yet.
TEST_F(BasicScriptTest, GlobalStringsAreBuiltInPlaceWithWhatAmpersandJoins) {
  EXPECT_EQ(
      Run("dim s, t\n"
          "s = \"<\"\n"
          "for i = 1 to 3\n  s = s & i\n  s = s & 0.5\n  s = s & Null\n  s = s & \";\"\nnext\n"
          "t = t & \"x\"\n"
          "t = t & t\n"
          "echo(s & \" \" & t)\n"),
      "<10.5;20.5;30.5; xx\n");
}

TEST_F(BasicScriptTest, IfElseifElseJumpPastEachOtherToTheEnd) {
  EXPECT_EQ(
      Listing("a = 1 : c = 0\nif a then\n b = 1\nelseif c then\n b = 2\nelse\n b = 3\nend if\n"),
      "     0 GlobalPrepare\n"
      "     1 Prepare          A=4 S='___MAIN___'\n"
      "     2 StoreVarInteger  A=1 X=1\n"
      "     3 StoreVarInteger  A=2\n"
      "     4 PushVar          A=1\n"
      "     5 JumpIfFalse      A=8\n"
      "     6 StoreVarInteger  A=3 X=1\n"
      "     7 Jump             A=13\n"
      "     8 PushVar          A=2\n"
      "     9 JumpIfFalse      A=12\n"
      "    10 StoreVarInteger  A=3 X=2\n"
      "    11 Jump             A=13\n"
      "    12 StoreVarInteger  A=3 X=3\n"
      "    13 PushVar\n"
      "    14 Ret\n");
}

TEST_F(BasicScriptTest, ForKeepsItsLimitAndLoopsBackToTheStoreOfTheCounter) {
  // The store into i is a jump target, so it must not be fused with the
  // push of the start value before it.
  EXPECT_EQ(Listing("for i = 1 to 3 step 2\n  echo(i)\nnext\n"),
            "     0 GlobalPrepare\n"
            "     1 Prepare          A=3 S='___MAIN___'\n"
            "     2 PushInteger      A=1\n"
            "     3 StoreVarInteger  A=1 X=3\n"
            "     4 StoreVar         A=2 S='i'\n"
            "     5 PushVar          A=2\n"
            "     6 PushVar          A=1\n"
            "     7 OperLE\n"
            "     8 JumpIfFalse      A=15\n"
            "     9 PushVarByRef     A=2\n"
            "    10 CallProc         B=1 F=1 Y=131075 S='echo'\n"
            "    11 PushInteger      A=2\n"
            "    12 PushVar          A=2\n"
            "    13 OperAdd\n"
            "    14 Jump             A=4\n"
            "    15 PushVar\n"
            "    16 Ret\n");
  EXPECT_EQ(code_.Info.Routines[0].Variables[1].VarName, "#ForStop1");
  EXPECT_NE(Listing("for i = 3 to 1 step -0.5\nnext\n").find("OperGE"), std::string::npos);
}

TEST_F(BasicScriptTest, WholeVariableArgumentsGoByReferenceAndCallResultsAreReadFromTheOutput) {
  EXPECT_EQ(Listing("function f(byref a, b)\n f = a + b\nend function\n"
                    "x = 1\ny = f(x, x + 1)\necho(f(x, 2))\n"),
            "     0 GlobalPrepare\n"
            "     1 Jump             A=9\n"
            "     2 Prepare          A=1 S='f'\n"
            "     3 PushVar          A=-2\n"
            "     4 PushVar          A=-1\n"
            "     5 OperAdd\n"
            "     6 StoreVar         S='f'\n"
            "     7 PushVar\n"
            "     8 Ret\n"
            "     9 Prepare          A=3 S='___MAIN___'\n"
            "    10 StoreVarInteger  A=1 X=1\n"
            "    11 PushVarByRef     A=1\n"
            "    12 PushVar          A=1\n"
            "    13 PushInteger      A=1\n"
            "    14 OperAdd\n"
            "    15 Call             B=2 A=2 S='f'\n"
            "    16 PushOutput\n"
            "    17 StoreVar         A=2 S='y'\n"
            "    18 PushVarByRef     A=1\n"
            "    19 PushInteger      A=2\n"
            "    20 Call             B=2 A=2 S='f'\n"
            "    21 PushOutput\n"
            "    22 CallProc         B=1 F=1 Y=131075 S='echo'\n"
            "    23 PushVar\n"
            "    24 Ret\n");
}

TEST_F(BasicScriptTest, SelectCaseTestsFuseConstantsAndLocals) {
  const std::string listing = Listing(
      "n = 1\nselect case n\n  case 1, 2.5\n    n = 0\n  case \"x\", n\n    n = 1\n  case n + "
      "1\nend select\n");
  EXPECT_EQ(listing,
            "     0 GlobalPrepare\n"
            "     1 Prepare          A=3 S='___MAIN___'\n"
            "     2 StoreVarInteger  A=1 X=1\n"
            "     3 CopyVar          A=1 X=2\n"
            "     4 VarTestInteger   B=1 A=6 X=2 Y=1\n"
            "     5 VarTestDouble    A=8 N=2 D=2.5\n"
            "     6 StoreVarInteger  A=1\n"
            "     7 Jump             A=16\n"
            "     8 VarTestString    B=1 A=10 X=2 Y=1 S='x'\n"
            "     9 VarTestVar       A=12 X=2 Y=1\n"
            "    10 StoreVarInteger  A=1 X=1\n"
            "    11 Jump             A=16\n"
            "    12 PushVar          A=1\n"
            "    13 PushInteger      A=1\n"
            "    14 OperAdd\n"
            "    15 VarTest          A=16 X=2\n"
            "    16 PushVar\n"
            "    17 Ret\n");
}

TEST_F(BasicScriptTest, ShortBooleanEvalSkipsTheRightOperandOnlyWhenSwitchedOn) {
  const char* program =
      "function side(v)\n  Counter = Counter + 1\n  side = v\nend function\n"
      "x = True or side(False)\ny = False and side(True)\nz = False or side(True)\n"
      "echo(x & y & z & Counter)\n";
  EXPECT_EQ(Run(program), "-10-13\n");
  TestCompileContext fresh;
  fresh.short_boolean_eval = true;
  // The operator still runs when the left operand does not decide.
  EXPECT_EQ(CompileAndRun(fresh, program), "TrueFalse-11\n");
  BasicScript compiler;
  CompiledCode code;
  StringList lines;
  lines.SetText("x = 1 or 2\n");
  compiler.Compile(lines, fresh, code);
  const std::string listing = Disassemble(code.Instructions);
  EXPECT_EQ(listing.substr(listing.find("     2 ")),
            "     2 PushInteger      A=1\n"
            "     3 TestIfTrue       A=6\n"
            "     4 PushInteger      A=2\n"
            "     5 OperOr\n"
            "     6 StoreVar         A=1 S='x'\n"
            "     7 PushVar\n"
            "     8 Ret\n");
}

TEST_F(BasicScriptTest, RoutineTableDescribesArgumentsLocalsAndResults) {
  Listing(
      "dim g\nfunction f(byref a, b)\n  dim c\n  f = a\nend function\nsub s forward\n"
      "sub s\n  exit sub\nend sub\nx = 1\n");
  const ScriptInfo& info = code_.Info;
  ASSERT_EQ(info.Globals.size(), 1u);
  EXPECT_TRUE(info.Globals[0].Global);
  const RoutineInfo* f = info.FindRoutine("F");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->IsFunction);
  EXPECT_EQ(f->ArgCount, 2);
  EXPECT_EQ(f->ByRefArgMask, 1u);
  ASSERT_EQ(f->Variables.size(), 4u);
  EXPECT_EQ(f->Variables[0].Modifier, moVar);
  EXPECT_EQ(f->Variables[1].ArgIndex, 1);
  EXPECT_EQ(f->Variables[2].VarName, "f");
  EXPECT_EQ(f->ResultIndex, 2);
  EXPECT_EQ(f->Variables[3].VarName, "c");
  EXPECT_EQ(code_.Instructions[static_cast<size_t>(f->Entry)].Op, opPrepare);
  EXPECT_EQ(code_.Instructions[static_cast<size_t>(f->Entry)].A, 2);
  ASSERT_NE(info.FindRoutine("#s"), nullptr);
  EXPECT_EQ(info.FindRoutine("#s")->Entry, -1);
  EXPECT_GE(info.FindRoutine("s")->Entry, 0);
  const RoutineInfo* main = info.FindRoutine("___MAIN___");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->Variables[static_cast<size_t>(main->ResultIndex)].VarName, "Main");
  EXPECT_EQ(main->Variables[1].VarName, "x");
}

TEST_F(BasicScriptTest, CompileErrorsNameTheFaultAndItsPlace) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dim a, a\n", "Redeclaration of global identifier 'a' @1,8"},
      {"x = 1\ndim a, b, a\n", "Redeclaration of identifier 'a' @2,11"},
      {"sub s(a, a)\n  a = 1\nend sub\n", "Redeclaration of identifier 'a' @1,10"},
      {"sub s forward\nsub s forward\n", "Illegal redeclaration of routine 's' @2,5"},
      {"sub s\n  x = 1\nend sub\nsub s\n  x = 1\nend sub\n",
       "Illegal reimplementation of routine 's'.\r\nUse forward clause for prototyping @4,5"},
      {"sub s(a) forward\nsub s(byref a)\n  a = 1\nend sub\n",
       "Implementation of routine 's' differs from previous declaration @2,5"},
      {"x = 1\nx\n", "Variable 'x' cannot be called as a function or routine @2,1"},
      {"True = 1\n", "Cannot assign a value to constant 'True' @1,1"},
      {"sub s(a)\n  a = 1\nend sub\ns\n",
       "Not enough actual parameters for subroutine 's'. Expected 1 parameters @4,1"},
      {"sub s\n  a = 1\nend sub\ns(1)\n",
       "Too many parameters for subroutine 's'. Expected 0 parameters @4,1"},
      {"sub s\n  a = 1\nend sub\ns = 1\n", "Assign to routine 's' is not allowed @4,1"},
      {"function f\n  f = 1\nend function\nx = f[1]\n",
       "Call indexation as an array is not supported @4,5"},
      {"echo(1, 2)\n", "Too many parameters for method 'echo'. Expected 1 parameters @1,1"},
      {"x = Add(1)\n", "Not enough actual parameters for method 'Add'. Expected 2 parameters @1,5"},
      {"x = Missing()\n", "Method 'Missing' was not defined @1,5"},
      {"x = echo(1)\n", "Method 'echo' not result any value @1,5"},
      {"x = Add(1, 2).Name\n", "Method 'Add' not result an object @1,5"},
      {"echo = 1\n", "Assign to method 'echo' is not allowed @1,1"},
      {"x = Add[1]\n", "Method indexation as an array is not supported @1,5"},
      {"x = NewItem(\"a\").Items\n",
       "Invalid array indexing for property 'Items'. Expected 1 dimensions @1,18"},
      {"x = Secret\n", "Property 'Secret' cannot be readed @1,5"},
      {"Answer = 1\n", "Property 'Answer' cannot be written @1,1"},
      {"x = Counter(1)\n", "Property 'Counter' cannot be called as a method @1,5"},
      {"TItem = 1\n", "Invalid use of class reference 'TItem' @1,1"},
      {"x = NewItem(\"a\").Nothing(1)\n", "Unknown member method: 'Nothing' @1,18"},
      {"x = NewItem(\"a\").Nothing\n", "Unknown member identifier: 'Nothing' @1,18"},
      {"x = TItem.Describe()\n", "Object required to access member method: 'Describe' @1,11"},
      {"x = TItem.Name\n", "Object required to access member: 'Name' @1,11"},
      {"x = nothere(1)\n", "Unknown method or routine: 'nothere' @1,5"},
      {"nothere\n", "Unknown method or routine: 'nothere' @1,1"},
      {"exit sub\n", "Invalid EXIT @1,1"},
      {"while 1\n  exit for\nend while\n", "Invalid EXIT @2,3"},
      {"uses Extra, Other\n", "Library not found: Other @1,13"},
      {"x = 1\ny = 2 * * 3\n", "Syntax error @2,9"},
      {"x = 1.\n", "Syntax error @"},
      {"x = .5\n", "Syntax error @"},
      {"a = 1\nb = a < > 2\n", "Syntax error @2,"},
      {"a = 1\nif a then end if\n", "Syntax error @2,"},
      {"x = " + std::string(3000, '(') + "1" + std::string(3000, ')') + "\n",
       "Program nesting is too deep @1,"},
  };
  for (const auto& [source, message] : cases) {
    EXPECT_EQ(ErrorOf(source).rfind(message, 0), 0u) << source << " gave " << ErrorOf(source);
    EXPECT_TRUE(code_.Instructions.empty()) << source;
  }
}

TEST_F(BasicScriptTest, LinesReadAsAnOpenBlockAndThenAsACallAreMatchedOnceEach) {
  // "tryC" opens a try block (a blank in the grammar does not demand white
  // space) that finds no except or finally, and is then read as a call:
  // each line nests in the one before. While the statements nested in the
  // block were matched again for the call, every line doubled the work,
  // and these 60 lines would not have compiled in a lifetime.
  std::string calls;
  std::string echoed;
  for (int i = 0; i < 60; ++i) {
    calls += "tryC\n";
    echoed += "1\n";
  }
  EXPECT_EQ(Run("sub tryC\n  echo(1)\nend sub\n" + calls), echoed);
  // Deeper nests meet the nesting limit.
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "tryC\n";
  EXPECT_EQ(ErrorOf(deep).rfind("Program nesting is too deep @", 0), 0u) << ErrorOf(deep);
}

TEST_F(BasicScriptTest, UnclosedLoopsTooDeepToMatchTwiceAreASyntaxErrorAtTheEnd) {
  // Both forms of do match the lines nested in it; the second finds their
  // outcomes in memory and does not go down again, so these 200 levels do
  // not meet the nesting limit, and the error is where the text ends.
  std::string loops;
  for (int i = 0; i < 200; ++i) loops += "do while x\n";
  EXPECT_EQ(ErrorOf(loops + "z\n"), "Syntax error @202,1");
}

TEST_F(BasicScriptTest, ExplicitDeclarationRefusesImplicitLocals) {
  context_.explicit_declaration = true;
  EXPECT_EQ(ErrorOf("dim a\na = 1\nb = 2\n"), "Undeclared variable 'b' @3,1");
  EXPECT_EQ(ErrorOf("for i = 1 to 2\nnext\n"), "Undeclared variable 'i' @1,5");
}

TEST_F(BasicScriptTest, UsesAndImportsReachTheContextAndAreRecorded) {
  Listing("uses Extra;\nimports Extra\nx = 1\n");
  EXPECT_EQ(context_.used, (std::vector<std::string>{"Extra+", "Extra-"}));
  ASSERT_EQ(code_.UsedUnits.size(), 2u);
  EXPECT_TRUE(code_.UsedUnits[0].DefaultInstance);
  EXPECT_FALSE(code_.UsedUnits[1].DefaultInstance);
}

TEST_F(BasicScriptTest, ResultClassIsRegisteredOnceAndRecordedForLoading) {
  HostClasses& classes = context_.Classes();
  ASSERT_EQ(classes.FindHostClass("TPart"), nullptr);
  EXPECT_EQ(Run("echo(NewPart().Size)\necho(NewPart.Size + 1)\n"), "12\n13\n");
  HostClass* part = classes.FindHostClass("TPart");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->ClassRef(), &TPart::kClassInfo);
  Listing("x = NewPart().Size\n");
  EXPECT_TRUE(code_.ClassRefs.empty());  // Registered by the earlier compile.

  TestCompileContext fresh;
  BasicScript compiler;
  CompiledCode code;
  StringList lines;
  lines.SetText("x = NewPart().Size\ny = NewPart().Size\n");
  compiler.Compile(lines, fresh, code);
  ASSERT_EQ(code.ClassRefs.size(), 1u);
  HostClass* output = fresh.Classes().FindHostClass("TOutput");
  EXPECT_EQ(code.ClassRefs[0].ClassIndex, fresh.Classes().IndexOf(output));
  EXPECT_TRUE(code.ClassRefs[0].MemberIsMethod);
  EXPECT_EQ(&output->Method(code.ClassRefs[0].MemberIndex), output->FindMethod("NewPart"));
}

TEST_F(BasicScriptTest, MembersOfReturnedObjectsBindLateWhenAskedTo) {
  context_.resolve_at_run_time = true;
  EXPECT_NE(Listing("x = NewItem(\"a\").Name\n").find("CallProc         A=-1 Y=1 S='Name'"),
            std::string::npos);
  EXPECT_EQ(Run("echo(NewItem(\"late\").Describe())\n"), "late=0\n");
}

TEST_F(BasicScriptTest, ReservedWordIsAcceptedAsAMemberName) {
  EXPECT_NE(Listing("x = AnyItem(\"a\")\nx.end = 1\n").find("S='end'"), std::string::npos);
  EXPECT_EQ(ErrorOf("end = 1\n"), "Syntax error @1,4");
}

TEST_F(BasicScriptTest, RuntimeErrorsCarryTheLineAndColumnOfTheirInstruction) {
  const std::string output = Run("x = 1\ny = 0\n\n  z = x div y\n");
  EXPECT_NE(output.find("Source position: 4,9"), std::string::npos) << output;
}

TEST_F(BasicScriptTest, ACompilerCompilesAgainAfterAnError) {
  EXPECT_EQ(ErrorOf("x = \n"), "Syntax error @2,1");
  EXPECT_EQ(Run("echo(\"again\")\n"), "again\n");
}

// Two default instances attached after Output, as libraries are: the
// earlier has a property Kind and a method Which, the later a method Kind
// and a method Which.
class TOlder : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static constexpr ClassInfo kClassInfo = {"TOlder", &TObject::kClassInfo, {}};
};
class TNewer : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static constexpr ClassInfo kClassInfo = {"TNewer", &TObject::kClassInfo, {}};
};
void SayNewer(VirtualMachine& machine) { machine.SetResult(Variant("newer method")); }
void SayOlder(VirtualMachine& machine) { machine.SetResult(Variant("older method")); }

TEST_F(BasicScriptTest, LaterDefaultInstanceShadowsAnEarlierOneAndPropertiesGoBeforeMethods) {
  HostClass& older = context_.Classes().RegisterHostClass(&TOlder::kClassInfo);
  older.RegisterMethod("Which", 0, false, HostHandler::Of<&SayOlder>(), nullptr, vkString);
  older.RegisterConstant("Kind", Variant("older property"));
  HostClass& newer = context_.Classes().RegisterHostClass(&TNewer::kClassInfo);
  newer.RegisterMethod("Which", 0, false, HostHandler::Of<&SayNewer>(), nullptr, vkString);
  newer.RegisterMethod("Kind", 0, false, HostHandler::Of<&SayNewer>(), nullptr, vkString);
  TOlder older_object;
  TNewer newer_object;
  context_.Objects().Add("Older", &older_object, &older);
  context_.Objects().Add("Newer", &newer_object, &newer);
  EXPECT_EQ(Run("echo(Which())\necho(Kind)\n"), "newer method\nolder property\n");
}

TEST_F(BasicScriptTest, SubUsedAsAValueGivesNullNotAStaleSlot) {
  EXPECT_EQ(Run("sub s\n  t = 99\n  u = t + 1\nend sub\nx = s()\necho(x = Null)\n"
                "echo(\"[\" & s & \"]\")\n"),
            "True\n[]\n");
}

TEST_F(BasicScriptTest, LargeIntegerLiteralsKeepTheirValue) {
  EXPECT_EQ(Run("echo(3000000000 + 1)\necho(0xFFFFFFFF)\necho(0x123456789)\n"),
            "3000000001\n-1\n591751049\n");
}

}  // namespace
}  // namespace vantrel::test
