// A parser driven by a grammar held as text.
//
// The parser has no language of its own: its owner loads a grammar (one rule
// per line, see script/syntax_grammar.h), attaches handlers to rules, sets
// the string delimiter and the comment definitions, and parses an input
// text. Parsing builds a tree with one node per recognised rule occurrence;
// walking the tree afterwards calls each rule's enter and exit handlers in
// depth-first order, which is where a compiler generates its code.
//
// Matching interprets the rule bodies recursively: ordered choice (the first
// alternative that matches is kept and never retried), greedy repetition,
// optional parts; everything matched ignoring ASCII case. Body notation:
//
//   blank      skip characters with code 32 or less, and comments; never fails
//   <name>     a node of rule `name`
//   [x]  (x)   x optional; x one or more times
//   {a|b|...}  ordered choice of at most 30 alternatives
//   "abc"      the characters a, b, c (any character in quotes is literal)
//   #  @  %    a digit; a letter or underscore; any one character
//   ~          word end: a character with code 32 or less (consumed) or "("
//              (not consumed)
//   $          a string literal between string delimiters, a doubled
//              delimiter standing for one
//   &0 .. &9   a character of user character set 0 .. 9
//   &          a character the rule's character-check handler accepts
//   other      that character
//
// Comments are skipped when a rule match begins, by blanks (before and after
// each white-space character), and after every character an element reads
// except those of "$" and "&". A node ends at the last character consumed,
// before any comment skipped after it. A failed parse is
// not an error: Parse returns false and its result carries the failure that
// got farthest into the input, where a syntax error is to be reported.
//
// Text inclusion: a handler (typically the comment handler) may suspend the
// current input with PushInput and continue in another text; when that text
// is used up the parser resumes the suspended one where it stopped. A node
// must end in the buffer in which it began.
//
// Nesting: matching recurses once per rule level and per bracket level;
// beyond kMaxNestingDepth levels, or kMaxStackBytes of stack below Parse,
// the parse stops with SyntaxNestingError instead of exhausting the thread's
// stack. A level costs under 300 bytes even in a g++ AddressSanitizer debug
// build, so the level limit (about 450 KiB there) comes first and is safe on
// a 1 MiB thread stack; with the Basic grammar it admits about 500 nested
// parentheses, 160 nested calls with arguments, 300 nested blocks or 370 case
// branches in one select. The stack budget guards builds whose frames are
// larger still (clang's AddressSanitizer without optimisation).
//
// Lookahead: before trying a rule, an alternative, or an optional or
// repeated part, the parser checks whether it can begin with the current
// character (worked out from the grammar once) and, when it cannot, skips
// it, recording the failure that trying would have recorded. It does so only
// where trying would have had no other visible effect: not while a node
// handler is set, not where a comment begins, not at the end of a buffer,
// and not at all when a rule that can match empty has a validate handler.
// Results and trees are the same with and without it.
//
// Memory: a parse remembers what matching each rule came to at each place
// (the status, where matching stood afterwards, and for a match its node
// and subtree), and answers the rule tried again at that place from memory
// instead of matching the text again: ordered choice makes the same rule
// be tried at the same place under every alternative that reaches it, and
// without memory that work multiplies with every level of nesting. With it
// a remembered rule's body is matched at most once per place (and per last
// character consumed before it, which is where a node that begins empty
// ends); a rule that is not remembered is matched anew each time its
// caller is. Only where that cannot change what handlers see: not while a
// node or comment handler is set (they see every attempt), not after a
// handler included a text by PushInput (to the end of that parse), and only
// for rules whose match depends on nothing above their node: every
// validate and character-check handler within it has been set with a
// reach (the ancestor levels it looks at) that stays inside the rule's
// node. A handler set without a reach may look anywhere,
// so no rule whose match can run it is remembered. A remembered match is
// not validated again where it is reused. Results, trees and failures are
// the same with and without memory, but for the nesting limit: an answer
// from memory goes no deeper, and the limit stops only matching that does
// (so memory may let a parse end where matching the same text again at a
// deeper level would have met the limit). A node used in more than one
// place of the final tree is copied for each further place.
//
// Not synchronised: one thread at a time. Handlers run on the parsing
// thread, inside Parse or WalkTree; they must not change the grammar, the
// input or the tree (the parser refuses with "Cannot clear parser when
// parsing").
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_PARSER_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_PARSER_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/exception.h"
#include "base/string_list.h"
#include "script/syntax/syntax_comment.h"
#include "script/syntax/syntax_grammar.h"
#include "script/syntax/syntax_memo.h"
#include "script/syntax/syntax_node.h"

namespace vantrel {

// Input nested deeper than the parser's stack allows.
class SyntaxNestingError : public Exception {
 public:
  SyntaxNestingError(int position, int buffer_id)
      : Exception("SyntaxNestingError", "Program nesting is too deep"),
        position_(position),
        buffer_id_(buffer_id) {}

  // Where matching was when the limit was passed (1-based).
  int Position() const noexcept { return position_; }
  int BufferId() const noexcept { return buffer_id_; }

 private:
  int position_;
  int buffer_id_;
};

// The outcome of matching a rule, a body or the whole input.
enum class MatchStatus : std::uint8_t {
  kNone = 0,
  kMatched = 1,     // matched, and the input is used up
  kEndOfInput = 2,  // the input ended while the rule still needed some
  kInputLeft = 3,   // matched, with input left over
  kMismatch = 4,    // did not match
};

// A place where matching failed.
struct SyntaxFailure {
  int RuleIndex = -1;  // The rule whose body held the failing element.
  int InputPosition = 0;
  MatchStatus Status = MatchStatus::kNone;
  int BufferId = 0;
};

struct ParseResult {
  MatchStatus Status = MatchStatus::kNone;
  char LastChar = '\0';   // The last character consumed.
  int InputPosition = 0;  // Where matching stopped.
  int RulePosition = 0;   // Where in the start rule's compiled body (1-based).
  // The failure that got farthest into the input.
  SyntaxFailure Farthest;
};

// An input suspended by PushInput, to be resumed where it stopped.
struct SavedInput {
  int BufferId = 0;
  int InputPosition = 0;     // Where parsing goes on in it.
  int FarthestPosition = 0;  // The farthest failure when it was suspended.
  std::string_view Text;     // Valid while the parser keeps the buffer.
};

// A text pushed by PushInput during the current parse.
struct Include {
  int BufferId = 0;
  std::string Text;
  int SuspendedBufferId = 0;  // The input it interrupted ...
  int ResumePosition = 0;     // ... and where that input goes on.
  int FarthestPosition = 0;   // The farthest failure when it was pushed.
};

struct LineColumn {
  int Line = 0;
  int Column = 0;
};

// Notification of a node: the sender and the node.
using NodeNotifyEvent = std::function<void(SyntaxParser& sender, NonTerminalNode& node)>;
// A comment was skipped: its first and last positions.
using CommentEvent = std::function<void(SyntaxParser& sender, int start, int end)>;
// Comments reported at or after `position` of buffer `buffer_id` are void.
using CommentRetractEvent = std::function<void(SyntaxParser& sender, int buffer_id, int position)>;

class SyntaxParser {
 public:
  // Deepest recursion of matching (rule and bracket levels together).
  static constexpr int kMaxNestingDepth = 1500;
  // Most stack that matching may use below Parse's frame; reached before
  // kMaxNestingDepth only in builds with unusually large frames.
  static constexpr std::uintptr_t kMaxStackBytes = 512 * 1024;

  SyntaxParser();
  SyntaxParser(const SyntaxParser&) = delete;
  SyntaxParser& operator=(const SyntaxParser&) = delete;
  ~SyntaxParser();

  // The grammar, one rule per line; setting it recompiles the rules and
  // drops their handlers.
  const StringList& Grammar() const { return grammar_; }
  void SetGrammar(const StringList& grammar);
  void SetGrammarText(std::string_view text);

  NonTerminals& Rules() { return rules_; }
  const NonTerminals& Rules() const { return rules_; }
  // Index of the rule named `name` (ignoring ASCII case), -1 if none.
  int RuleIndex(std::string_view name) const { return rules_.IndexOf(name); }
  // Handlers of rule `rule_index`; ParserError for an index out of range.
  // `reach`: how many levels of ancestors above the node the handler looks
  // at (0: only the node and its subtree); see Memory above.
  void SetOnEnter(int rule_index, NodeHandler handler);
  void SetOnExit(int rule_index, NodeHandler handler);
  void SetOnValidate(int rule_index, NodeValidateHandler handler,
                     int reach = NonTerminal::kAnyLevel);
  void SetOnCharCheck(int rule_index, CharCheckHandler handler, int reach = NonTerminal::kAnyLevel);

  // The input lines; the text parsed is each line followed by CR LF.
  const StringList& Input() const { return input_; }
  void SetInput(const StringList& input);
  // Splits `text` into lines (at CR, LF or CR LF) and sets them as input.
  void SetInputText(std::string_view text);
  const std::string& InputText() const { return input_text_; }

  // Delimiter of "$" literals; initially the apostrophe.
  char StringDelimiter() const { return string_delimiter_; }
  void SetStringDelimiter(char delimiter);

  // Comment definitions; initially one, from "{" to "}". Read at the start
  // of each parse.
  SyntaxComments& Comments() { return comments_; }
  const SyntaxComments& Comments() const { return comments_; }
  void SetComments(SyntaxComments comments) { comments_ = std::move(comments); }

  // User character set `index` (0-9) for "&0" .. "&9": at most 255
  // characters, compared exactly; longer texts are cut.
  const std::string& UserCharSet(int index) const;
  void SetUserCharSet(int index, std::string_view chars);

  // Called for each node added to the tree, before its body is matched.
  void SetOnNewNode(NodeNotifyEvent handler) { on_new_node_ = std::move(handler); }
  // Called for each node taken out of the tree when a match fails, the last
  // added first (so children before their parent).
  void SetOnRemoveNode(NodeNotifyEvent handler) { on_remove_node_ = std::move(handler); }
  // Called for each comment skipped, with InputPosition() just past it; the
  // handler may move InputPosition(), set FarthestPosition() or PushInput.
  // Each comment reported is also written to the debugger output as
  // "ini=<start> end=<end>" (base/debug_output.h).
  void SetOnComment(CommentEvent handler) { on_comment_ = std::move(handler); }
  // Called when matching falls back before comments already reported to
  // the comment handler, with the position it falls back to, after the
  // debugger output line "Recusado <position>".
  void SetOnCommentRetract(CommentRetractEvent handler) {
    on_comment_retract_ = std::move(handler);
  }

  // Parses the input from its first character with the first rule. True
  // when the whole input matched; `result` tells how far it got otherwise.
  // Raises ParserError for a mistake in the grammar reached by matching,
  // SyntaxNestingError for input nested too deeply, and whatever a handler
  // raises.
  bool Parse(ParseResult& result);
  bool Parse();
  bool Parsing() const { return parsing_; }

  // Visits the tree depth first: for each node, CurrentPosition() becomes
  // its Start and the rule's enter handler is called; then its children are
  // visited (last first for rules with the reverse flag) unless the enter
  // handler called SetSkipChildren(true); then CurrentPosition() becomes its
  // End and the exit handler is called.
  void WalkTree();
  int CurrentPosition() const { return current_position_; }
  bool SkipChildren() const { return skip_children_; }
  void SetSkipChildren(bool skip) { skip_children_ = skip; }

  // Empties the tree; refused while parsing or walking.
  void Clear();
  // The node of the start rule, whose children are the parse's top nodes.
  NonTerminalNode& Root() { return root_; }
  const NonTerminalNode& Root() const { return root_; }

  // Matching state, for handlers called during a parse.
  int InputPosition() const { return position_; }
  // Moves matching in the current buffer (clipped to the buffer).
  void SetInputPosition(int position);
  const SyntaxFailure& Farthest() const { return farthest_; }
  int FarthestPosition() const { return farthest_.InputPosition; }
  // Sets the farthest failure's position in the current buffer.
  void SetFarthestPosition(int position);
  // The buffer being read: 0 for the input, else an included text.
  int BufferId() const { return buffer_; }
  // Suspends the current buffer at InputPosition() and goes on with `text`
  // from its first character; returns the new buffer's id.
  int PushInput(std::string text);
  // The suspended buffers, outermost first.
  std::vector<SavedInput> SavedInputs() const;
  // The texts pushed during the current parse; buffer id i is element i-1.
  const std::deque<Include>& Includes() const { return includes_; }
  // The text of buffer `buffer_id`; empty for an unknown id.
  std::string_view BufferText(int buffer_id) const;

  // Line and column of input position `position` (1-based) in the input
  // lines, each of which occupies its length plus 2 (CR LF): the line is
  // the 1-based number of the line holding offset position - 1, the column
  // that offset minus the line's start plus 1, clipped to the line's
  // length; past the text: line count + 1, column 1.
  LineColumn LineColumnOf(int position) const;

 private:
  // Everything needed to go back to an earlier point of matching.
  struct Mark {
    int position;
    int buffer;
    int last_position;
    int last_buffer;
    std::uint32_t nodes;
    std::uint32_t comments;
    std::uint32_t children;  // How many children the target had.
  };
  struct WalkStep {
    NonTerminalNode* node;
    std::size_t next_child;
  };

  void RefuseWhileBusy() const;
  NonTerminal& RuleAt(int rule_index);
  void PrepareTables();
  void ResetInput();
  void EnterBuffer(int buffer);

  MatchStatus MatchSequence(const SyntaxElement* element, const SyntaxElement* end,
                            NonTerminalNode* target);
  MatchStatus MatchRule(int rule_index, NonTerminalNode* target);
  // Keeps what an attempt with node `node`, which began at `start` after
  // the character at `last_before`, came to.
  void Remember(int start, int last_before, MatchStatus status, NonTerminalNode* node);
  // Remember when the memory needs room first; out of line, so that
  // Remember itself needs no frame.
  [[gnu::noinline]] void RememberInNewChunk(int start, int last_before, MatchStatus status,
                                            NonTerminalNode* node);
  // Takes up the state an earlier attempt ended in.
  MatchStatus Recall(const RuleOutcome& outcome, NonTerminalNode* target);
  // `node` and its subtree are out of the tree for good: the remembered
  // matches in it become free to be used elsewhere. Most discarded nodes
  // are remembered ones or have no children, and need no walk.
  void Discard(NonTerminalNode* node) {
    if (node->remembered_) {
      node->parent_ = nullptr;
    } else if (!node->children_.empty()) {
      DiscardChildren(node);
    }
  }
  void DiscardChildren(const NonTerminalNode* node);
  // Gives back to the pool the nodes made since `keep`, as far as no
  // remembered subtree lies among them.
  void TrimPool(std::size_t keep) {
    nodes_used_ = std::min(nodes_used_, std::max(keep, kept_nodes_));
  }
  // After a parse that used a remembered node while it still had a place
  // elsewhere: gives every place in the tree a node of its own and every
  // node its parent.
  void UnshareTree();
  // The node for a match of rule `rule_index`, or null when lookahead rules
  // the rule out; FinishNode completes or removes it.
  NonTerminalNode* StartNode(int rule_index, NonTerminalNode* target);
  MatchStatus FinishNode(NonTerminalNode* node, MatchStatus status);
  void MatchOptional(const SyntaxElement& element, NonTerminalNode* target);
  MatchStatus MatchChoice(const SyntaxElement& element, NonTerminalNode* target);
  MatchStatus MatchRepeat(const SyntaxElement& element, NonTerminalNode* target);
  // Elements that read characters and do not recurse.
  MatchStatus MatchCharacters(const SyntaxElement& element, NonTerminalNode* target);
  MatchStatus MatchQuoted(const SyntaxElement& element, const NonTerminalNode* target);
  MatchStatus MatchStringLiteral(const NonTerminalNode* target);
  MatchStatus MatchCharCheck(NonTerminalNode* target);
  bool RepeatDone(const SyntaxElement& element, std::size_t mark);
  // Bounds of the sequences matched by the recursive functions.
  const SyntaxElement* InnerBegin(const SyntaxElement& element) const {
    return elements_ + element.first;
  }
  const SyntaxElement* InnerEnd(const SyntaxElement& element) const {
    return elements_ + element.first + element.count;
  }
  const SyntaxElement* AlternativeBegin(int index) const {
    return elements_ + rules_.Alternative(index).first;
  }
  const SyntaxElement* AlternativeEnd(int index) const {
    return elements_ + rules_.Alternative(index).first + rules_.Alternative(index).count;
  }
  const SyntaxElement* BodyBegin(int rule_index) const {
    return elements_ + rules_.Body(rule_index).first;
  }
  const SyntaxElement* BodyEnd(int rule_index) const {
    return elements_ + rules_.Body(rule_index).first + rules_.Body(rule_index).count;
  }
  // One level deeper; raises SyntaxNestingError past the level limit or the
  // stack budget.
  void EnterLevel() {
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (++depth_ > kMaxNestingDepth ||
        (here < stack_base_ && stack_base_ - here > kMaxStackBytes)) {
      RaiseNestingError();
    }
  }
  [[noreturn]] void RaiseNestingError() const;
  [[noreturn]] void RaiseGrammarError(int message) const;
  [[noreturn]] static void RaiseBufferError();

  // The character at the current position (0-255), resuming suspended
  // buffers at the end of an included one; -1 at the end of the input.
  int Peek() {
    return position_ <= length_ ? static_cast<unsigned char>(text_[position_ - 1])
                                : PeekAtBufferEnd();
  }
  int PeekAtBufferEnd();
  // True when no character is left in this buffer nor in the suspended ones.
  bool InputUsedUp() const { return position_ > length_ && SuspendedInputsUsedUp(); }
  bool SuspendedInputsUsedUp() const;
  void Consume() {
    last_position_ = position_++;
    last_buffer_ = buffer_;
  }
  // Consumes the current character when it is `upper` ignoring case.
  bool AdvanceOver(char upper) {
    if (position_ > length_ || ToUpperAscii(text_[position_ - 1]) != upper) return false;
    Advance();
    return true;
  }
  // Consumes the current character and skips the comments after it.
  void Advance() {
    Consume();
    if (has_comments_) SkipComments();
  }
  void SkipBlank();
  // Skips the comments that begin at the current position, if any.
  void SkipComments() {
    if (position_ <= length_ &&
        !comment_first_char_[static_cast<unsigned char>(text_[position_ - 1])]) {
      return;
    }
    SkipCommentsHere();
  }
  void SkipCommentsHere();
  bool SkipOneComment();
  void ReportComment(int start, int end);
  MatchStatus Fail(int character, const NonTerminalNode* target) {
    const MatchStatus status = character < 0 ? MatchStatus::kEndOfInput : MatchStatus::kMismatch;
    RecordFailure(target->rule_index_, status);
    return status;
  }
  void RecordFailure(int rule_index, MatchStatus status);
  // Lookahead: true when `sequence` cannot match at the current position
  // because no way through it begins with the current character. Only
  // claimed where trying would have no effect but the failure it records:
  // no node handlers, no comment at the position, not at a buffer's end.
  // (Sequences are passed as their first element and count: aggregates in
  // the recursive frames cost stack in instrumented builds.)
  bool CannotStart(int first, int count) const {
    if (!predicting_ || count == 0 || position_ > length_) return false;
    const auto c = static_cast<unsigned char>(text_[position_ - 1]);
    if (comment_first_char_[c]) return false;
    const SyntaxStart& start = rules_.Start(first);
    return start.tests && !start.empty && !start.Has(c);
  }
  // Records the failure that trying the sequence from element `first` would
  // have recorded.
  MatchStatus SkipAttempt(int first) {
    RecordFailure(rules_.Start(first).rule, MatchStatus::kMismatch);
    return MatchStatus::kMismatch;
  }
  bool IsBefore(int buffer_a, int position_a, int buffer_b, int position_b) const;

  // Marks live on marks_ rather than in the recursive frames, which keeps
  // the frames, and so the stack used per nesting level, small.
  std::size_t PushMark(const NonTerminalNode* target) {
    marks_.push_back(CurrentMark(target));
    return marks_.size() - 1;
  }
  void SetMark(std::size_t index, const NonTerminalNode* target) {
    marks_[index] = CurrentMark(target);
  }
  // The mark of a node's attempt, which only FinishNode takes back: it adds
  // the node alone to its target, so the target's children go uncounted.
  void PushNodeMark() { marks_.push_back(CurrentMark(std::uint32_t{0})); }
  void PopMark() { marks_.pop_back(); }
  Mark CurrentMark(const NonTerminalNode* target) const {
    return CurrentMark(static_cast<std::uint32_t>(target->children_.size()));
  }
  Mark CurrentMark(std::uint32_t children) const {
    return Mark{position_,
                buffer_,
                last_position_,
                last_buffer_,
                static_cast<std::uint32_t>(nodes_used_),
                reported_comments_,
                children};
  }
  // Goes back to mark `index`, taking out the nodes added to `target` since.
  void Restore(std::size_t index, NonTerminalNode* target);
  // Voids the comments reported since `mark`. Out of line: the message it
  // formats would give every Restore a large frame to set up.
  [[gnu::noinline]] void RetractComments(Mark mark);
  // Takes a node of the pool, not yet in the tree.
  NonTerminalNode* TakeNode();
  NonTerminalNode* NewNode(int rule_index, NonTerminalNode* parent);
  NonTerminalNode& PooledNode(std::size_t index) {
    return node_chunks_[index / kNodeChunkSize][index % kNodeChunkSize];
  }
  void RemoveNodes(std::size_t keep);
  void EnterNode(NonTerminalNode* node);

  static constexpr std::size_t kNodeChunkSize = 512;

  StringList grammar_;
  NonTerminals rules_;
  StringList input_;
  std::string input_text_;  // input_ joined, each line followed by CR LF.
  char string_delimiter_ = '\'';
  SyntaxComments comments_;
  std::array<std::string, 10> user_char_sets_;

  NodeNotifyEvent on_new_node_;
  NodeNotifyEvent on_remove_node_;
  CommentEvent on_comment_;
  CommentRetractEvent on_comment_retract_;

  bool parsing_ = false;
  bool walking_ = false;
  NonTerminalNode root_;
  // Nodes are taken from the pool in creation order and given back from
  // the end, so a failed match frees exactly the nodes made since its mark.
  std::vector<std::unique_ptr<NonTerminalNode[]>> node_chunks_;
  std::size_t nodes_used_ = 0;

  // Tables built from the settings at the start of each parse.
  const SyntaxElement* elements_ = nullptr;
  bool starts_analysed_ = false;  // rules_.AnalyseStarts is up to date.
  bool predicting_ = false;       // CannotStart may skip attempts.
  bool has_comments_ = false;
  SyntaxComments active_comments_;              // comments_ as the parse began.
  std::array<bool, 256> comment_first_char_{};  // May start a comment.
  std::array<std::array<bool, 256>, 10> user_char_tables_{};
  int delimiter_ = '\'';

  // The cursor: the next character is text_[position_ - 1] of buffer
  // buffer_, whose text is text_ with length_ characters.
  int position_ = 1;
  int buffer_ = 0;
  const char* text_ = nullptr;
  int length_ = 0;
  // The last character consumed (position 0: none yet).
  int last_position_ = 0;
  int last_buffer_ = 0;
  std::deque<Include> includes_;
  SyntaxFailure farthest_;
  int depth_ = 0;
  std::uintptr_t stack_base_ = 0;  // Parse's frame address.
  int failed_offset_ = 0;          // Body offset of the last element that failed.
  // Memory of rule outcomes (see Memory above). While remembering_, the
  // pool keeps every remembered subtree for the rest of the parse: a failed
  // match takes its nodes out of the tree, and gives back to the pool only
  // those made after the last match remembered.
  bool remembering_ = false;
  // By rule: 1 while its outcomes are remembered in this parse (the rule is
  // self-contained, and no text has been included).
  std::vector<std::uint8_t> remembered_rules_;
  SyntaxMemo memo_;
  std::size_t kept_nodes_ = 0;  // The pool up to here holds remembered subtrees.
  // A remembered node was used while it still had a place elsewhere: the
  // tree may hold it twice, and parents may be out of date.
  bool shared_ = false;
  std::uint32_t tree_serial_ = 0;             // Marks nodes seen by UnshareTree.
  std::vector<NonTerminalNode*> node_stack_;  // For Discard and UnshareTree.
  // Comments given to the comment handler and not yet retracted.
  std::uint32_t reported_comments_ = 0;
  std::vector<Mark> marks_;

  // Tree walk.
  std::vector<WalkStep> walk_stack_;
  int current_position_ = 0;
  bool skip_children_ = false;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_PARSER_H_
