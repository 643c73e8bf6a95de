// Everything a parse produces, as text, for tests that compare parses: the
// result record and the tree (each node's rule, start and end, marked
// where its parent is not the node it hangs under or where it hangs in two
// places), or the error the parse raised.
#ifndef VANTREL_TESTS_SCRIPT_PARSE_OUTCOME_H_
#define VANTREL_TESTS_SCRIPT_PARSE_OUTCOME_H_

#include <set>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "script/syntax/syntax_parser.h"

namespace vantrel::test {

inline std::string ParseOutcome(SyntaxParser& parser, std::string_view input) {
  parser.SetInputText(input);
  ParseResult result;
  try {
    parser.Parse(result);
  } catch (const SyntaxNestingError& error) {
    return error.Message() + " at " + std::to_string(error.Position());
  } catch (const Exception& error) {
    return error.Message();
  }
  std::string text = std::to_string(static_cast<int>(result.Status)) + " " +
                     std::to_string(result.InputPosition) + " " +
                     std::to_string(result.RulePosition) + " " + result.LastChar + " far " +
                     std::to_string(result.Farthest.RuleIndex) + " " +
                     std::to_string(result.Farthest.InputPosition) + " " +
                     std::to_string(static_cast<int>(result.Farthest.Status)) + "\n";
  std::set<const NonTerminalNode*> met;
  const auto dump = [&](auto& self, const NonTerminalNode& node, int depth) -> void {
    text += std::string(static_cast<std::size_t>(depth), ' ') + std::to_string(node.RuleIndex()) +
            " " + std::to_string(node.Start()) + "-" + std::to_string(node.End()) + "\n";
    for (const NonTerminalNode* child : node.Children()) {
      if (child->Parent() != &node) text += "(parent elsewhere)\n";
      if (!met.insert(child).second) text += "(met twice)\n";
      self(self, *child, depth + 1);
    }
  };
  dump(dump, parser.Root(), 0);
  return text;
}

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_PARSE_OUTCOME_H_
