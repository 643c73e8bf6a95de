#include "script/values/lenient_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/script/variant_printer.h"

namespace vantrel {
namespace {

using test::Outcome;

struct LenientCase {
  Variant value;
  std::string as_integer;  // Describe() of the result, or the error.
  std::string as_float;
};

TEST(LenientConversionTest, ReadsWhatHostFunctionsAreGiven) {
  int object = 0;
  const std::vector<LenientCase> cases = {
      {"2,5", "Integer 2", "Double 2.5"},
      {"3,5", "Integer 4", "Double 3.5"},
      {"2.5", "Integer 2", "Double 2.5"},
      {" 7 ", "Integer 7", "Double 7"},
      {"1,5e1", "Integer 15", "Double 15"},
      {"two", "Integer 0", "Double 0"},
      {"", "Integer 0", "Double 0"},
      {"1,234.5", "Integer 0", "Double 0"},
      {true, "Integer 1", "Double 1"},
      {false, "Integer 0", "Double 0"},
      {Variant::Null(), "Integer 0", "Double 0"},
      {Variant(), "Integer 0", "Double 0"},
      {2.5, "Integer 2", "Double 2.5"},
      {Variant::Date(3.5), "Integer 4", "Double 3.5"},
      {Variant::Byte(7), "Integer 7", "Double 7"},
      {Variant::Object(reinterpret_cast<TObject*>(&object)), "Integer 1", "Double 1"},
      {1e10, "VariantOverflowError: Variant overflow", "Double 10000000000"},
      {"1e999", "VariantOverflowError: Variant overflow", "VariantOverflowError: Variant overflow"},
      {Variant::ArrayOf({}),
       "VariantTypeCastError: Could not convert variant of type (Array) into type (Integer)",
       "VariantTypeCastError: Could not convert variant of type (Array) into type (Double)"},
  };
  for (const LenientCase& c : cases) {
    EXPECT_EQ(Outcome([&] { return Variant(LenientToInteger(c.value)); }), c.as_integer)
        << Describe(c.value);
    EXPECT_EQ(Outcome([&] { return Variant(LenientToFloat(c.value)); }), c.as_float)
        << Describe(c.value);
  }
}

TEST(LenientConversionTest, NullReadsAsEmptyText) {
  EXPECT_EQ(LenientToString(Variant::Null()), "");
  EXPECT_EQ(LenientToString(true), "True");
  EXPECT_EQ(LenientToString(2.5), "2.5");
  Variant target = Variant::Null();
  EXPECT_EQ(LenientToString(Variant::ReferenceTo(&target)), "");
  EXPECT_THROW(LenientToString(Variant::ArrayOf({})), VariantTypeCastError);
}

}  // namespace
}  // namespace vantrel
