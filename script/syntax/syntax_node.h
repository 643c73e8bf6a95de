// A node of the syntax parser's tree: one recognised occurrence of a rule.
//
// Nodes belong to the parser that made them (they come from its pool) and
// stay valid until the parser's next parse, Clear or destruction. Positions
// are 1-based character positions in the input buffer in which the node
// began; End is inclusive (the last character consumed by the match, before
// any comment skipped after it), so a node that matched nothing has End
// below Start. A node not yet matched has Start = End = -1.
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_NODE_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_NODE_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace vantrel {

class NonTerminalNode;
class SyntaxParser;

// The children of a node, in input order.
using NonTerminalNodes = std::vector<NonTerminalNode*>;

class NonTerminalNode {
 public:
  NonTerminalNode() = default;
  NonTerminalNode(const NonTerminalNode&) = delete;
  NonTerminalNode& operator=(const NonTerminalNode&) = delete;

  int RuleIndex() const { return rule_index_; }
  int Start() const { return start_; }
  int End() const { return end_; }
  // The input buffer in which the node began (0: the parser's input).
  int BufferId() const { return buffer_id_; }
  // Null for the root.
  NonTerminalNode* Parent() const { return parent_; }
  SyntaxParser* Parser() const { return parser_; }
  const NonTerminalNodes& Children() const { return children_; }
  int ChildCount() const { return static_cast<int>(children_.size()); }
  NonTerminalNode& Child(int index) const { return *children_[static_cast<std::size_t>(index)]; }

  // The input characters from Start to End, from the node's buffer; empty
  // for a node that matched nothing. Valid while the parser's input is.
  std::string_view Text() const;

 private:
  friend class SyntaxParser;

  void Reset(SyntaxParser* parser, int rule_index, int start, int buffer_id,
             NonTerminalNode* parent) {
    rule_index_ = rule_index;
    start_ = start;
    end_ = -1;
    buffer_id_ = buffer_id;
    parent_ = parent;
    parser_ = parser;
    children_.clear();  // Keeps the capacity for the next use of the slot.
    remembered_ = false;
  }

  int rule_index_ = 0;
  int start_ = -1;
  int end_ = -1;
  int buffer_id_ = 0;
  NonTerminalNode* parent_ = nullptr;
  SyntaxParser* parser_ = nullptr;
  NonTerminalNodes children_;
  bool remembered_ = false;  // The parser's memory holds the node as a match.
  unsigned seen_ = 0;        // The parser's last check of the tree that met the node.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_NODE_H_
