// The parser's memory of rule outcomes (see Memory in syntax_parser.h):
// keeping what matching a rule came to, answering it from memory after
// that, and keeping the tree a tree where remembered nodes are used again.
// MatchRule looks outcomes up and FinishNode keeps them.
#include "script/syntax/syntax_parser.h"

namespace vantrel {

void SyntaxParser::Remember(int start, int last_before, MatchStatus status, NonTerminalNode* node) {
  if (!memo_.HasRoom()) {
    RememberInNewChunk(start, last_before, status, node);
    return;
  }
  RuleOutcome& outcome = memo_.Add(start);
  outcome.Rule = node->rule_index_;
  outcome.LastBefore = last_before;
  outcome.Position = position_;
  outcome.LastPosition = last_position_;
  outcome.Status = status;
  outcome.Node = nullptr;
  if (status == MatchStatus::kMatched || status == MatchStatus::kInputLeft) {
    // The node and its subtree lie below the pool's end: nodes made for
    // the match come after the node, and reused ones before it.
    outcome.Node = node;
    node->remembered_ = true;
    kept_nodes_ = nodes_used_;
  }
}

void SyntaxParser::RememberInNewChunk(int start, int last_before, MatchStatus status,
                                      NonTerminalNode* node) {
  memo_.AddChunk();
  Remember(start, last_before, status, node);
}

MatchStatus SyntaxParser::Recall(const RuleOutcome& outcome, NonTerminalNode* target) {
  // Failures recorded by the first attempt stand: the farthest failure
  // only moves forward, so the same failures recorded again change nothing.
  // Without included texts, matching never leaves buffer 0.
  position_ = outcome.Position;
  last_position_ = outcome.LastPosition;
  NonTerminalNode* node = outcome.Node;
  if (node != nullptr) {
    // A node still in place elsewhere (in the tree, or within another
    // remembered match) is shared until UnshareTree. Handlers look only at
    // the nodes being matched and their ancestors, which are never
    // remembered ones, and have their parents right.
    if (node->parent_ != nullptr) shared_ = true;
    node->parent_ = target;
    target->children_.push_back(node);
  }
  return outcome.Status;
}

void SyntaxParser::DiscardChildren(const NonTerminalNode* node) {
  // The walk stops at remembered matches, whose subtrees stay as they are,
  // so it meets each node made for an attempt at most once.
  node_stack_.clear();
  for (;;) {
    for (NonTerminalNode* child : node->children_) {
      if (child->remembered_) {
        child->parent_ = nullptr;
      } else if (!child->children_.empty()) {
        node_stack_.push_back(child);
      }
    }
    if (node_stack_.empty()) return;
    node = node_stack_.back();
    node_stack_.pop_back();
  }
}

void SyntaxParser::UnshareTree() {
  // A node met a second time is replaced by a copy, whose children are
  // then met (and copied) in their turn.
  ++tree_serial_;
  node_stack_.assign(1, &root_);
  while (!node_stack_.empty()) {
    NonTerminalNode* node = node_stack_.back();
    node_stack_.pop_back();
    for (NonTerminalNode*& child : node->children_) {
      if (child->seen_ == tree_serial_) {
        NonTerminalNode* copy = TakeNode();
        copy->Reset(this, child->rule_index_, child->start_, child->buffer_id_, node);
        copy->end_ = child->end_;
        copy->children_ = child->children_;
        child = copy;
      }
      child->seen_ = tree_serial_;
      child->parent_ = node;
      node_stack_.push_back(child);
    }
  }
}

}  // namespace vantrel
