// Interpret seen from the host: when it may run, the temporary scripts it
// makes, the compile-error event and halting. What scripts see of it is in
// library_golden/interpret.bas.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "tests/script/library_test_scripter.h"

namespace vantrel::test {
namespace {

class InterpretTest : public ::testing::Test {
 protected:
  InterpretTest() {
    scripter_.InternalClass().RegisterMethod(
        "probe", 0, false, HostHandler::Of<&InterpretTest::Probe>(this), nullptr, vkNone);
  }
  void Probe(VirtualMachine&) {
    if (probe_) probe_();
  }

  LibraryTestScripter scripter_;
  std::function<void()> probe_;
};

TEST_F(InterpretTest, OutsideARunIsRefused) {
  auto* library = dynamic_cast<SystemLibrary*>(scripter_.FindLibrary("Internal"));
  ASSERT_NE(library, nullptr);
  try {
    system_functions::Interpret(*library, scripter_.DefaultScript().CurrentMachine());
    FAIL() << "expected an internal error";
  } catch (const ScriptInternalError& error) {
    EXPECT_EQ(error.Message(), "INTERNAL ERROR\r\nScript is not running for debug");
  }
}

TEST_F(InterpretTest, TemporaryScriptIsFreedAndItsCompileErrorsSkipTheEvent) {
  int events = 0;
  scripter_.SetOnCompileError([&](CustomScripter&, std::string&, int, int, bool& show) {
    ++events;
    show = false;
  });
  int inside = 0;
  probe_ = [&] { inside = scripter_.Scripts().Count(); };
  const std::string output = scripter_.Run(
      "Interpret(\"probe()\")\r\n"
      "try\r\n  Interpret(\"x = 1 div 0\")\r\nexcept\r\nend\r\n"
      "echo(\"ran\")\r\n"
      "Interpret(\"x = )\")");
  EXPECT_EQ(inside, 2) << "the code runs as a script of the scripter";
  EXPECT_EQ(scripter_.Scripts().Count(), 1);
  EXPECT_EQ(events, 0) << "the compile error would have been silenced";
  EXPECT_EQ(output.substr(0, 4), "ran\n");
  EXPECT_NE(output.find("Syntax error.\nSource position: 1,5 when"), std::string::npos) << output;
}

TEST_F(InterpretTest, HaltInsideInterpretedCodeEndsTheScript) {
  probe_ = [&] { scripter_.Halt(); };
  EXPECT_EQ(scripter_.Run("Interpret(\"probe()  echo(1)\")\r\necho(2)"), "");
  EXPECT_FALSE(scripter_.IsRunning());
  EXPECT_EQ(scripter_.Scripts().Count(), 1);
}

}  // namespace
}  // namespace vantrel::test
