// How far above its node a rule's match looks: the reach of the handlers
// within it, which decides whether the parser may remember its outcome.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "script/syntax/syntax_grammar.h"

namespace vantrel {

int NonTerminal::HandlerReach() const {
  int reach = 0;
  if (on_validate_) reach = std::max(reach, validate_reach_);
  if (on_char_check_) reach = std::max(reach, char_check_reach_);
  return reach;
}

void NonTerminals::SelfContained(std::vector<std::uint8_t>& self_contained) const {
  // above[r]: how many levels above r's node something in a match of r
  // looks. A handler of rule c reaching k levels looks k - 1 levels above
  // the node of a rule whose body holds <c> directly, and so on upwards.
  // The values only grow and never pass the largest reach, so the work
  // list empties.
  std::vector<int> above(rules_.size(), 0);
  std::vector<int> pending;
  for (int rule = 0; rule < Count(); ++rule) {
    above[static_cast<std::size_t>(rule)] = rules_[static_cast<std::size_t>(rule)].HandlerReach();
    if (above[static_cast<std::size_t>(rule)] > 0) pending.push_back(rule);
  }
  while (!pending.empty()) {
    const int rule = pending.back();
    pending.pop_back();
    const int reach = above[static_cast<std::size_t>(rule)] - 1;
    for (const int caller : callers_[static_cast<std::size_t>(rule)]) {
      int& caller_above = above[static_cast<std::size_t>(caller)];
      if (reach <= caller_above) continue;
      caller_above = reach;
      pending.push_back(caller);
    }
  }
  self_contained.assign(rules_.size(), 0);
  for (std::size_t rule = 0; rule < rules_.size(); ++rule) {
    self_contained[rule] = above[rule] <= 0 ? 1 : 0;
  }
}

}  // namespace vantrel
