#include "base/format.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(FormatTest, FillsTextAndNumbersInOrder) {
  EXPECT_EQ(Format("Serving file %s (%d bytes / %d bytes sent) to %s:%d",
                   {"/w/a.txt", 10, 10LL, std::string("127.0.0.1"), 5001}),
            "Serving file /w/a.txt (10 bytes / 10 bytes sent) to 127.0.0.1:5001");
  EXPECT_EQ(Format("100%% of %d", {-3}), "100% of -3");
}

TEST(FormatTest, MissingArgumentsAndUnknownSpecifiersStayAsWritten) {
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(Format("%x %", {"unused"}), "%x %");
  EXPECT_EQ(Format("a %s", {"%d"}), "a %d");  // Arguments are not formatted again.
}

}  // namespace
}  // namespace vantrel
