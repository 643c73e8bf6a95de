// The parser's memory of rule outcomes (see Memory in syntax_parser.h):
// matching a rule once per place, answering it from memory after that, and
// keeping the tree a tree where remembered nodes are used again.
#include "script/syntax/syntax_parser.h"

namespace vantrel {

MatchStatus SyntaxParser::MatchRemembered(int rule_index, NonTerminalNode* target) {
  // An answer from memory goes no deeper: the nesting limit stops only
  // matching that goes down.
  const RuleOutcome* outcome = memo_.Find(rule_index, position_, last_position_);
  if (outcome != nullptr) return Recall(*outcome, target);
  // Few locals here: this frame is part of what a level of nesting costs.
  const int start = position_;
  const int last_before = last_position_;
  NonTerminalNode* node = StartNode(rule_index, target);
  if (node == nullptr) return MatchStatus::kMismatch;  // Lookahead rules it out again.
  const MatchStatus status =
      FinishNode(node, MatchSequence(BodyBegin(rule_index), BodyEnd(rule_index), node));
  Remember(rule_index, start, last_before, status, node);
  return status;
}

void SyntaxParser::Remember(int rule_index, int start, int last_before, MatchStatus status,
                            NonTerminalNode* node) {
  // A handler included a text meanwhile: the outcome may depend on it.
  if (!includes_.empty()) return;
  RuleOutcome outcome{.Rule = rule_index,
                      .LastBefore = last_before,
                      .Status = status,
                      .Position = position_,
                      .LastPosition = last_position_};
  if (status == MatchStatus::kMatched || status == MatchStatus::kInputLeft) {
    // The node and its subtree lie below the pool's end: nodes made for
    // the match come after the node, and reused ones before it.
    outcome.Node = node;
    node->remembered_ = true;
    kept_nodes_ = nodes_used_;
  }
  memo_.Add(start, outcome);
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

void SyntaxParser::Discard(NonTerminalNode* node) {
  // The walk stops at remembered matches, whose subtrees stay as they are,
  // so it meets each node made for an attempt at most once.
  if (node->remembered_) {
    node->parent_ = nullptr;
    return;
  }
  node_stack_.assign(1, node);
  while (!node_stack_.empty()) {
    const NonTerminalNode* discarded = node_stack_.back();
    node_stack_.pop_back();
    for (NonTerminalNode* child : discarded->children_) {
      if (child->remembered_) {
        child->parent_ = nullptr;
      } else {
        node_stack_.push_back(child);
      }
    }
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
