// The syntax parser's memory of one parse: what matching a rule at a place
// came to, so that the rule tried again at that place is answered without
// matching the text again.
//
// An outcome is found by the rule, the place (a position in the parser's
// own input) and the last character consumed before the attempt, which is
// where a node that begins by matching nothing ends. The outcome holds the
// status, where matching stood afterwards and, for a match, the node made,
// whose subtree does not change afterwards.
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

class NonTerminalNode;
enum class MatchStatus : std::uint8_t;

// What an attempt to match a rule came to.
struct RuleOutcome {
  int Rule = 0;
  int LastBefore = 0;  // The last character consumed before the attempt.
  MatchStatus Status{};
  int Position = 0;                 // Where matching stood after the attempt ...
  int LastPosition = 0;             // ... and the last character it had consumed.
  NonTerminalNode* Node = nullptr;  // The node of a match; null for a failure.
  int Next = -1;                    // The next outcome kept at the same place.
};

class SyntaxMemo {
 public:
  // Forgets everything; places from 1 to `last_position` may be kept.
  void Reset(int last_position) {
    first_.assign(static_cast<std::size_t>(last_position) + 1, -1);
    outcomes_.clear();
  }

  const RuleOutcome* Find(int rule, int position, int last_before) const {
    for (int i = first_[static_cast<std::size_t>(position)]; i >= 0;) {
      const RuleOutcome& outcome = outcomes_[static_cast<std::size_t>(i)];
      if (outcome.Rule == rule && outcome.LastBefore == last_before) return &outcome;
      i = outcome.Next;
    }
    return nullptr;
  }

  // Keeps `outcome` of an attempt that began at `position`.
  void Add(int position, RuleOutcome outcome) {
    int& first = first_[static_cast<std::size_t>(position)];
    outcome.Next = first;
    first = static_cast<int>(outcomes_.size());
    outcomes_.push_back(outcome);
  }

 private:
  std::vector<int> first_;  // By place, the latest outcome kept there; -1 none.
  std::vector<RuleOutcome> outcomes_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_
