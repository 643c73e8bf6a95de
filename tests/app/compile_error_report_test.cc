#include "app/compile_error_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using ::testing::ElementsAre;

TEST(CompileErrorReportTest, ShowsOnlyTheProgramLinesThatExistAroundTheError) {
  const StringList program{"one", "two", "three", "four", "five"};
  EXPECT_THAT(CompileErrorReport(program, "Syntax error", 1, 4),
              ElementsAre("Syntax error: line 1 col 4", ">>>one", "two", "three"));
  EXPECT_THAT(CompileErrorReport(program, "m", 5, 1),
              ElementsAre("m: line 5 col 1", "three", "four", ">>>five"));
  EXPECT_THAT(CompileErrorReport(program, "m", 2147483647, 1),
              ElementsAre("m: line 2147483647 col 1"));
}

}  // namespace
}  // namespace vantrel
