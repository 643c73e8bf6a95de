#include "script/basic/basic_grammar.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <exception>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "script/syntax/syntax_parser.h"
#include "tests/script/parse_outcome.h"

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 36> kReservedWords = {
    "sub",  "uses", "imports", "function", "end",     "if",    "then",   "else",    "elseif",
    "do",   "loop", "until",   "for",      "to",      "while", "step",   "next",    "select",
    "case", "with", "dim",     "public",   "private", "not",   "and",    "or",      "xor",
    "div",  "mod",  "shl",     "shr",      "exit",    "try",   "except", "finally", "forward"};

// Runs `work` on a thread with a small stack: 1 MiB, the size the parser is
// built to stay within, or 2 MiB under ThreadSanitizer, whose run time needs
// more room to raise an exception from deep down; rethrows what it raised.
#if defined(__SANITIZE_THREAD__)
constexpr size_t kSmallStackBytes = 2u << 20;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr size_t kSmallStackBytes = 2u << 20;
#else
constexpr size_t kSmallStackBytes = 1u << 20;
#endif
#else
constexpr size_t kSmallStackBytes = 1u << 20;
#endif

void RunOnSmallStack(const std::function<void()>& work) {
  struct Job {
    const std::function<void()>* work;
    std::exception_ptr error;
  } job{&work, nullptr};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kSmallStackBytes);
  pthread_t thread;
  const int started = pthread_create(
      &thread, &attributes,
      [](void* argument) -> void* {
        Job& running = *static_cast<Job*>(argument);
        try {
          (*running.work)();
        } catch (...) {
          running.error = std::current_exception();
        }
        return nullptr;
      },
      &job);
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(started, 0);
  pthread_join(thread, nullptr);
  if (job.error) std::rethrow_exception(job.error);
}

// The compiler's check that keeps reserved words from being names (except
// as members). It looks two levels up: at the parent and the grandparent.
bool ValidateId(NonTerminalNode& node) {
  const std::string word = ToLowerAscii(node.Text());
  if (std::find(kReservedWords.begin(), kReservedWords.end(), word) == kReservedWords.end()) {
    return true;
  }
  const NonTerminalNode* parent = node.Parent();
  const NonTerminalNode* grandparent = parent != nullptr ? parent->Parent() : nullptr;
  return grandparent != nullptr && parent->RuleIndex() == grandparent->RuleIndex();
}

// Sets `parser` up as the Basic compiler sets it up.
void SetUpBasic(SyntaxParser& parser) {
  parser.SetGrammarText(BasicGrammarText());
  parser.SetStringDelimiter('"');
  parser.SetComments({SyntaxComment{"'", "\r", ""}, SyntaxComment{"REM ", "\r", " :\r\n"}});
  parser.SetOnValidate(parser.RuleIndex("id"), ValidateId, 2);
}

class BasicGrammarTest : public ::testing::Test {
 protected:
  BasicGrammarTest() { SetUpBasic(parser_); }

  bool Parse(std::string_view program) {
    parser_.SetInputText(program);
    return parser_.Parse(result_);
  }

  // Texts of the nodes of rule `name`, in tree order.
  std::vector<std::string> Texts(std::string_view name) const {
    std::vector<std::string> texts;
    Collect(parser_.Root(), parser_.RuleIndex(name), texts);
    return texts;
  }

  std::string FailurePlace() const {
    const LineColumn place = parser_.LineColumnOf(result_.Farthest.InputPosition);
    return std::to_string(place.Line) + "," + std::to_string(place.Column);
  }

  SyntaxParser parser_;
  ParseResult result_;

 private:
  static void Collect(const NonTerminalNode& node, int rule, std::vector<std::string>& texts) {
    for (const NonTerminalNode* child : node.Children()) {
      if (child->RuleIndex() == rule) texts.emplace_back(child->Text());
      Collect(*child, rule, texts);
    }
  }
};

TEST_F(BasicGrammarTest, RulesAreNumberedInOrderAndAllReferencesResolve) {
  ASSERT_EQ(parser_.Rules().Count(), 67);
  EXPECT_EQ(parser_.Rules()[0].Name(), "program");
  EXPECT_EQ(parser_.RuleIndex("statement"), 12);
  EXPECT_EQ(parser_.RuleIndex("assign"), 21);
  EXPECT_TRUE(parser_.Rules()[21].Reverse());
  EXPECT_EQ(parser_.Rules()[66].Name(), "with_obj");
  for (int rule = 0; rule < parser_.Rules().Count(); ++rule) {
    EXPECT_EQ(parser_.Rules()[rule].CompiledBody().find("<-1>"), std::string::npos)
        << parser_.Rules()[rule].Name();
  }
  // "<Unary>" in <expression> is the rule <unary>.
  const std::string& expression = parser_.Rules()[parser_.RuleIndex("expression")].CompiledBody();
  const std::string unary = "<" + std::to_string(parser_.RuleIndex("unary")) + ">";
  EXPECT_NE(expression.rfind(unary), expression.find(unary));
}

TEST_F(BasicGrammarTest, RoutinesDeclarationsAndCallsWithNestedArguments) {
  const char* program =
      "uses classes, sysutils;\r\n"
      "public counter, total\r\n"
      "private flag\r\n"
      "sub Later forward\r\n"
      "function Add(a, byref b)\r\n"
      "  dim c\r\n"
      "  c = a + b * (2 - a) : Add = c\r\n"
      "end function\r\n"
      "Sub Show(byval text)\r\n"
      "  echo(text)\r\n"
      "END SUB\r\n"
      "counter = Add(1, Add(2, Max(3, 4)))\r\n"
      "Show(\"total: \" + IntToStr(counter))\r\n"
      "list.Items[0].Caption = \"a\"\r\n"
      "set obj = TStringList.Create\r\n";
  ASSERT_TRUE(Parse(program)) << FailurePlace();
  EXPECT_EQ(Texts("uses"), std::vector<std::string>{"uses classes, sysutils;"});
  EXPECT_EQ(Texts("label"), (std::vector<std::string>{"Later", "Add", "Show"}));
  EXPECT_EQ(Texts("forward"), std::vector<std::string>{"forward"});
  EXPECT_EQ(Texts("byref"), std::vector<std::string>{"byref b"});
  EXPECT_EQ(Texts("call"),
            (std::vector<std::string>{"echo(text)", "Show(\"total: \" + IntToStr(counter))"}));
  EXPECT_EQ(Texts("data_ref"),
            (std::vector<std::string>{"c", "Add", "counter", "list.Items[0].Caption",
                                      "Items[0].Caption", "Caption", "obj"}));
}

TEST_F(BasicGrammarTest, ControlStatements) {
  const char* program =
      "if x > 1 then\r\n"
      "  y = 1\r\n"
      "elseif x = 0 then\r\n"
      "  y = 2\r\n"
      "else\r\n"
      "  y = -3.5e2\r\n"
      "end if\r\n"
      "for i = 10 to 1 step -2\r\n"
      "  x = x + i\r\n"
      "  if x > 100 then exit for end if\r\n"
      "next\r\n"
      "do while x < 100\r\n"
      "  x = x * 2\r\n"
      "loop\r\n"
      "do\r\n"
      "  x = x - 1\r\n"
      "loop until x <= 0\r\n"
      "while x < 5\r\n x = x + 1 : end while\r\n"
      "select case x\r\n"
      "  case 1, 2\r\n"
      "    y = \"a\"\r\n"
      "  case 3\r\n"
      "    y = \"b\"\r\n"
      "  case else\r\n"
      "    y = \"c\"\r\n"
      "end select\r\n"
      "try\r\n"
      "  z = 1 / 0\r\n"
      "except\r\n"
      "  z = 0\r\n"
      "end\r\n"
      "with form.panel\r\n"
      "  caption = 0xFF and not visible\r\n"
      "end with\r\n";
  ASSERT_TRUE(Parse(program)) << FailurePlace();
  EXPECT_EQ(Texts("if").size(), 2u);
  EXPECT_EQ(Texts("elseif").size(), 1u);
  EXPECT_EQ(Texts("step"), std::vector<std::string>{"-2"});
  EXPECT_EQ(Texts("exit_for").size(), 1u);
  EXPECT_EQ(Texts("test_loop").size(), 1u);
  EXPECT_EQ(Texts("loop_test").size(), 1u);
  EXPECT_EQ(Texts("whileend").size(), 1u);
  EXPECT_EQ(Texts("case_test"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Texts("except").size(), 1u);
  EXPECT_EQ(Texts("with_obj"), std::vector<std::string>{"form.panel"});
  EXPECT_EQ(Texts("hex"), std::vector<std::string>{"0xFF"});
  EXPECT_EQ(Texts("real"),
            (std::vector<std::string>{"1", "1", "0", "2", "-3.5e2", "10", "1", "100", "100", "2",
                                      "1", "0", "5", "1", "1",      "2",  "3", "1",   "0",   "0"}));
}

TEST_F(BasicGrammarTest, ReservedWordIsANameOnlyAsAMember) {
  EXPECT_TRUE(Parse("x.end = 1\r\ny = a.then.loop\r\n")) << FailurePlace();
  EXPECT_FALSE(Parse("end = 1\r\n"));
  EXPECT_FALSE(Parse("y = end\r\n"));
  // "end" closes the block instead of becoming a statement of it.
  EXPECT_TRUE(Parse("if a then\r\n  ends = 1\r\nend if\r\n")) << FailurePlace();
}

TEST_F(BasicGrammarTest, CommentsAndStringsOfTheDialect) {
  const char* program =
      "REM a remark\r\n"
      "x = \"it's \"\"quoted\"\"\" ' a comment\r\n"
      "y = \"a\"' glued comment\r\n"
      "z = 1 : REM another\r\n"
      "remark = 2\r\n";
  ASSERT_TRUE(Parse(program)) << FailurePlace();
  EXPECT_EQ(Texts("string"), (std::vector<std::string>{"\"it's \"\"quoted\"\"\"", "\"a\""}));
  EXPECT_EQ(Texts("data_ref"), (std::vector<std::string>{"x", "y", "z", "remark"}));
}

TEST_F(BasicGrammarTest, AssignWalksItsValueBeforeItsTarget) {
  ASSERT_TRUE(Parse("a = b\r\n"));
  std::vector<std::string> order;
  for (const char* rule : {"data_ref", "expression"}) {
    parser_.SetOnEnter(parser_.RuleIndex(rule),
                       [&order, rule](NonTerminalNode&) { order.emplace_back(rule); });
  }
  parser_.WalkTree();
  EXPECT_EQ(order, (std::vector<std::string>{"expression", "data_ref"}));
}

TEST_F(BasicGrammarTest, SyntaxErrorIsPlacedAtTheFarthestFailure) {
  EXPECT_FALSE(Parse("x = 1\r\ny = 2 * * 3\r\nz = 4\r\n"));
  EXPECT_EQ(FailurePlace(), "2,9");
  EXPECT_EQ(result_.Farthest.Status, MatchStatus::kMismatch);
  EXPECT_FALSE(Parse("if a then\r\n  b = 1\r\n"));
  EXPECT_EQ(result_.Farthest.Status, MatchStatus::kEndOfInput);
}

// Nesting as programs write it: parentheses, calls and blocks.
std::string Nested(int depth, std::string_view open, std::string_view middle,
                   std::string_view close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += middle;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

// `program` with one to three characters deleted or inserted at random.
std::string Edited(std::string program, std::mt19937& random) {
  const std::string alphabet = " ()[]\"'=+-*:;,.&<>_#0123456789aeisxyz\r\n";
  const int edits = 1 + static_cast<int>(random() % 3);
  for (int edit = 0; edit < edits; ++edit) {
    const std::size_t at = random() % program.size();
    if (random() % 2 == 0) {
      program.erase(at, 1 + random() % 3);
    } else {
      program.insert(at, 1, alphabet[random() % alphabet.size()]);
    }
  }
  return program;
}

TEST_F(BasicGrammarTest, LookaheadChangesNothingButSpeed) {
  // A node handler makes the parser try every alternative in full.
  SyntaxParser exhaustive;
  SetUpBasic(exhaustive);
  exhaustive.SetOnNewNode([](SyntaxParser&, NonTerminalNode&) {});
  const std::vector<std::string> programs = {
      "uses a;\r\npublic g\r\nsub S(byref a, b) forward\r\nfunction F(x)\r\n F = -x * (2 + "
      "0x1F) mod 3 <> 4\r\nend function\r\nset o = T.Create(1, [2, \"s\"]) ' c\r\n",
      "if a >= 1 and not b then\r\n x.end = \"q\"\"\" : REM r\r\nelseif c then y(1)[2] = 3\r\n"
      "else\r\n z = 1.5e-3\r\nend if\r\nfor i = 1 to 2 step 0.5\r\n exit for\r\nnext\r\n",
      "do until x\r\n x = x + 1\r\nloop\r\nwhile a\r\n b\r\nend while\r\nselect case x\r\n"
      "case 1, 2\r\n y = 1\r\ncase else\r\n y = 2\r\nend select\r\ntry\r\n a\r\nfinally\r\n "
      "b\r\nend\r\nwith a.b\r\n c = 1\r\nend with\r\n"};
  std::mt19937 random(20240601);
  int compared = 0;
  for (const std::string& base : programs) {
    for (int variant = 0; variant < 150; ++variant) {
      const std::string program = variant == 0 ? base : Edited(base, random);
      ASSERT_EQ(test::ParseOutcome(parser_, program), test::ParseOutcome(exhaustive, program))
          << program;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 450);
}

TEST_F(BasicGrammarTest, MemoryChangesNothingButSpeed) {
  // parser_ remembers rule outcomes. A comment handler sees every attempt,
  // so `forgetful` remembers nothing (but looks ahead); `exhaustive` does
  // neither.
  SyntaxParser forgetful;
  SetUpBasic(forgetful);
  forgetful.SetOnComment([](SyntaxParser&, int, int) {});
  SyntaxParser exhaustive;
  SetUpBasic(exhaustive);
  exhaustive.SetOnNewNode([](SyntaxParser&, NonTerminalNode&) {});
  // Lines that each open a block left open, some also read as another
  // statement (a keyword glued to a name), and strings and comments, after
  // which a node that matches nothing ends before the comment.
  const std::vector<std::string_view> lines = {"tryC",
                                               "tryC(1) : x = \"a\"'c",
                                               "whilex y",
                                               "fori=1to2",
                                               "withx.y",
                                               "ifx then",
                                               "do while x",
                                               "do",
                                               "try",
                                               "select case x\r\ncase 1",
                                               "if x then\r\nelse",
                                               "selectcasex\r\ncase1"};
  std::mt19937 random(20240602);
  int compared = 0;
  for (const std::string_view line : lines) {
    for (const int depth : {1, 4, 8}) {
      std::string base;
      for (int i = 0; i < depth; ++i) base.append(line).append("\r\n");
      base += "z = \"b\"' end\r\n";
      for (int variant = 0; variant < 5; ++variant) {
        const std::string program = variant == 0 ? base : Edited(base, random);
        const std::string expected = test::ParseOutcome(exhaustive, program);
        ASSERT_EQ(test::ParseOutcome(forgetful, program), expected) << program;
        ASSERT_EQ(test::ParseOutcome(parser_, program), expected) << program;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 180);
  // Around the nesting limit: the same programs fail at the same place.
  for (int depth = 280; depth <= 320; depth += 4) {
    const std::string program = Nested(depth, "if a then\r\n", "b = 1\r\n", "end if\r\n");
    ASSERT_EQ(test::ParseOutcome(parser_, program), test::ParseOutcome(exhaustive, program))
        << depth;
  }
}

TEST_F(BasicGrammarTest, RealisticNestingFitsASmallStack) {
  RunOnSmallStack([&] {
    EXPECT_TRUE(Parse("x = " + Nested(200, "(", "1", ")") + "\r\n"));
    EXPECT_TRUE(Parse("x = " + Nested(100, "f(1, ", "2", ")") + "\r\n"));
    EXPECT_TRUE(Parse(Nested(100, "if a then\r\n", "b = 1\r\n", "end if\r\n")));
    EXPECT_TRUE(Parse(Nested(100, "for i = 1 to 2\r\n", "b = 1\r\n", "next\r\n")));
    EXPECT_TRUE(Parse("select case x\r\n" + Nested(150, "case 1\r\n b = 1\r\n", "", "") +
                      "end select\r\n"));
    EXPECT_TRUE(Parse("if a then\r\n b = 1\r\n" +
                      Nested(150, "elseif a then\r\n b = 1\r\n", "", "") + "end if\r\n"));
  });
}

TEST_F(BasicGrammarTest, AbsurdNestingIsRefusedWithoutOverflowingASmallStack) {
  for (const std::string& program :
       {"x = " + std::string(100000, '('), "x = " + Nested(20000, "f(", "1", ")"),
        Nested(20000, "if a then\r\n", "b = 1\r\n", "end if\r\n"),
        Nested(20000, "do\r\n", "", "loop until a\r\n")}) {
    RunOnSmallStack([&] {
      try {
        Parse(program);
        ADD_FAILURE() << "no error";
      } catch (const SyntaxNestingError& error) {
        EXPECT_EQ(error.Message(), "Program nesting is too deep");
        EXPECT_GT(error.Position(), 4);
      }
    });
  }
  // The parser is usable again afterwards.
  EXPECT_TRUE(Parse("x = 1\r\n"));
}

}  // namespace
}  // namespace vantrel
