#include "script/values/variant_operations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "script/values/variant_array.h"
#include "tests/script/variant_printer.h"

namespace vantrel {
namespace {

using test::Outcome;

using BinaryOperator = void (*)(Variant&, const Variant&);

struct BinaryCase {
  const char* what;
  BinaryOperator op;
  Variant left;
  Variant right;
  std::string expected;  // Describe() of the result, or "ErrorClass: message".
};

constexpr char kStringToDouble[] =
    "VariantTypeCastError: Could not convert variant of type (String) into type (Double)";
constexpr char kDivisionByZero[] = "DivisionByZeroError: Division by zero";

std::string Apply(BinaryOperator op, Variant left, const Variant& right) {
  return Outcome([&] {
    op(left, right);
    return left;
  });
}

TEST(VariantOperationsTest, BinaryOperatorsFollowTheValueRules) {
  const Variant null = Variant::Null();
  const Variant empty;
  const std::vector<BinaryCase> cases = {
      {"int + int stays int", VariantAdd, 2, 3, "Integer 5"},
      {"int + int overflows into double", VariantAdd, 2147483647, 1, "Double 2147483648"},
      {"numeric string + int", VariantAdd, "1", 2, "Integer 3"},
      {"fractional string", VariantAdd, "1.5", 2, "Double 3.5"},
      {"whole string beyond 32 bits", VariantAdd, "2147483648", 0, "Double 2147483648"},
      {"string + string joins", VariantAdd, "1", "2", "String \"12\""},
      {"unassigned + string", VariantAdd, empty, "ab", "String \"ab\""},
      {"string + unassigned", VariantAdd, "ab", empty, "String \"ab\""},
      {"unassigned + unassigned", VariantAdd, empty, empty, "Integer 0"},
      {"Null on the left", VariantAdd, null, 1, "Null"},
      {"Null on the right", VariantAdd, "a", null, "Null"},
      {"True counts -1", VariantAdd, true, 1, "Integer 0"},
      {"date + number", VariantAdd, Variant::Date(2.5), 1, "Date 3.5"},
      {"number + date", VariantAdd, 1, Variant::Date(2.5), "Date 3.5"},
      {"non-numeric string", VariantAdd, "abc", 1, kStringToDouble},
      {"empty string is no number", VariantAdd, "", 1, kStringToDouble},
      {"number beyond double", VariantAdd, "1e999", 1, "VariantOverflowError: Variant overflow"},
      {"array", VariantAdd, Variant::ArrayOf({1}), 1,
       "VariantTypeCastError: Could not convert variant of type (Array) into type (Double)"},

      {"int - int", VariantSub, 5, 7, "Integer -2"},
      {"int - int overflows", VariantSub, -2147483647 - 1, 1, "Double -2147483649"},
      {"strings subtract as numbers", VariantSub, "5", "2", "Integer 3"},
      {"date - date is days", VariantSub, Variant::Date(5.5), Variant::Date(2), "Double 3.5"},
      {"date - number is a date", VariantSub, Variant::Date(5), 1, "Date 4"},
      {"Null", VariantSub, null, 1, "Null"},

      {"product is double", VariantMultiply, 2, 3, "Double 6"},
      {"True factor", VariantMultiply, true, 2, "Double -2"},
      {"Null factor", VariantMultiply, null, 2, "Null"},

      {"quotient is double", VariantDivide, 7, 2, "Double 3.5"},
      {"zero divisor", VariantDivide, 1, 0, kDivisionByZero},
      {"zero double divisor", VariantDivide, 1.5, 0.0, kDivisionByZero},
      {"Null before the zero test", VariantDivide, null, 0, "Null"},

      {"div truncates", VariantIntDiv, 7, 2, "Integer 3"},
      {"div truncates toward zero", VariantIntDiv, -7, 2, "Integer -3"},
      {"div rounds operands half to even", VariantIntDiv, 7.5, 2, "Integer 4"},
      {"div of the lowest integer by -1", VariantIntDiv, -2147483647 - 1, -1, "Double 2147483648"},
      {"div by zero", VariantIntDiv, 1, 0, kDivisionByZero},
      {"div by a divisor that rounds to zero", VariantIntDiv, 1, 0.4, kDivisionByZero},
      {"div operand beyond 32 bits", VariantIntDiv, 1e10, 1,
       "VariantOverflowError: Variant overflow"},
      {"div with Null", VariantIntDiv, null, 0, "Null"},

      {"mod", VariantMod, 7, 3, "Integer 1"},
      {"mod takes the dividend's sign", VariantMod, -7, 3, "Integer -1"},
      {"mod of the lowest integer by -1", VariantMod, -2147483647 - 1, -1, "Integer 0"},
      {"mod of a double product", VariantMod, 6.0, 7, "Integer 6"},
      {"mod rounds operands", VariantMod, 2.5, 7, "Integer 2"},
      {"mod by zero", VariantMod, 7, 0, kDivisionByZero},

      {"True or False", VariantOr, true, false, "Integer -1"},
      {"1 and 2", VariantAnd, 1, 2, "Integer 0"},
      {"xor", VariantXor, 5, 3, "Integer 6"},
      {"or rounds doubles", VariantOr, 1.5, 0, "Integer 2"},
      {"or keeps the low 32 bits", VariantOr, 4294967295.0, 0, "Integer -1"},
      {"and of strings", VariantAnd, "12", "10", "Integer 8"},
      {"or with Null", VariantOr, null, 1, "Null"},

      {"shl", VariantShl, 1, 4, "Integer 16"},
      {"shl into the sign bit", VariantShl, 1, 31, "Integer -2147483648"},
      {"shl beyond 32 bits", VariantShl, 1, 32, "Integer 0"},
      {"shl by a negative count", VariantShl, 1, -1, "Integer 0"},
      {"shr", VariantShr, 256, 4, "Integer 16"},
      {"shr is logical on 64 bits", VariantShr, -1, 1, "Integer -1"},
      {"shr by 63", VariantShr, -1, 63, "Integer 1"},

      {"power", VariantPower, 2, 10, "Double 1024"},
      {"power of Null", VariantPower, null, 2, "Null"},

      {"numbers join as text", VariantConcat, 1, 2, "String \"12\""},
      {"double text", VariantConcat, 1.5, "x", "String \"1.5x\""},
      {"Boolean text", VariantConcat, true, "", "String \"True\""},
      {"unassigned is empty text", VariantConcat, empty, 1, "String \"1\""},
      {"Null is empty text", VariantConcat, "a", null, "String \"a\""},
      {"Null on the left", VariantConcat, null, "b", "String \"b\""},
      {"Null & Null stays Null", VariantConcat, null, null, "Null"},
  };
  for (const BinaryCase& c : cases) {
    EXPECT_EQ(Apply(c.op, c.left, c.right), c.expected)
        << c.what << ": " << Describe(c.left) << " with " << Describe(c.right);
  }
}

TEST(VariantOperationsTest, UnaryOperatorsFollowTheValueRules) {
  struct UnaryCase {
    void (*op)(Variant&);
    Variant value;
    std::string expected;
  };
  const std::vector<UnaryCase> cases = {
      {VariantNegate, 5, "Integer -5"},
      {VariantNegate, -2147483647 - 1, "Double 2147483648"},
      {VariantNegate, 2.5, "Double -2.5"},
      {VariantNegate, Variant::Date(2), "Date -2"},
      {VariantNegate, "3", "Integer -3"},
      {VariantNegate, true, "Integer 1"},
      {VariantNegate, Variant(), "Integer 0"},
      {VariantNegate, Variant::Null(), "Null"},
      {VariantNegate, "x", kStringToDouble},
      {VariantNot, 0, "Boolean True"},
      {VariantNot, 5, "Boolean False"},
      {VariantNot, true, "Boolean False"},
      {VariantNot, false, "Boolean True"},
      {VariantNot, 0.4, "Boolean True"},
      {VariantNot, 0.6, "Boolean False"},
      {VariantNot, "0", "Boolean True"},
      {VariantNot, Variant(), "Boolean True"},
      {VariantNot, Variant::Null(), "Null"},
  };
  for (const UnaryCase& c : cases) {
    Variant value = c.value;
    EXPECT_EQ(Outcome([&] {
                c.op(value);
                return value;
              }),
              c.expected)
        << Describe(c.value);
  }
}

// The inline paths for integers and doubles must agree with the general
// rules; going through a reference forces the general ones.
TEST(VariantOperationsTest, InlinePathsAgreeWithTheGeneralRules) {
  const std::vector<Variant> values = {0,   1,    -1,   7,    -7,  2147483647, -2147483647 - 1,
                                       2.5, -3.5, 14.0, 1e10, 0.0, -0.0};
  const std::vector<BinaryOperator> operators = {
      VariantAdd, VariantSub, VariantMultiply, VariantDivide, VariantIntDiv,
      VariantMod, VariantOr,  VariantAnd,      VariantXor,    VariantConcat};
  for (const Variant& a : values) {
    for (const Variant& b : values) {
      for (std::size_t k = 0; k < operators.size(); ++k) {
        Variant a_copy = a;
        Variant b_copy = b;
        EXPECT_EQ(Apply(operators[k], a, b),
                  Apply(operators[k], Variant::ReferenceTo(&a_copy), Variant::ReferenceTo(&b_copy)))
            << "operator " << k << " on " << Describe(a) << ", " << Describe(b);
      }
      Variant a_copy = a;
      EXPECT_EQ(VariantCompare(a, b), VariantCompare(Variant::ReferenceTo(&a_copy), b))
          << Describe(a) << ", " << Describe(b);
    }
    Variant negated = a;
    Variant a_copy = a;
    Variant via_reference = Variant::ReferenceTo(&a_copy);
    VariantNegate(negated);
    VariantNegate(via_reference);
    EXPECT_EQ(Describe(negated), Describe(via_reference)) << Describe(a);
  }
}

TEST(VariantOperationsTest, ComparisonOrdersAcrossKinds) {
  struct CompareCase {
    Variant a;
    Variant b;
    VariantOrder expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int object_a = 0;
  int object_b = 0;
  auto* p = reinterpret_cast<TObject*>(&object_a);
  auto* q = reinterpret_cast<TObject*>(&object_b);
  const VariantOrder less = VariantOrder::kLess;
  const VariantOrder equal = VariantOrder::kEqual;
  const VariantOrder greater = VariantOrder::kGreater;
  const std::vector<CompareCase> cases = {
      {1, 2, less},
      {2.5, 2, greater},
      {2, 2.0, equal},
      {"abc", "abd", less},
      {"a", "B", greater},  // By character codes: case counts.
      {"ab", "abc", less},
      {"\xE9", "z", greater},  // Codes above 127 are not negative.
      {"10", 9, greater},      // Numerically, not as text.
      {"10", "9", less},       // As text.
      {Variant::Null(), Variant::Null(), equal},
      {Variant::Null(), -1e300, less},
      {Variant::Null(), "", less},
      {0, Variant::Null(), greater},
      {Variant::Null(), Variant(), less},
      {Variant(), 0, equal},
      {Variant(), "", equal},
      {Variant(), "a", less},
      {Variant(), -1, greater},
      {true, -1, equal},
      {true, "True", equal},
      {false, " false ", equal},
      {true, "-1", equal},
      {true, "1", less},
      {Variant::Date(1), 1, equal},
      {Variant::Byte(3), 3.0, equal},
      {Variant::Object(p), Variant::Object(p), equal},
      {Variant::Object(nullptr), Variant::Byte(0), equal},  // The nil test.
      {Variant::Object(nullptr), Variant::Object(nullptr), equal},
      {nan, nan, equal},
      {nan, -1e300, less},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(VariantCompare(c.a, c.b), c.expected) << Describe(c.a) << " vs " << Describe(c.b);
    EXPECT_EQ(VariantCompare(c.b, c.a), static_cast<VariantOrder>(-static_cast<int>(c.expected)))
        << Describe(c.b) << " vs " << Describe(c.a);
    EXPECT_EQ(VariantEquals(c.a, c.b), c.expected == equal);
    EXPECT_EQ(VariantNotEquals(c.a, c.b), c.expected != equal);
    EXPECT_EQ(VariantLess(c.a, c.b), c.expected == less);
    EXPECT_EQ(VariantLessOrEqual(c.a, c.b), c.expected != greater);
    EXPECT_EQ(VariantGreater(c.a, c.b), c.expected == greater);
    EXPECT_EQ(VariantGreaterOrEqual(c.a, c.b), c.expected != less);
  }
  EXPECT_FALSE(VariantEquals(Variant::Object(p), Variant::Object(q)));
}

TEST(VariantOperationsTest, ComparingWhatCannotBeReadAsANumberRaises) {
  EXPECT_EQ(Outcome([] { return Variant(VariantEquals("abc", 1)); }), kStringToDouble);
  EXPECT_EQ(Outcome([] { return Variant(VariantEquals(true, "yes")); }),
            "VariantTypeCastError: Could not convert variant of type (String) into type (Boolean)");
  EXPECT_EQ(Outcome([] { return Variant(VariantLess(Variant::ArrayOf({}), 1)); }),
            "VariantTypeCastError: Could not convert variant of type (Array) into type (Double)");
}

TEST(VariantOperationsTest, IsFalseMatchesTheConstantFalse) {
  struct FalseCase {
    Variant value;
    bool is_false;
  };
  const std::vector<FalseCase> cases = {
      {false, true},
      {true, false},
      {0, true},
      {5, false},
      {-1, false},
      {0.0, true},
      {-0.0, true},
      {0.5, false},
      {Variant(), true},
      {Variant::Null(), false},
      {"False", true},
      {"0", true},
      {"True", false},
      {"1", false},
      {Variant::Byte(0), true},
      {Variant::Date(0), true},
  };
  for (const FalseCase& c : cases) {
    EXPECT_EQ(IsFalse(c.value), c.is_false) << Describe(c.value);
  }
  EXPECT_THROW(IsFalse("abc"), VariantTypeCastError);
}

TEST(VariantOperationsTest, RepeatedAppendGrowsGeometrically) {
  Variant s = "";
  const char* buffer = nullptr;
  int reallocations = 0;
  for (int k = 0; k < 100'000; ++k) {
    VariantConcat(s, "abc");
    if (s.StringView().data() != buffer) ++reallocations;
    buffer = s.StringView().data();
  }
  EXPECT_EQ(s.StringView().size(), 300'000u);
  EXPECT_EQ(s.StringView().substr(299'994), "abcabc");
  EXPECT_LT(reallocations, 30);
}

TEST(VariantOperationsTest, AppendLeavesOtherHoldersAlone) {
  Variant original = "abc";
  Variant copy = original;
  VariantConcat(copy, "d");
  VariantAdd(copy, "e");
  EXPECT_EQ(original.StringView(), "abc");
  EXPECT_EQ(copy.StringView(), "abcde");

  // Through a reference, the referenced variable keeps its value.
  Variant variable = "ab";
  Variant slot = Variant::ReferenceTo(&variable);
  VariantConcat(slot, "c");
  EXPECT_EQ(variable.StringView(), "ab");
  EXPECT_EQ(Describe(slot), "String \"abc\"");
}

TEST(VariantOperationsTest, StringJoinedToItself) {
  Variant exact = "ab";  // No spare room: the text moves while it is read.
  VariantConcat(exact, exact);
  EXPECT_EQ(exact.StringView(), "abab");

  Variant roomy = "ab";
  VariantConcat(roomy, "cd");  // Now with spare room: appended in place.
  VariantConcat(roomy, roomy);
  EXPECT_EQ(roomy.StringView(), "abcdabcd");
  VariantAdd(roomy, roomy);
  EXPECT_EQ(roomy.StringView(), "abcdabcdabcdabcd");
}

TEST(VariantOperationsTest, StringCharacterAccess) {
  EXPECT_EQ(Outcome([] { return VariantStringCharAt("abc", 2); }), "String \"b\"");
  for (int index : {0, 4, -1}) {
    EXPECT_EQ(Outcome([&] { return VariantStringCharAt("abc", index); }),
              "VariantIndexError: String index out of bounds")
        << index;
  }
  EXPECT_EQ(Outcome([] { return VariantStringCharAt("", 1); }),
            "VariantIndexError: String index out of bounds");
  EXPECT_EQ(Outcome([] { return VariantStringCharAt(12, 1); }),
            "VariantTypeCastError: Could not convert variant of type (Integer) into type (String)");
}

TEST(VariantOperationsTest, StringCharacterWrite) {
  Variant s = "abc";
  VariantStringSetCharAt(s, 2, "xy");
  EXPECT_EQ(s.StringView(), "axyc");

  Variant shared = s;
  VariantStringSetCharAt(s, 1, 5);
  EXPECT_EQ(s.StringView(), "5xyc");
  EXPECT_EQ(shared.StringView(), "axyc");

  Variant self = "abc";
  VariantStringSetCharAt(self, 2, self);
  EXPECT_EQ(self.StringView(), "aabcc");

  Variant variable = "abc";
  Variant reference = Variant::ReferenceTo(&variable);
  VariantStringSetCharAt(reference, 3, "Z");
  EXPECT_EQ(variable.StringView(), "abZ");

  EXPECT_THROW(VariantStringSetCharAt(variable, 4, "d"), VariantIndexError);
  EXPECT_EQ(variable.StringView(), "abZ");
}

}  // namespace
}  // namespace vantrel
