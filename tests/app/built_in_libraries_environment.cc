// Every gateway the tests make has a page scripter, which attaches the
// built-in libraries from the global library registry: fill it first, as
// the program does at start.
#include <gtest/gtest.h>

#include "script/library/built_in_libraries.h"

namespace vantrel {
namespace {

class BuiltInLibrariesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { RegisterBuiltInLibraries(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new BuiltInLibrariesEnvironment);

}  // namespace
}  // namespace vantrel
