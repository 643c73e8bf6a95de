#include "script/values/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "base/date_time_format.h"
#include "script/values/variant_array.h"
#include "tests/script/variant_printer.h"

namespace vantrel {
namespace {

using test::Outcome;

struct ConversionCase {
  Variant value;
  std::string expected;  // Describe() of the converted value, or the error.
};

std::string CastError(const char* from, const char* to) {
  return std::string("VariantTypeCastError: Could not convert variant of type (") + from +
         ") into type (" + to + ")";
}
constexpr char kOverflow[] = "VariantOverflowError: Variant overflow";

void ExpectConversions(const std::vector<ConversionCase>& cases,
                       const std::function<Variant(const Variant&)>& convert) {
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(Outcome([&] { return convert(c.value); }), c.expected) << Describe(c.value);
  }
}

TEST(VariantTest, ToStringOfEachKind) {
  int object = 0;
  ExpectConversions(
      {
          {Variant(), "String \"\""},
          {true, "String \"True\""},
          {false, "String \"False\""},
          {-42, "String \"-42\""},
          {Variant::Byte(255), "String \"255\""},
          {3.5, "String \"3.5\""},
          {6.0, "String \"6\""},
          {1.0 / 3, "String \"0.333333333333333\""},
          {1e20, "String \"1E20\""},
          {-0.0, "String \"0\""},
          {Variant::Date(1e300), CastError("Date", "String")},
          {Variant::Object(nullptr), "String \"0\""},
          {Variant::Object(reinterpret_cast<TObject*>(&object)), "String \"1\""},
          {Variant::Null(), CastError("Null", "String")},
          {Variant::ArrayOf({1}), CastError("Array", "String")},
      },
      [](const Variant& v) { return Variant(v.ToString()); });
  EXPECT_EQ(Variant::Date(46000.75).ToString(), FormatDateTime("c", 46000.75));
}

TEST(VariantTest, ToIntegerRoundsHalfToEvenAndChecksRange) {
  ExpectConversions(
      {
          {2.5, "Integer 2"},
          {3.5, "Integer 4"},
          {"2.5", "Integer 2"},
          {" 42 ", "Integer 42"},
          {true, "Integer -1"},
          {Variant(), "Integer 0"},
          {Variant::Date(1.75), "Integer 2"},
          {2147483647.4, "Integer 2147483647"},
          {-2147483648.5, "Integer -2147483648"},
          {2147483647.5, kOverflow},
          {1e300, kOverflow},
          {std::numeric_limits<double>::quiet_NaN(), kOverflow},
          {"3000000000", kOverflow},
          {"abc", CastError("String", "Integer")},
          {Variant::Null(), CastError("Null", "Integer")},
      },
      [](const Variant& v) { return Variant(v.ToInteger()); });
}

TEST(VariantTest, ToDoubleReadsOnlyWholeDecimalNumbers) {
  ExpectConversions(
      {
          {"1e3", "Double 1000"},
          {".5", "Double 0.5"},
          {"-5.", "Double -5"},
          {" \t7\r\n", "Double 7"},
          {true, "Double -1"},
          {"", CastError("String", "Double")},
          {"1,5", CastError("String", "Double")},
          {"0x10", CastError("String", "Double")},
          {"inf", CastError("String", "Double")},
          {"1 000", CastError("String", "Double")},
          {"12abc", CastError("String", "Double")},
          {"1e999", kOverflow},
          {Variant::Null(), CastError("Null", "Double")},
      },
      [](const Variant& v) { return Variant(v.ToDouble()); });
}

TEST(VariantTest, ToBooleanAcceptsNamesAndNumbers) {
  ExpectConversions(
      {
          {"true", "Boolean True"},
          {" FALSE ", "Boolean False"},
          {"0", "Boolean False"},
          {"2", "Boolean True"},
          {0.0, "Boolean False"},
          {Variant(), "Boolean False"},
          {"yes", CastError("String", "Boolean")},
          {Variant::Null(), CastError("Null", "Boolean")},
      },
      [](const Variant& v) { return Variant(v.ToBoolean()); });
}

TEST(VariantTest, WideAndDateConversions) {
  EXPECT_EQ(Variant(1099511627776.0).ToInt64Rounded(), 1099511627776);
  EXPECT_EQ(Variant(-2.5).ToInt64Rounded(), -2);
  EXPECT_EQ(Variant("3.5").ToInt64Rounded(), 4);
  EXPECT_THROW(Variant(1e19).ToInt64Rounded(), VariantOverflowError);
  EXPECT_EQ(Variant("2.5").ToDate(), 2.5);
  EXPECT_EQ(Outcome([] { return Variant(Variant("2026-01-01").ToDate()); }),
            CastError("String", "Date"));
}

TEST(VariantTest, CopiesShareCharactersAndMovesLeaveUnassigned) {
  Variant original = "some text";
  Variant copy = original;
  EXPECT_EQ(copy.StringView().data(), original.StringView().data());

  Variant moved = std::move(copy);
  EXPECT_TRUE(copy.IsUnassigned());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(moved.StringView(), "some text");

  Variant& alias = moved;
  moved = alias;  // Self-assignment keeps the text alive.
  moved = std::move(alias);
  EXPECT_EQ(moved.StringView(), "some text");

  moved = 5;  // Dropping the string leaves the other holder's text intact.
  EXPECT_EQ(original.StringView(), "some text");
}

TEST(VariantTest, AssigningAnElementOfItsOwnArray) {
  Variant value = Variant::ArrayOf({"element text", 2});
  value = value.ArrayValue().At({0});
  EXPECT_EQ(Describe(value), "String \"element text\"");

  Variant moved = Variant::ArrayOf({Variant::ArrayOf({"inner"})});
  moved = std::move(moved.MutableArray().At({0}));
  EXPECT_EQ(Describe(moved), "Array [String \"inner\", ]");
}

TEST(VariantTest, ConversionsFollowReferences) {
  Variant target = "12";
  Variant reference = Variant::ReferenceTo(&target);
  EXPECT_EQ(reference.ToInteger(), 12);
  EXPECT_EQ(reference.ToString(), "12");
  EXPECT_EQ(&reference.Dereference(), &target);

  // A broken chain ends the walk instead of looping.
  Variant a;
  Variant b = Variant::ReferenceTo(&a);
  a = Variant::ReferenceTo(&b);
  EXPECT_TRUE(a.Dereference().IsReference());
  EXPECT_EQ(Outcome([&] { return Variant(a.ToDouble()); }), CastError("Reference", "Double"));
  EXPECT_THROW(Variant::ReferenceTo(nullptr).ToString(), VariantTypeCastError);
}

TEST(VariantTest, SettersReleaseTheStringTheyReplace) {
  Variant value = "text";
  value.SetInteger(3);
  EXPECT_EQ(Describe(value), "Integer 3");
  value = Variant::ArrayOf({"x"});
  value.SetBoolean(true);
  EXPECT_EQ(Describe(value), "Boolean True");
  value.SetNull();
  EXPECT_TRUE(value.IsNull());
  // Leaks or double releases would show under the address sanitizer.
}

TEST(VariantTest, StringsHandedBetweenThreadsKeepTheirCount) {
  const Variant shared = std::string(1000, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared] {
      for (int k = 0; k < 20'000; ++k) {
        Variant copy = shared;
        Variant again = copy;
        copy = Variant();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(shared.StringView().size(), 1000u);
  Variant last = shared;
  last.AppendString("y");  // Would change `shared` if the count had dropped to 1.
  EXPECT_EQ(shared.StringView().size(), 1000u);
}

}  // namespace
}  // namespace vantrel
