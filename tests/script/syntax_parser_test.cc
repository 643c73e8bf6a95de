#include "script/syntax/syntax_parser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "script/errors/script_errors.h"
#include "tests/script/parse_outcome.h"

namespace vantrel {
namespace {

// A parser for `grammar` (rules separated by "\n") over `input`.
class Parser {
 public:
  Parser(std::string_view grammar, std::string_view input) {
    parser.SetGrammarText(grammar);
    parser.SetInputText(input);
  }

  bool Parse() { return parser.Parse(result); }

  // The texts of the nodes of rule `name`, in tree order.
  std::vector<std::string> Texts(std::string_view name) {
    std::vector<std::string> texts;
    Collect(parser.Root(), parser.RuleIndex(name), texts);
    return texts;
  }

  SyntaxParser parser;
  ParseResult result;

 private:
  static void Collect(const NonTerminalNode& node, int rule, std::vector<std::string>& texts) {
    for (const NonTerminalNode* child : node.Children()) {
      if (child->RuleIndex() == rule) texts.emplace_back(child->Text());
      Collect(*child, rule, texts);
    }
  }
};

std::string GrammarErrorOf(std::string_view grammar, std::string_view input) {
  Parser p(grammar, input);
  try {
    p.Parse();
  } catch (const ParserError& error) {
    return error.Message();
  }
  return "no error";
}

TEST(SyntaxParserMatching, KeywordsMatchInAnyLetterCase) {
  for (const char* input : {"sub x", "Sub X", "SUB x", "sUb X"}) {
    Parser p("<r>:sub x ", input);
    EXPECT_TRUE(p.Parse()) << input;
  }
  Parser quoted("<r>:\"end sub\" ", "END SUB");
  EXPECT_TRUE(quoted.Parse());
}

TEST(SyntaxParserMatching, HexRuleAcceptsUpperCaseX) {
  Parser p("<hex>:\"0x\"({#|a|b|c|d|e|f}) ", "0XFF");
  EXPECT_TRUE(p.Parse());
  Parser bad("<hex>:\"0x\"({#|a|b|c|d|e|f}) ", "0xFG");
  EXPECT_FALSE(bad.Parse());
  EXPECT_EQ(bad.result.Farthest.InputPosition, 4);
}

TEST(SyntaxParserMatching, ChosenAlternativeIsNotRetriedWhenWhatFollowsFails) {
  Parser p("<r>:{a|ab}c ", "abc");
  EXPECT_FALSE(p.Parse());
  Parser shorter("<r>:{a|ab}c ", "ac");
  EXPECT_TRUE(shorter.Parse());
}

TEST(SyntaxParserMatching, BlankDoesNotDemandWhiteSpaceButWordEndDoes) {
  EXPECT_TRUE(Parser("<r>:sub <w> \n<w>:@[(@)]", "subx").Parse());
  EXPECT_FALSE(Parser("<r>:dim~ <w> \n<w>:@[(@)]", "dimx").Parse());
  EXPECT_TRUE(Parser("<r>:dim~ <w> \n<w>:@[(@)]", "dim x").Parse());
  // "(" ends a word without being consumed.
  Parser paren("<r>:f~\"(\"<w>\")\" \n<w>:@", "f(x)");
  EXPECT_TRUE(paren.Parse());
}

TEST(SyntaxParserMatching, DoubledDelimiterAndApostropheStayInsideTheLiteral) {
  Parser p("<r>:( <s>) \n<s>:$", "\"a\"\"b'c\" \"d\"");
  p.parser.SetStringDelimiter('"');
  p.parser.SetComments({SyntaxComment{"'", "\r", ""}});
  ASSERT_TRUE(p.Parse());
  EXPECT_EQ(p.Texts("s"), (std::vector<std::string>{"\"a\"\"b'c\"", "\"d\""}));
}

TEST(SyntaxParserMatching, UnterminatedStringLiteralNeedsMoreInput) {
  Parser p("<r>:$", "'abc");
  EXPECT_FALSE(p.Parse());
  EXPECT_EQ(p.result.Status, MatchStatus::kEndOfInput);
  EXPECT_EQ(p.result.Farthest.Status, MatchStatus::kEndOfInput);
}

TEST(SyntaxParserMatching, EmptyRuleMatchesAndLeavesItsNode) {
  Parser p("<r>:a<mark>b \n<mark>:", "ab");
  ASSERT_TRUE(p.Parse());
  ASSERT_EQ(p.parser.Root().ChildCount(), 1);
  const NonTerminalNode& mark = p.parser.Root().Child(0);
  EXPECT_EQ(mark.Start(), 2);
  EXPECT_EQ(mark.End(), 1);  // The last character consumed: nothing of its own.
  EXPECT_EQ(mark.Text(), "");
}

TEST(SyntaxParserMatching, RepetitionOfSomethingEmptyDoesNotLoopForEver) {
  Parser p("<r>:(<e>)x \n<e>:", "x");
  EXPECT_TRUE(p.Parse());
}

// Two loop forms that begin alike, and a statement that may begin like
// the first one's test: a statement nested in an unclosed loop is tried
// once under each form, so every level of nesting doubles the work.
constexpr std::string_view kLoopGrammar =
    "<r>:( <st>) \n<st>:{<test_loop>|<loop_test>|<w>}\n<test_loop>:do <cond>[( <st>)] loop\n"
    "<loop_test>:do[( <st>)] loop <cond>\n<cond>:while x\n<w>:while x[( <st>)] wend";

std::string UnclosedLoops(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "do while x\n";
  return text + "z";
}

TEST(SyntaxParserMatching, RememberedOutcomesKeepTheResultAndEndTheExponentialWork) {
  // A node handler sees every attempt: with one, nothing is remembered.
  Parser plain(kLoopGrammar, UnclosedLoops(8));
  plain.parser.SetOnNewNode([](SyntaxParser&, NonTerminalNode&) {});
  Parser remembered(kLoopGrammar, UnclosedLoops(8));
  EXPECT_FALSE(plain.Parse());
  EXPECT_FALSE(remembered.Parse());
  const ParseResult& a = plain.result;
  const ParseResult& b = remembered.result;
  EXPECT_EQ(b.Status, a.Status);
  EXPECT_EQ(b.InputPosition, a.InputPosition);
  EXPECT_EQ(b.RulePosition, a.RulePosition);
  EXPECT_EQ(b.Farthest.InputPosition, a.Farthest.InputPosition);
  EXPECT_EQ(b.Farthest.RuleIndex, a.Farthest.RuleIndex);
  EXPECT_EQ(b.Farthest.Status, a.Farthest.Status);

  // 2^60 attempts without memory; the failure is still at the "z".
  Parser deep(kLoopGrammar, UnclosedLoops(60));
  EXPECT_FALSE(deep.Parse());
  EXPECT_EQ(deep.result.Farthest.InputPosition, 60 * 12 + 1);

  // A closed nest still parses, its statements once each.
  Parser closed(kLoopGrammar, "do while x\ndo while x\nloop\nloop");
  ASSERT_TRUE(closed.Parse());
  EXPECT_EQ(closed.Texts("test_loop").size(), 2u);
}

// A parser for the same grammar that remembers nothing: a node handler
// sees every attempt.
std::unique_ptr<Parser> Forgetful(std::string_view grammar) {
  auto parser = std::make_unique<Parser>(grammar, "");
  parser->parser.SetOnNewNode([](SyntaxParser&, NonTerminalNode&) {});
  return parser;
}

TEST(SyntaxParserMemory, RuleTriedAgainAtAPlaceComesOutAsMatchingItAnew) {
  // <a> fails first inside the optional part, then in the start rule, whose
  // result tells where the second attempt stopped: after the "x".
  const char* failing = "<r>:[<a>q]<a>\n<a>:xy";
  Parser remembered(failing, "");
  EXPECT_EQ(test::ParseOutcome(remembered.parser, "xz"),
            test::ParseOutcome(Forgetful(failing)->parser, "xz"));
  remembered.parser.SetInputText("xz");
  EXPECT_FALSE(remembered.Parse());
  EXPECT_EQ(remembered.result.InputPosition, 2);
  EXPECT_EQ(remembered.result.LastChar, 'x');

  // The empty <e> is tried twice at the "x": once after "{c}" was read as
  // characters (the character check reads without skipping comments), once
  // after it was skipped as a comment. A node that matches nothing ends at
  // the last character read before it, so the two differ.
  const char* empty = "<r>:{$(&)<e>y|$ <e>x} \n<e>:";
  const auto braces = [](NonTerminalNode& node, int position) {
    const char c = node.Parser()->InputText()[static_cast<std::size_t>(position - 1)];
    return c == '{' || c == 'c' || c == '}';
  };
  Parser after_comment(empty, "'a'{c}x");
  after_comment.parser.SetOnCharCheck(0, braces, 0);
  const std::unique_ptr<Parser> forgetful = Forgetful(empty);
  forgetful->parser.SetOnCharCheck(0, braces, 0);
  EXPECT_EQ(test::ParseOutcome(after_comment.parser, "'a'{c}x"),
            test::ParseOutcome(forgetful->parser, "'a'{c}x"));
  ASSERT_TRUE(after_comment.Parse());
  ASSERT_EQ(after_comment.parser.Root().ChildCount(), 1);
  EXPECT_EQ(after_comment.parser.Root().Child(0).End(), 3);
}

TEST(SyntaxParserMemory, HandlersThatLookAboveTheirNodeKeepTheRulesAroundThemUnremembered) {
  // <w> is accepted only under <q>: its outcome at the "a" depends on which
  // rule tries it.
  const char* grammar = "<r>:{<p>x|<q>y} \n<p>:<w>\n<q>:<w>\n<w>:@";
  const auto under_q = [](const NonTerminalNode& node) {
    return node.Parent()->RuleIndex() == node.Parser()->RuleIndex("q");
  };
  Parser validated(grammar, "ay");
  validated.parser.SetOnValidate(
      3, [&](NonTerminalNode& node) { return under_q(node); }, 1);
  EXPECT_TRUE(validated.Parse());
  Parser anywhere(grammar, "ay");  // No reach given: it may look anywhere.
  anywhere.parser.SetOnValidate(3, [&](NonTerminalNode& node) { return under_q(node); });
  EXPECT_TRUE(anywhere.Parse());
  // Two levels up: the rule between stays unremembered too.
  Parser grandparent("<r>:{<p>x|<q>y} \n<p>:<v>\n<q>:<v>\n<v>:<w>\n<w>:@", "ay");
  grandparent.parser.SetOnValidate(
      4, [&](NonTerminalNode& node) { return under_q(*node.Parent()); }, 2);
  EXPECT_TRUE(grandparent.Parse());
  Parser checked("<r>:{<p>x|<q>y} \n<p>:<w>\n<q>:<w>\n<w>:&", "ay");
  checked.parser.SetOnCharCheck(
      3, [&](NonTerminalNode& node, int) { return under_q(node); }, 1);
  EXPECT_TRUE(checked.Parse());

  // A handler that looks one level up leaves the rule above it remembered:
  // <p> is matched once, and its <w> validated once, for both alternatives.
  Parser once("<r>:{<p>x|<p>y} \n<p>:<w>\n<w>:@", "ay");
  int validated_count = 0;
  once.parser.SetOnValidate(
      2,
      [&](NonTerminalNode& node) {
        ++validated_count;
        return node.Parent() != nullptr;
      },
      1);
  EXPECT_TRUE(once.Parse());
  EXPECT_EQ(validated_count, 1);
}

TEST(SyntaxParserMemory, NodeUsedInsideAndOutsideARememberedMatchHasOneForEachPlace) {
  // <x> and the empty <y> in it are matched under <f>, which fails; <y> is
  // then used alone, and <x> again, whose <y> must be a node of its own.
  const char* grammar = "<r>:{<f>|<y><x>w} \n<f>:<x>q\n<x>:<y>a\n<y>:[b]";
  Parser p(grammar, "aw");
  EXPECT_EQ(test::ParseOutcome(p.parser, "aw"),
            test::ParseOutcome(Forgetful(grammar)->parser, "aw"));
  ASSERT_TRUE(p.Parse());
  const NonTerminalNode& root = p.parser.Root();
  ASSERT_EQ(root.ChildCount(), 2);
  const NonTerminalNode& x = root.Child(1);
  ASSERT_EQ(x.ChildCount(), 1);
  EXPECT_NE(&x.Child(0), &root.Child(0));
  EXPECT_EQ(x.Child(0).Parent(), &x);
  EXPECT_EQ(root.Child(0).Parent(), &root);
  int entered = 0;
  p.parser.SetOnEnter(3, [&](NonTerminalNode&) { ++entered; });
  p.parser.WalkTree();
  EXPECT_EQ(entered, 2);
}

TEST(SyntaxParserMemory, TextIncludedByAHandlerEndsMemoryForTheRestOfTheParse) {
  // <p> is tried twice at the "a". The first time, validating <w> includes
  // a text, so that <p> is followed by "q" and the first alternative fails:
  // from there on <p> is matched anew, and its <w> validated again.
  Parser p("<r>:{<p>x|<p>y} \n<p>:<w>\n<w>:@", "ay");
  int validated = 0;
  bool include = true;
  p.parser.SetOnValidate(
      2,
      [&](NonTerminalNode& node) {
        ++validated;
        if (include) node.Parser()->PushInput("q");
        include = false;
        return true;
      },
      0);
  EXPECT_TRUE(p.Parse());
  EXPECT_EQ(validated, 2);
  // The next parse remembers again: the second <p> is answered from memory.
  validated = 0;
  EXPECT_TRUE(p.Parse());
  EXPECT_EQ(validated, 1);
}

TEST(SyntaxParserMemory, AnswerFromMemoryGoesNoDeeperSoMeetsNoNestingLimit) {
  // <a> fits within the nesting limit from the start rule, but not from the
  // end of a chain of ten rules. Tried there again, it is answered from
  // memory without going down, where matching it anew meets the limit.
  std::string grammar = "<r>:{<a>x|<c1>} \n";
  for (int i = 1; i < 10; ++i) {
    grammar += "<c" + std::to_string(i) + ">:<c" + std::to_string(i + 1) + ">\n";
  }
  grammar += "<c10>:<a>y\n<a>:{\"(\"<a>\")\"|z}";
  const int depth = (SyntaxParser::kMaxNestingDepth - 4) / 2 - 1;
  const std::string nest = std::string(depth, '(') + "z" + std::string(depth, ')');
  Parser remembered(grammar, nest + "y");
  EXPECT_TRUE(remembered.Parse());
  const std::string anew = test::ParseOutcome(Forgetful(grammar)->parser, nest + "y");
  EXPECT_EQ(anew.rfind("Program nesting is too deep at ", 0), 0u) << anew;
  // Deeper still, matching goes down past the limit the first time.
  const std::string deeper = "((" + nest + "))y";
  EXPECT_EQ(test::ParseOutcome(remembered.parser, deeper).rfind("Program nesting is too deep", 0),
            0u);
}

TEST(SyntaxParserMatching, UserCharacterSetsAndCharacterCheck) {
  Parser p("<r>:(&3) <d> \n<d>:(&)", "xyx 123");
  p.parser.SetUserCharSet(3, "xy");
  p.parser.SetOnCharCheck(p.parser.RuleIndex("d"), [](NonTerminalNode& node, int position) {
    const char c = node.Parser()->InputText()[static_cast<std::size_t>(position - 1)];
    return c >= '1' && c <= '3';
  });
  ASSERT_TRUE(p.Parse());
  EXPECT_EQ(p.Texts("d"), std::vector<std::string>{"123"});
  Parser upper("<r>:(&3) ", "XY");
  upper.parser.SetUserCharSet(3, "xy");
  EXPECT_FALSE(upper.Parse());  // Sets compare exactly.
}

TEST(SyntaxParserMatching, RuleNamesAreFoundIgnoringCase) {
  Parser p("<Start>:<WORD> \n<word>:@", "q");
  EXPECT_EQ(p.parser.RuleIndex("START"), 0);
  EXPECT_EQ(p.parser.RuleIndex("Word"), 1);
  EXPECT_EQ(p.parser.RuleIndex("none"), -1);
  EXPECT_EQ(p.parser.Rules()[0].CompiledBody(), "<1> ");
  EXPECT_TRUE(p.Parse());
}

TEST(SyntaxParserResult, StatusTellsHowTheInputWasUsed) {
  Parser whole("<r>:a ", "a");
  EXPECT_TRUE(whole.Parse());
  EXPECT_EQ(whole.result.Status, MatchStatus::kMatched);
  EXPECT_EQ(whole.result.LastChar, '\n');

  Parser left("<r>:a", "a b");
  EXPECT_FALSE(left.Parse());
  EXPECT_EQ(left.result.Status, MatchStatus::kInputLeft);
  EXPECT_EQ(left.result.InputPosition, 2);

  Parser mismatch("<r>:a", "x");
  EXPECT_FALSE(mismatch.Parse());
  EXPECT_EQ(mismatch.result.Status, MatchStatus::kMismatch);

  Parser short_input("<r>:a b c", "a b");
  EXPECT_FALSE(short_input.Parse());
  EXPECT_EQ(short_input.result.Status, MatchStatus::kEndOfInput);
  EXPECT_EQ(short_input.result.Farthest.InputPosition, 6);  // Past "a b\r\n".
}

TEST(SyntaxParserResult, FarthestFailureIsWhereMatchingGotFurthest) {
  Parser p("<r>:{<x>|<y>} \n<x>:abc\n<y>:ab d", "ab e");
  EXPECT_FALSE(p.Parse());
  EXPECT_EQ(p.result.Farthest.InputPosition, 4);
  EXPECT_EQ(p.result.Farthest.RuleIndex, 2);
  EXPECT_EQ(p.result.Farthest.Status, MatchStatus::kMismatch);
}

TEST(SyntaxParserComments, DefaultBraceCommentIsSkippedAndMayRunToTheEnd) {
  EXPECT_TRUE(Parser("<r>:a b ", "a{note}b").Parse());
  EXPECT_TRUE(Parser("<r>:a ", "a { never closed").Parse());
}

TEST(SyntaxParserComments, RemCountsOnlyAtTheStartOrAfterASeparator) {
  const SyntaxComments rem{SyntaxComment{"REM ", "\r", " :\r\n"}};
  Parser start("<r>:( <w>) \n<w>:@[(@)]", "rem a\r\nx rem b");
  start.parser.SetComments(rem);
  ASSERT_TRUE(start.Parse());
  EXPECT_EQ(start.Texts("w"), std::vector<std::string>{"x"});

  Parser glued("<r>:( <w>) \n<w>:@[(@)]", "xREM b");
  glued.parser.SetComments(rem);
  ASSERT_TRUE(glued.Parse());
  EXPECT_EQ(glued.Texts("w"), (std::vector<std::string>{"xREM", "b"}));
}

TEST(SyntaxParserComments, CommentRightAfterAStringLiteralIsSkipped) {
  Parser p("<r>:( <s>) \n<s>:$", "'a'{c}\r\n'b'");
  EXPECT_TRUE(p.Parse());
}

TEST(SyntaxParserComments, NodeEndsBeforeTheCommentThatFollowsIt) {
  Parser p("<r>:<w> \n<w>:@[(@)]", "abc{note}");
  ASSERT_TRUE(p.Parse());
  EXPECT_EQ(p.Texts("w"), std::vector<std::string>{"abc"});
}

TEST(SyntaxParserComments, CommentsReportedBeyondAFallBackAreRetracted) {
  Parser p("<r>:{<a>|<b>} \n<a>:x y z\n<b>:x y w", "x {c} y w");
  std::vector<std::string> events;
  p.parser.SetOnComment([&](SyntaxParser& parser, int start, int end) {
    events.push_back("comment " + std::to_string(start) + "-" + std::to_string(end) + " next " +
                     std::to_string(parser.InputPosition()));
  });
  p.parser.SetOnCommentRetract([&](SyntaxParser&, int buffer, int position) {
    events.push_back("retract " + std::to_string(buffer) + ":" + std::to_string(position));
  });
  ASSERT_TRUE(p.Parse());
  EXPECT_EQ(events,
            (std::vector<std::string>{"comment 3-5 next 6", "retract 0:1", "comment 3-5 next 6"}));
}

TEST(SyntaxParserTree, FailedOptionalPartLeavesNoNodesAndReportsEachRemoval) {
  Parser p("<r>:[<a><b>]<a>c \n<a>:a\n<b>:b", "ac");
  std::vector<std::string> removed;
  int created = 0;
  p.parser.SetOnNewNode([&](SyntaxParser&, NonTerminalNode&) { ++created; });
  p.parser.SetOnRemoveNode([&](SyntaxParser& parser, NonTerminalNode& node) {
    removed.push_back(parser.Rules()[node.RuleIndex()].Name() + "@" + std::to_string(node.Start()));
  });
  ASSERT_TRUE(p.Parse());
  EXPECT_EQ(removed, (std::vector<std::string>{"b@2", "a@1"}));
  EXPECT_EQ(created, 3);
  ASSERT_EQ(p.parser.Root().ChildCount(), 1);
  EXPECT_EQ(p.parser.Root().Child(0).Text(), "a");
  EXPECT_EQ(p.parser.Root().Child(0).Parent(), &p.parser.Root());
}

TEST(SyntaxParserTree, ValidateHandlerRejectsAMatch) {
  const char* grammar = "<r>:<id> \n<id>:@[(@)]";
  const auto not_end = [](NonTerminalNode& node) { return node.Text() != "end"; };
  Parser rejected(grammar, "end");
  rejected.parser.SetOnValidate(1, not_end);
  EXPECT_FALSE(rejected.Parse());
  EXPECT_EQ(rejected.result.Status, MatchStatus::kMismatch);
  EXPECT_EQ(rejected.parser.Root().ChildCount(), 0);

  Parser accepted(grammar, "ends");
  accepted.parser.SetOnValidate(1, not_end);
  EXPECT_TRUE(accepted.Parse());
}

TEST(SyntaxParserTree, WalkVisitsReverseRulesLastChildFirstAndHonoursSkipChildren) {
  Parser p("<r>R:<a> <b> <c> \n<a>:a<x>\n<b>:b<x>\n<c>:c\n<x>:x", "ax bx c");
  std::vector<std::string> visits;
  for (int rule = 0; rule < p.parser.Rules().Count(); ++rule) {
    const std::string name = p.parser.Rules()[rule].Name();
    p.parser.SetOnEnter(rule, [&, name](NonTerminalNode&) {
      visits.push_back("+" + name + std::to_string(p.parser.CurrentPosition()));
      if (name == "b") p.parser.SetSkipChildren(true);
    });
    p.parser.SetOnExit(rule, [&, name](NonTerminalNode&) {
      visits.push_back("-" + name + std::to_string(p.parser.CurrentPosition()));
    });
  }
  ASSERT_TRUE(p.Parse());
  p.parser.WalkTree();
  EXPECT_EQ(visits, (std::vector<std::string>{"+r1", "+c7", "-c7", "+b4", "-b5", "+a1", "+x2",
                                              "-x2", "-a2", "-r9"}));
}

TEST(SyntaxParserTree, HandlersCannotClearTheParserWhileItParses) {
  Parser p("<r>:<a> \n<a>:a", "a");
  p.parser.SetOnNewNode([](SyntaxParser& parser, NonTerminalNode&) { parser.Clear(); });
  try {
    p.Parse();
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Cannot clear parser when parsing");
  }
  EXPECT_FALSE(p.parser.Parsing());
  p.parser.SetOnNewNode(nullptr);
  EXPECT_TRUE(p.Parse());
}

TEST(SyntaxParserGrammar, MistakesRaiseWhenReachedQuotingTheRule) {
  EXPECT_EQ(GrammarErrorOf("<r>:\"abc", "abc"),
            "Incorrect grammar. Literal string not terminated on 'r'");
  EXPECT_EQ(GrammarErrorOf("<r>:a<s>\n<s>:[b", "ab"),
            "Incorrect grammar. Subexpression not terminated on 's'");
  EXPECT_EQ(GrammarErrorOf("<r>:a{b|c", "ab"),
            "Incorrect grammar. Subexpression not terminated on 'r'");
  EXPECT_EQ(GrammarErrorOf("<r>:a()", "a"), "Incorrect grammar. Subexpression is empty on 'r'");
  EXPECT_EQ(GrammarErrorOf("<r>:<nothing>", "a"),
            "Incorrect grammar. Unknown rule '<nothing>' on 'r'");
  // A mistake that matching never reaches does no harm.
  EXPECT_EQ(GrammarErrorOf("<r>:b[a", "x"), "no error");
}

TEST(SyntaxParserGrammar, ChoiceTakesAtMostThirtyAlternatives) {
  std::string thirty = "<r>:{a";
  for (int i = 1; i < 30; ++i) thirty += "|a";
  EXPECT_EQ(GrammarErrorOf(thirty + "} ", "a"), "no error");
  EXPECT_EQ(GrammarErrorOf(thirty + "|b} ", "b"),
            "Incorrect grammar. Too many alternatives on 'r'");
}

TEST(SyntaxParserGrammar, AlternativesSplitOnlyOutsideQuotesAndNestedBraces) {
  Parser p("<r>:{\"|\"|{x|y}z} ", "yz");
  EXPECT_TRUE(p.Parse());
  EXPECT_TRUE(Parser("<r>:{\"|\"|{x|y}z} ", "|").Parse());
}

TEST(SyntaxParserPositions, LineAndColumnCountCrLfAndClipToTheLine) {
  SyntaxParser parser;
  parser.SetInput(StringList{"ab", "", "cde"});  // "ab\r\n\r\ncde\r\n"
  const auto at = [&](int position) {
    const LineColumn place = parser.LineColumnOf(position);
    return std::to_string(place.Line) + "," + std::to_string(place.Column);
  };
  EXPECT_EQ(at(1), "1,1");
  EXPECT_EQ(at(2), "1,2");
  EXPECT_EQ(at(4), "1,2");  // The LF of line 1.
  EXPECT_EQ(at(5), "2,0");  // An empty line has no column to point at.
  EXPECT_EQ(at(7), "3,1");
  EXPECT_EQ(at(9), "3,3");
  EXPECT_EQ(at(12), "4,1");
}

// Included texts: the comment "{inc}" is replaced by another text.
class IncludeTest : public ::testing::Test {
 protected:
  void Parse(std::string_view input, std::string included) {
    p_ = std::make_unique<Parser>("<r>:( <w>) \n<w>:@[(@)]", input);
    p_->parser.SetOnComment([this, included](SyntaxParser& parser, int start, int end) {
      if (parser.BufferText(parser.BufferId())
              .substr(static_cast<std::size_t>(start - 1),
                      static_cast<std::size_t>(end - start + 1)) == "{inc}") {
        saved_ = parser.SavedInputs().size();
        parser.PushInput(included);
        saved_ = parser.SavedInputs().size() - saved_;
      }
    });
  }

  std::unique_ptr<Parser> p_;
  std::size_t saved_ = 0;
};

TEST_F(IncludeTest, SuspendedInputResumesAtTheEndOfTheIncludedText) {
  Parse("a {inc} b", "foo bar");
  ASSERT_TRUE(p_->Parse());
  EXPECT_EQ(p_->Texts("w"), (std::vector<std::string>{"a", "foo", "bar", "b"}));
  std::vector<int> buffers;
  for (const NonTerminalNode* word : p_->parser.Root().Children()) {
    buffers.push_back(word->BufferId());
  }
  EXPECT_EQ(buffers, (std::vector<int>{0, 1, 1, 0}));
  EXPECT_EQ(saved_, 1u);
  ASSERT_EQ(p_->parser.Includes().size(), 1u);
  EXPECT_EQ(p_->parser.Includes()[0].ResumePosition, 8);
}

TEST_F(IncludeTest, NodeThatRunsOutOfTheIncludedTextIsAnError) {
  Parse("a {inc}b", "xy");
  try {
    p_->Parse();
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(),
              "Invalid included input buffer. Each nodes must begin and end on the same input "
              "buffer");
  }
}

TEST(SyntaxParserNesting, DeepInputStopsWithAnErrorInsteadOfOverflowing) {
  Parser p("<e>:{\"(\"<e>\")\"|x} ", std::string(100000, '('));
  try {
    p.Parse();
    FAIL() << "no error";
  } catch (const SyntaxNestingError& error) {
    EXPECT_EQ(error.Message(), "Program nesting is too deep");
    EXPECT_GT(error.Position(), 100);
  }
  EXPECT_FALSE(p.parser.Parsing());
  p.parser.SetInputText(std::string(50, '(') + "x" + std::string(50, ')'));
  EXPECT_TRUE(p.Parse());
}

}  // namespace
}  // namespace vantrel
