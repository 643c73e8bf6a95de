#include "script/errors/script_errors.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ScriptErrorsTest, FamiliesPutTheirPrefixBeforeTheText) {
  ScriptRuntimeError runtime("Division by zero");
  EXPECT_EQ(runtime.Message(), "RUNTIME ERROR\r\nDivision by zero");
  EXPECT_EQ(runtime.Text(), "Division by zero");
  EXPECT_STREQ(runtime.ClassName(), "ScriptRuntimeError");
  EXPECT_EQ(ScriptInternalError("x").Message(), "INTERNAL ERROR\r\nx");
  EXPECT_EQ(ScriptInfoError("x").Message(), "ScriptInfo ERROR\r\nx");
  EXPECT_EQ(ScriptDefinitionError("x").Message(), "Definition ERROR\r\nx");
}

TEST(ScriptErrorsTest, CompileErrorEndsWithTheSourcePosition) {
  CompileError error("Syntax error", 3, 14);
  EXPECT_EQ(error.Message(), "Syntax error.\r\nSource position: 3,14");
  EXPECT_EQ(error.Row(), 3);
  EXPECT_EQ(error.Col(), 14);
}

}  // namespace
}  // namespace vantrel
