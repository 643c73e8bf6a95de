// The scripter: compiling and running its default script, the refusals
// while a script runs, compile-error reports, variables by name, halting,
// and libraries made of script files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "script/errors/script_errors.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"
#include "script/values/variant_array.h"
#include "tests/script/assembler.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

StringList Lines(std::string_view text) {
  StringList lines;
  lines.SetText(text);
  return lines;
}

// A host function of the internal object that runs `action` in the middle
// of a script run.
class ProbedScripter : public ::testing::Test {
 protected:
  ProbedScripter() {
    scripter_.InternalClass().RegisterMethod(
        "probe", 0, false, HostHandler::Of<&ProbedScripter::Probe>(this), nullptr, vkNone);
  }
  void Probe(VirtualMachine&) {
    if (probe_) probe_();
  }
  // Registers "probe" again, to run other_probe_.
  void RegisterOtherProbe() {
    scripter_.InternalClass().RegisterMethod(
        "probe", 0, false, HostHandler::Of<&ProbedScripter::OtherProbe>(this), nullptr, vkNone);
  }
  void OtherProbe(VirtualMachine&) {
    if (other_probe_) other_probe_();
  }
  Variant Run(std::string_view source) {
    scripter_.SetSourceCode(Lines(source));
    return scripter_.Execute();
  }
  // The message of the exception `action` raises; "" when none.
  template <class Error>
  static std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const Error& error) {
      return error.Message();
    }
    return "";
  }

  BasicScripter scripter_;
  std::function<void()> probe_;
  std::function<void()> other_probe_;
};

// Programs assembled by hand, run through the scripter.
TEST_F(ProbedScripter, RunLeavingNoValueGivesNullAndTwoValuesAnArrayFromZero) {
  test::Assembler none;
  none.Emit(opGlobalPrepare, 0);
  none.Emit(opPrepare, 0).S = "___MAIN___";
  none.Emit(opRet);
  CompiledCode code;
  code.Instructions = none.Code();
  scripter_.DefaultScript().LoadCompiledCode(std::move(code));
  EXPECT_TRUE(scripter_.Execute().IsNull());

  test::Assembler two;
  two.Emit(opGlobalPrepare, 0);
  two.Emit(opPrepare, 0).S = "___MAIN___";
  two.Emit(opPushInteger, 10);
  two.Emit(opPushInteger, 20);
  two.Emit(opRet);
  CompiledCode pair;
  pair.Instructions = two.Code();
  scripter_.DefaultScript().LoadCompiledCode(std::move(pair));
  Variant result = scripter_.Execute();
  ASSERT_TRUE(result.IsArray());
  const VariantArray& array = result.ArrayValue();
  ASSERT_EQ(array.ElementCount(), 2u);
  EXPECT_EQ(array.Elements()[0].ToInteger(), 10);
  EXPECT_EQ(array.Elements()[1].ToInteger(), 20);
}

// Code kept as a run linked it and loaded again later: it runs in its own
// copy (the code it was copied from is gone), its globals start afresh, and
// its host calls reach what the host holds now, here a method registered
// again with another handler.
TEST_F(ProbedScripter, LinkedCodeLoadedAgainRunsInItsOwnCopyBoundToTheHostAsItIsNow) {
  int first = 0;
  int second = 0;
  probe_ = [&] { ++first; };
  other_probe_ = [&] { ++second; };
  Script& script = scripter_.DefaultScript();
  EXPECT_EQ(
      Run("dim g\r\ng = g + 1\r\nfor i = 1 to 3\r\n  probe()\r\nnext\r\nmain = g").ToInteger(), 1);
  ASSERT_TRUE(script.Prepared());
  CompiledCode kept = script.Code();
  RebaseLinks(kept.Instructions, script.Code().Instructions.data());
  script.Clear();

  RegisterOtherProbe();
  for (int run = 1; run <= 2; ++run) {
    script.LoadLinkedCode(kept);
    EXPECT_EQ(scripter_.Execute().ToInteger(), 1);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 3 * run);
  }
}

TEST_F(ProbedScripter, HaltFromAnotherThreadEndsAnEndlessLoopAndTheScripterStaysUsable) {
  test::Assembler endless;
  endless.Emit(opGlobalPrepare, 0);
  endless.Emit(opPrepare, 0).S = "___MAIN___";
  endless.Emit(opJump, 2);
  CompiledCode code;
  code.Instructions = endless.Code();
  scripter_.DefaultScript().LoadCompiledCode(std::move(code));
  std::thread runner([this] { scripter_.Execute(); });
  while (!scripter_.IsRunning()) std::this_thread::yield();
  scripter_.Halt();
  runner.join();
  EXPECT_FALSE(scripter_.IsRunning());
  EXPECT_EQ(Run("main = 1").ToInteger(), 1);
}

TEST_F(ProbedScripter, DefaultScriptMissingIsAnInternalError) {
  scripter_.Scripts().Remove(&scripter_.DefaultScript());
  EXPECT_EQ(MessageOf<ScriptInternalError>([&] { scripter_.Execute(); }),
            "INTERNAL ERROR\r\nDefault script is not available");
  EXPECT_EQ(MessageOf<ScriptInternalError>([&] { scripter_.SetSourceCode(Lines("x = 1")); }),
            "INTERNAL ERROR\r\nDefault script is not available");
}

// ---- Basic programs. ----

TEST_F(ProbedScripter, InputPassesNoneOneOrEveryElementAsArguments) {
  scripter_.SetSourceCode(
      Lines("function pair(a, b)\r\n  pair = a & \"|\" & b\r\nend function\r\n"
            "function one(a)\r\n  one = \"<\" & a & \">\"\r\nend function\r\n"
            "main = 7"));
  EXPECT_EQ(scripter_.Execute().ToInteger(), 7);
  EXPECT_EQ(
      scripter_.ExecuteRoutine("pair", Variant::ArrayOf({Variant("x"), Variant("y")})).ToString(),
      "x|y");
  EXPECT_EQ(scripter_.ExecuteRoutine("ONE", Variant("abc")).ToString(), "<abc>");
  EXPECT_EQ(MessageOf<ScriptRuntimeError>([&] { scripter_.ExecuteRoutine("nope", Variant()); }),
            "RUNTIME ERROR\r\nSubroutine 'nope' does not exist in script");
}

TEST_F(ProbedScripter, RoutineRunWithAnotherArgumentCountIsRefusedAndTouchesNoGlobal) {
  scripter_.SetSourceCode(
      Lines("dim g\r\nsub two(a, b)\r\n  a = \"a\"\r\n  b = \"b\"\r\nend sub\r\n"
            "g = \"kept\""));
  scripter_.Execute();
  EXPECT_EQ(MessageOf<ScriptRuntimeError>([&] { scripter_.ExecuteRoutine("two", Variant(1)); }),
            "RUNTIME ERROR\r\nNot enough actual parameters for subroutine 'two'. Expected 2 "
            "parameters");
  const std::vector<Variant> three{Variant(1), Variant(2), Variant(3)};
  EXPECT_EQ(MessageOf<ScriptRuntimeError>([&] { scripter_.ExecuteRoutine("TWO", three); }),
            "RUNTIME ERROR\r\nToo many parameters for subroutine 'two'. Expected 2 parameters");
  EXPECT_EQ(scripter_.DefaultScript().GlobalValue("g").ToString(), "kept");
  EXPECT_FALSE(scripter_.IsRunning());
}

TEST_F(ProbedScripter, ReferenceValuesArePassedByReferenceToByRefParametersOnly) {
  scripter_.SetSourceCode(
      Lines("sub bump(byref n)\r\n  n = n + 1\r\nend sub\r\n"
            "sub keep(n)\r\n  bump(n)\r\nend sub\r\nmain = 0"));
  Variant counter(41);
  scripter_.ExecuteRoutine("bump", std::vector<Variant>{Variant::ReferenceTo(&counter)});
  EXPECT_EQ(counter.ToInteger(), 42);
  // keep's parameter is its own copy, even of a variable passed by reference.
  scripter_.ExecuteRoutine("keep", std::vector<Variant>{Variant::ReferenceTo(&counter)});
  EXPECT_EQ(counter.ToInteger(), 42);
}

TEST_F(ProbedScripter, BeforeExecuteNamesTheRoutineOrNothingForTheMainBlock) {
  std::vector<std::string> calls;
  scripter_.SetOnBeforeExecute(
      [&](VirtualMachine&, std::string_view routine) { calls.emplace_back(routine); });
  scripter_.SetSourceCode(Lines("sub s\r\n  probe()\r\nend sub\r\nmain = 1"));
  scripter_.Execute();
  scripter_.ExecuteRoutine("s", Variant());
  EXPECT_EQ(calls, (std::vector<std::string>{"", "s"}));
}

TEST_F(ProbedScripter, CompileErrorMessageEndsWithTheSourcePosition) {
  scripter_.SetSourceCode(Lines("x = 1\r\ny = (\r\n"));
  try {
    scripter_.Compile();
    FAIL() << "expected a compile error";
  } catch (const CompileError& error) {
    EXPECT_EQ(error.Message(), error.Text() + ".\r\nSource position: " +
                                   std::to_string(error.Row()) + "," + std::to_string(error.Col()));
    EXPECT_GE(error.Row(), 2);
  }
  EXPECT_FALSE(scripter_.Compiled());
}

TEST_F(ProbedScripter, CompileErrorHandlerCanRewordOrSilenceTheError) {
  int calls = 0;
  bool show = true;
  scripter_.SetOnCompileError([&](CustomScripter&, std::string& msg, int row, int, bool& show_it) {
    ++calls;
    EXPECT_GT(row, 0);
    msg = "Reworded";
    show_it = show;
  });
  scripter_.SetSourceCode(Lines("y = ("));
  try {
    scripter_.Compile();
    FAIL() << "expected a compile error";
  } catch (const CompileError& error) {
    EXPECT_EQ(error.Text(), "Reworded");
  }
  show = false;
  EXPECT_THROW(scripter_.Compile(), ScriptAbort);
  EXPECT_EQ(calls, 2);
}

TEST_F(ProbedScripter, RunningScriptRefusesSourceCompileAndClearChanges) {
  std::string source_error, compile_error, compiled_error, clear_error;
  probe_ = [&] {
    source_error =
        MessageOf<ScripterFatalError>([&] { scripter_.SetSourceCode(Lines("main = 2")); });
    compile_error = MessageOf<ScripterFatalError>([&] { scripter_.Compile(); });
    compiled_error = MessageOf<ScripterFatalError>([&] { scripter_.SetCompiled(false); });
    clear_error = MessageOf<ScripterFatalError>([&] { scripter_.ClearScripts(); });
  };
  EXPECT_EQ(Run("probe()\r\nmain = 1").ToInteger(), 1);
  EXPECT_EQ(source_error, "Cannot change script source code while script is running.");
  EXPECT_EQ(compile_error, "Cannot compile script while script is running.");
  EXPECT_EQ(compiled_error, "Cannot change compiled property while script is running.");
  EXPECT_EQ(clear_error, "Cannot clear script while script is running.");
  EXPECT_EQ(scripter_.SourceCode(), Lines("probe()\r\nmain = 1")) << "the old source stays";
  EXPECT_TRUE(scripter_.Compiled());
}

TEST_F(ProbedScripter, GlobalsKeepTheirValueBetweenRunsUntilRecompiled) {
  scripter_.SetSourceCode(Lines("public g\r\ng = g & \"x\"\r\nmain = g"));
  EXPECT_EQ(scripter_.Execute().ToString(), "x");
  EXPECT_EQ(scripter_.Execute().ToString(), "xx");
  scripter_.SetSourceCode(scripter_.SourceCode());
  EXPECT_FALSE(scripter_.Compiled());
  EXPECT_EQ(scripter_.Execute().ToString(), "x");
}

TEST_F(ProbedScripter, ChangingTheSourceEmptiesTheCodeBuffer) {
  scripter_.CodeBuffer() = "stale";
  scripter_.SetSourceCode(Lines("main = 1"));
  EXPECT_TRUE(scripter_.CodeBuffer().empty());
}

TEST_F(ProbedScripter, LocalsByNameOnlyWhileTheirRoutineRuns) {
  Script& script = scripter_.DefaultScript();
  std::string read_other, write_other;
  Variant seen;
  int probes = 0;
  probe_ = [&] {
    if (probes++ == 0) {
      seen = script.VariableValue("X", "f");
      script.SetVariableValue("x", Variant(100), "f");
    } else {
      read_other = MessageOf<ScriptInfoError>([&] { script.VariableValue("x", "f"); });
      write_other =
          MessageOf<ScriptInfoError>([&] { script.SetVariableValue("x", Variant(1), "f"); });
    }
  };
  Variant result =
      Run("public g\r\n"
          "function f(a)\r\n  dim x\r\n  x = a + 1\r\n  probe()\r\n  f = x\r\nend function\r\n"
          "sub other\r\n  probe()\r\nend sub\r\n"
          "g = 5\r\nmain = f(2)\r\nother()");
  EXPECT_EQ(seen.ToInteger(), 3);
  EXPECT_EQ(result.ToInteger(), 100);
  EXPECT_EQ(read_other,
            "ScriptInfo ERROR\r\nVariable 'x' of routine 'f' is not available during execution of "
            "routine 'other'");
  EXPECT_EQ(
      write_other,
      "ScriptInfo ERROR\r\nVariable 'x' is not available during execution of routine 'other'");
  EXPECT_EQ(MessageOf<ScriptInfoError>([&] { script.VariableValue("x", "f"); }),
            "ScriptInfo ERROR\r\nVariable 'x' is only available while routine 'f' is running");
  EXPECT_EQ(script.VariableValue("g").ToInteger(), 5) << "globals stay readable after the run";
  script.SetVariableValue("G", Variant(9));
  EXPECT_EQ(script.VariableValue("g").ToInteger(), 9);
}

TEST_F(ProbedScripter, ConstantRegisteredTwiceHoldsTheLatestValue) {
  scripter_.RegisterConstant("peerIP", Variant("10.0.0.1"));
  scripter_.RegisterConstant("PeerIP", Variant("10.0.0.2"));
  EXPECT_EQ(Run("main = peerip").ToString(), "10.0.0.2");
}

TEST_F(ProbedScripter, UsesOfAnUnknownLibraryNamesIt) {
  scripter_.SetSourceCode(Lines("uses NoSuchLibrary\r\nmain = 1"));
  try {
    scripter_.Compile();
    FAIL() << "expected an error";
  } catch (const Exception& error) {
    EXPECT_NE(error.Message().find("Library 'NoSuchLibrary' not found"), std::string::npos)
        << error.Message();
  }
}

class ScriptFileLibraryTest : public ProbedScripter {
 protected:
  ScriptFileLibraryTest() {
    ScripterLibraryOptions& options = scripter_.LibOptions();
    options.SearchPath = StringList{dir_.Path()};
    options.UseScriptFiles = true;
  }
  test::TempDir dir_;
};

TEST_F(ScriptFileLibraryTest, RoutinesAndGlobalsOfAScriptFileBecomeMembers) {
  dir_.Write("mylib.bsc",
             "public counter\r\n"
             "function twice(x)\r\n  twice = x * 2\r\nend function\r\n"
             "sub bump(byref n)\r\n  n = n + 1\r\nend sub\r\n");
  Variant result =
      Run("uses mylib\r\n"
          "dim v\r\nv = 1\r\nbump(v)\r\ncounter = v\r\n"
          "main = twice(v) + mylib.twice(counter)");
  EXPECT_EQ(result.ToInteger(), 8);
  // Compiling again finds the file already loaded and keeps one script of it.
  int scripts = scripter_.Scripts().Count();
  scripter_.Compile();
  EXPECT_EQ(scripter_.Scripts().Count(), scripts);
  // Clearing the scripts drops the library; the next compile makes it again.
  scripter_.ClearScripts();
  EXPECT_EQ(scripter_.Execute().ToInteger(), 8);
  EXPECT_EQ(scripter_.Scripts().Count(), scripts);
}

TEST_F(ScriptFileLibraryTest, RemovedLibraryScriptIsLoadedAgain) {
  dir_.Write("mylib.bsc", "function one\r\n  one = 1\r\nend function\r\n");
  EXPECT_EQ(Run("uses mylib\r\nmain = one()").ToInteger(), 1);
  ASSERT_EQ(scripter_.Scripts().Count(), 2);
  scripter_.Scripts().Remove(&scripter_.Scripts()[1]);
  EXPECT_EQ(scripter_.FindLibrary("mylib"), nullptr) << "its library went with it";
  EXPECT_EQ(Run("uses mylib\r\nmain = one() + 1").ToInteger(), 2);
}

TEST_F(ScriptFileLibraryTest, SameRoutineNameInTwoLibrariesCallsEachOwn) {
  dir_.Write("alib.bsc", "function name\r\n  name = \"a\"\r\nend function\r\n");
  dir_.Write("blib.bsc", "function name\r\n  name = \"b\"\r\nend function\r\n");
  EXPECT_EQ(Run("uses alib, blib\r\nmain = alib.name() & blib.name()").ToString(), "ab");
}

// A library that used itself, directly or through another, was compiled
// again inside its own compilation until the stack overflowed.
TEST_F(ScriptFileLibraryTest, LibrariesThatUseThemselvesAreACompileErrorNamingTheChain) {
  dir_.Write("selfish.bsc", "uses selfish\r\nfunction one\r\n  one = 1\r\nend function\r\n");
  dir_.Write("ping.bsc", "uses pong\r\nfunction a\r\n  a = 1\r\nend function\r\n");
  dir_.Write("pong.bsc", "uses ping\r\nfunction b\r\n  b = 2\r\nend function\r\n");
  for (const auto& [used, chain] :
       {std::pair{"selfish", "selfish -> selfish"}, std::pair{"ping", "ping -> pong -> ping"}}) {
    scripter_.SetSourceCode(Lines(std::string("uses ") + used + "\r\nmain = 1"));
    try {
      scripter_.Compile();
      ADD_FAILURE() << used << ": expected a compile error";
    } catch (const CompileError& error) {
      EXPECT_NE(error.Text().find(std::string("uses itself: ") + chain), std::string::npos)
          << error.Text();
    }
  }
  // The scripter works on.
  dir_.Write("pong.bsc", "function b\r\n  b = 2\r\nend function\r\n");
  EXPECT_EQ(Run("uses ping\r\nmain = a() + pong.b()").ToInteger(), 3);
}

TEST_F(ScriptFileLibraryTest, CompileErrorInALibraryFileNamesTheLibrary) {
  dir_.Write("broken.bsc", "sub s(\r\n");
  scripter_.SetSourceCode(Lines("uses broken\r\nmain = 1"));
  try {
    scripter_.Compile();
    FAIL() << "expected a compile error";
  } catch (const CompileError& error) {
    EXPECT_EQ(error.Text().rfind("File library broken: ", 0), 0u) << error.Text();
  }
  dir_.Write("broken.bsc", "sub s\r\n  dim y\r\n  y = 1\r\nend sub\r\n");
  EXPECT_EQ(Run("uses broken\r\nmain = 1").ToInteger(), 1) << "a failed load is not remembered";
}

}  // namespace
}  // namespace vantrel
