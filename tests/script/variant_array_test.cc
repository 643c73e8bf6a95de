#include "script/values/variant_array.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/script/variant_printer.h"

namespace vantrel {
namespace {

using test::Outcome;

constexpr char kOutOfBounds[] = "VariantIndexError: Variant or safe array index out of bounds";

TEST(VariantArrayTest, ElementsOfEveryIndexAreDistinct) {
  const VariantArrayBounds bounds[] = {{-1, 1}, {2, 3}, {0, 3}};
  Variant value = Variant::ArrayWithBounds(bounds);
  VariantArray& array = value.MutableArray();
  ASSERT_EQ(array.DimCount(), 3);
  ASSERT_EQ(array.ElementCount(), 24u);
  int n = 0;
  for (int i = -1; i <= 1; ++i) {
    for (int j = 2; j <= 3; ++j) {
      for (int k = 0; k <= 3; ++k) {
        EXPECT_TRUE(array.At({i, j, k}).IsUnassigned());
        array.At({i, j, k}) = n++;
      }
    }
  }
  std::set<int> seen;
  for (const Variant& element : array.Elements()) seen.insert(element.RawInteger());
  EXPECT_EQ(seen.size(), 24u);
  EXPECT_EQ(array.At({1, 3, 3}).RawInteger(), 23);
  EXPECT_EQ(array.Bounds(0).low, -1);
  EXPECT_EQ(array.Bounds(2).high, 3);
}

TEST(VariantArrayTest, IndexesOutsideTheBoundsAreRefused) {
  const VariantArrayBounds bounds[] = {{1, 3}, {0, 1}};
  const Variant value = Variant::ArrayWithBounds(bounds);
  const VariantArray& array = value.ArrayValue();
  const std::vector<std::vector<int>> bad = {{0, 0}, {4, 0}, {1, -1}, {1, 2}, {1}, {1, 0, 0}};
  for (const std::vector<int>& indexes : bad) {
    EXPECT_EQ(Outcome([&] { return array.At(indexes); }), kOutOfBounds) << indexes.size();
  }
  EXPECT_EQ(Outcome([&] { return Variant(array.Bounds(2).low); }), kOutOfBounds);
  EXPECT_EQ(Outcome([] { return Variant::ArrayOf({}).ArrayValue().At({0}); }), kOutOfBounds);
}

TEST(VariantArrayTest, ArraysThatCannotBeMade) {
  const std::vector<VariantArrayBounds> six(6, VariantArrayBounds{0, 1});
  EXPECT_EQ(Outcome([&] { return Variant::ArrayWithBounds(six); }),
            "VariantArrayCreateError: Variant arrays with 6 dimensions is still not supported");
  EXPECT_EQ(Outcome([] { return Variant::ArrayWithBounds({}); }),
            "VariantArrayCreateError: Variant arrays with 0 dimensions is still not supported");
  const VariantArrayBounds inverted[] = {{5, 3}};
  EXPECT_EQ(Outcome([&] { return Variant::ArrayWithBounds(inverted); }),
            "VariantArrayCreateError: Error creating variant or safe array");
  // Refused before any memory is asked for.
  const VariantArrayBounds huge[] = {{0, 2'000'000'000}, {0, 2'000'000'000}};
  EXPECT_THROW(Variant::ArrayWithBounds(huge), VariantArrayCreateError);
  const VariantArrayBounds empty[] = {{1, 0}};
  EXPECT_EQ(Variant::ArrayWithBounds(empty).ArrayValue().ElementCount(), 0u);
}

TEST(VariantArrayTest, ChangingACopyLeavesTheOriginal) {
  const Variant original = Variant::ArrayOf({1, Variant::ArrayOf({"inner"})});
  Variant copy = original;
  EXPECT_EQ(&copy.ArrayValue(), &original.ArrayValue());  // Shared until changed.

  copy.MutableArray().At({0}) = 9;
  copy.MutableArray().At({1}).MutableArray().At({0}) = "changed";
  EXPECT_EQ(Describe(original), "Array [Integer 1, Array [String \"inner\", ], ]");
  EXPECT_EQ(Describe(copy), "Array [Integer 9, Array [String \"changed\", ], ]");

  // An array nobody else holds is changed where it is.
  const VariantArray* before = &copy.ArrayValue();
  copy.MutableArray().At({0}) = 10;
  EXPECT_EQ(&copy.ArrayValue(), before);
}

TEST(VariantArrayTest, ArrayOfHasBoundsFromZero) {
  const Variant value = Variant::ArrayOf({"a", "b", "c"});
  EXPECT_EQ(value.ArrayValue().DimCount(), 1);
  EXPECT_EQ(value.ArrayValue().Bounds(0).low, 0);
  EXPECT_EQ(value.ArrayValue().Bounds(0).high, 2);
  EXPECT_EQ(value.ArrayValue().At({2}).StringView(), "c");
  EXPECT_EQ(Variant::ArrayOf({}).ArrayValue().Bounds(0).high, -1);
}

}  // namespace
}  // namespace vantrel
