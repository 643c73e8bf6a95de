#include "script/syntax/syntax_parser.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/ascii.h"
#include "base/debug_output.h"
#include "base/format.h"
#include "script/errors/script_errors.h"

namespace vantrel {

namespace {

constexpr std::string_view kCannotClearWhenParsing = "Cannot clear parser when parsing";
constexpr std::string_view kInvalidIncludedBuffer =
    "Invalid included input buffer. Each nodes must begin and end on the same input buffer";
constexpr std::size_t kMaxUserCharSetLength = 255;

bool IsFailure(MatchStatus status) {
  return status == MatchStatus::kEndOfInput || status == MatchStatus::kMismatch;
}

bool IsLetterOrUnderscore(int c) {
  const char upper = ToUpperAscii(static_cast<char>(c));
  return (upper >= 'A' && upper <= 'Z') || upper == '_';
}

// Sets a flag for the length of a scope, whatever way the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

SyntaxParser::SyntaxParser() {
  comments_.push_back(SyntaxComment{"{", "}", ""});
  root_.Reset(this, 0, 1, 0, nullptr);
  ResetInput();
}

SyntaxParser::~SyntaxParser() = default;

void SyntaxParser::RefuseWhileBusy() const {
  if (parsing_ || walking_) throw Exception(std::string(kCannotClearWhenParsing));
}

void SyntaxParser::SetGrammar(const StringList& grammar) {
  RefuseWhileBusy();
  grammar_ = grammar;
  rules_.Compile(grammar_);
  starts_analysed_ = false;
  Clear();
}

void SyntaxParser::SetGrammarText(std::string_view text) {
  StringList grammar;
  grammar.SetText(text);
  SetGrammar(grammar);
}

NonTerminal& SyntaxParser::RuleAt(int rule_index) {
  if (rule_index < 0 || rule_index >= rules_.Count()) {
    throw ParserError(Format("Rule index %d out of range", {rule_index}));
  }
  return rules_[rule_index];
}

void SyntaxParser::SetOnEnter(int rule_index, NodeHandler handler) {
  RuleAt(rule_index).SetOnEnter(std::move(handler));
}

void SyntaxParser::SetOnExit(int rule_index, NodeHandler handler) {
  RuleAt(rule_index).SetOnExit(std::move(handler));
}

void SyntaxParser::SetOnValidate(int rule_index, NodeValidateHandler handler, int reach) {
  RuleAt(rule_index).SetOnValidate(std::move(handler), reach);
}

void SyntaxParser::SetOnCharCheck(int rule_index, CharCheckHandler handler, int reach) {
  RuleAt(rule_index).SetOnCharCheck(std::move(handler), reach);
}

const std::string& SyntaxParser::UserCharSet(int index) const {
  if (index < 0 || index > 9) throw ParserError(Format("Invalid character set %d", {index}));
  return user_char_sets_[static_cast<std::size_t>(index)];
}

void SyntaxParser::SetUserCharSet(int index, std::string_view chars) {
  if (index < 0 || index > 9) throw ParserError(Format("Invalid character set %d", {index}));
  user_char_sets_[static_cast<std::size_t>(index)] =
      std::string(chars.substr(0, kMaxUserCharSetLength));
  starts_analysed_ = false;
}

void SyntaxParser::SetStringDelimiter(char delimiter) {
  string_delimiter_ = delimiter;
  starts_analysed_ = false;
}

void SyntaxParser::Clear() {
  RefuseWhileBusy();
  nodes_used_ = 0;
  root_.Reset(this, 0, 1, 0, nullptr);
}

void SyntaxParser::PrepareTables() {
  elements_ = rules_.Elements();
  has_comments_ = false;
  comment_first_char_.fill(false);
  for (const SyntaxComment& comment : comments_) {
    if (comment.StartMarker.empty()) continue;
    const char first = comment.StartMarker[0];
    comment_first_char_[static_cast<unsigned char>(ToUpperAscii(first))] = true;
    comment_first_char_[static_cast<unsigned char>(ToLowerAscii(first))] = true;
    has_comments_ = true;
  }
  active_comments_ = comments_;
  for (std::size_t set = 0; set < user_char_sets_.size(); ++set) {
    user_char_tables_[set].fill(false);
    for (const char c : user_char_sets_[set]) {
      user_char_tables_[set][static_cast<unsigned char>(c)] = true;
    }
  }
  delimiter_ = static_cast<unsigned char>(string_delimiter_);

  if (!starts_analysed_) {
    rules_.AnalyseStarts(string_delimiter_, user_char_sets_);
    starts_analysed_ = true;
  }
  // Skipping an attempt must not change what handlers see: node handlers
  // see every attempt, and a validate handler of a rule that matches empty
  // could run inside an attempt that fails at its first character.
  predicting_ = !on_new_node_ && !on_remove_node_;
  for (int rule = 0; predicting_ && rule < rules_.Count(); ++rule) {
    if (rules_[rule].OnValidate() && rules_.MatchesEmpty(rule)) predicting_ = false;
  }
  // Node and comment handlers see every attempt: answering one from memory
  // would hide it from them.
  remembering_ = !on_new_node_ && !on_remove_node_ && !on_comment_;
  if (remembering_) {
    rules_.SelfContained(remembered_rules_);
  } else {
    remembered_rules_.assign(static_cast<std::size_t>(rules_.Count()), 0);
  }
}

bool SyntaxParser::Parse() {
  ParseResult result;
  return Parse(result);
}

bool SyntaxParser::Parse(ParseResult& result) {
  Clear();
  PrepareTables();
  ResetInput();
  if (remembering_) memo_.Reset(length_ + 1);
  shared_ = false;
  kept_nodes_ = 0;
  farthest_ = SyntaxFailure{};
  depth_ = 0;
  failed_offset_ = 0;
  reported_comments_ = 0;
  marks_.clear();
  stack_base_ = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));

  MatchStatus status;
  int body_length = 0;
  try {
    const FlagScope parsing(parsing_);
    if (has_comments_) SkipComments();
    if (rules_.Count() == 0) {
      status = InputUsedUp() ? MatchStatus::kMatched : MatchStatus::kInputLeft;
    } else {
      const SyntaxSequence& body = rules_.Body(0);
      status = MatchSequence(elements_ + body.first, elements_ + body.first + body.count, &root_);
      body_length = static_cast<int>(rules_[0].CompiledBody().size());
    }
  } catch (...) {
    if (shared_) UnshareTree();
    throw;
  }
  if (shared_) UnshareTree();
  root_.end_ = last_position_;

  result.Status = status;
  result.LastChar = last_position_ > 0
                        ? BufferText(last_buffer_)[static_cast<std::size_t>(last_position_ - 1)]
                        : '\0';
  result.InputPosition = position_;
  result.RulePosition = IsFailure(status) ? failed_offset_ + 1 : body_length + 1;
  result.Farthest = farthest_;
  return status == MatchStatus::kMatched;
}

void SyntaxParser::RaiseNestingError() const { throw SyntaxNestingError(position_, buffer_); }

void SyntaxParser::RaiseBufferError() { throw Exception(std::string(kInvalidIncludedBuffer)); }

void SyntaxParser::RaiseGrammarError(int message) const {
  throw ParserError(rules_.ErrorMessage(message));
}

// The recursive functions below keep their frames small (few locals, work
// done in helpers that do not recurse): their frames are what a nesting
// level costs in stack.
MatchStatus SyntaxParser::MatchSequence(const SyntaxElement* element, const SyntaxElement* end,
                                        NonTerminalNode* target) {
  EnterLevel();
  MatchStatus status = MatchStatus::kMatched;
  for (; element != end; ++element) {
    switch (element->kind) {
      case SyntaxElementKind::kBlank:
        SkipBlank();
        continue;
      case SyntaxElementKind::kRule:
        status = MatchRule(element->first, target);
        break;
      case SyntaxElementKind::kOptional:
        if (CannotStart(element->first, element->count)) {
          SkipAttempt(element->first);
        } else {
          MatchOptional(*element, target);
        }
        continue;
      case SyntaxElementKind::kRepeat:
        status = MatchRepeat(*element, target);
        break;
      case SyntaxElementKind::kChoice:
        status = MatchChoice(*element, target);
        break;
      case SyntaxElementKind::kChar:
        if (AdvanceOver(element->ch)) continue;
        status = MatchCharacters(*element, target);
        break;
      default:
        status = MatchCharacters(*element, target);
        break;
    }
    if (IsFailure(status)) {
      failed_offset_ = element->offset;
      --depth_;
      return status;
    }
  }
  --depth_;
  return InputUsedUp() ? MatchStatus::kMatched : MatchStatus::kInputLeft;
}

MatchStatus SyntaxParser::MatchCharacters(const SyntaxElement& element, NonTerminalNode* target) {
  const int c = Peek();
  bool accepted = false;
  switch (element.kind) {
    case SyntaxElementKind::kChar:
      accepted = c >= 0 && ToUpperAscii(static_cast<char>(c)) == element.ch;
      break;
    case SyntaxElementKind::kDigit:
      accepted = c >= '0' && c <= '9';
      break;
    case SyntaxElementKind::kLetter:
      accepted = c >= 0 && IsLetterOrUnderscore(c);
      break;
    case SyntaxElementKind::kWordEnd:
      if (c == '(') return MatchStatus::kMatched;  // Ends the word without being consumed.
      accepted = c >= 0 && c <= ' ';
      break;
    case SyntaxElementKind::kAnyChar:
      accepted = c >= 0;
      break;
    case SyntaxElementKind::kUserSet:
      accepted =
          c >= 0 &&
          user_char_tables_[static_cast<std::size_t>(element.ch)][static_cast<std::size_t>(c)];
      break;
    case SyntaxElementKind::kQuoted:
      return MatchQuoted(element, target);
    case SyntaxElementKind::kString:
      return MatchStringLiteral(target);
    case SyntaxElementKind::kCharCheck:
      return MatchCharCheck(target);
    case SyntaxElementKind::kError:
      RaiseGrammarError(element.first);
    default:
      break;
  }
  if (!accepted) return Fail(c, target);
  Advance();
  return MatchStatus::kMatched;
}

void SyntaxParser::MatchOptional(const SyntaxElement& element, NonTerminalNode* target) {
  const std::size_t mark = PushMark(target);
  if (IsFailure(MatchSequence(elements_ + element.first, elements_ + element.first + element.count,
                              target))) {
    Restore(mark, target);
  }
  PopMark();
}

MatchStatus SyntaxParser::MatchRule(int rule_index, NonTerminalNode* target) {
  // An answer from memory goes no deeper: the nesting limit stops only
  // matching that goes down.
  if (remembered_rules_[static_cast<std::size_t>(rule_index)] != 0) {
    const RuleOutcome* outcome = memo_.Find(rule_index, position_, last_position_);
    if (outcome != nullptr) return Recall(*outcome, target);
  }
  NonTerminalNode* node = StartNode(rule_index, target);
  if (node == nullptr) return MatchStatus::kMismatch;  // Lookahead rules it out again.
  return FinishNode(node, MatchSequence(BodyBegin(rule_index), BodyEnd(rule_index), node));
}

NonTerminalNode* SyntaxParser::StartNode(int rule_index, NonTerminalNode* target) {
  // A node that begins at the end of an included text begins in the text
  // that follows it.
  if (position_ > length_) PeekAtBufferEnd();
  const SyntaxSequence& body = rules_.Body(rule_index);
  if (CannotStart(body.first, body.count)) {
    SkipAttempt(body.first);
    return nullptr;
  }
  // The mark keeps what FinishNode needs: the nodes before this one, and
  // where the attempt began and the last character consumed before it.
  PushNodeMark();
  NonTerminalNode* node = NewNode(rule_index, target);
  if (on_new_node_) on_new_node_(*this, *node);
  if (has_comments_) SkipComments();
  return node;
}

MatchStatus SyntaxParser::FinishNode(NonTerminalNode* node, MatchStatus status) {
  const Mark before = marks_.back();
  marks_.pop_back();
  node->end_ = last_position_;
  if (!IsFailure(status)) {
    const bool consumed =
        last_position_ != before.last_position || last_buffer_ != before.last_buffer;
    if (consumed && last_buffer_ != node->buffer_id_) RaiseBufferError();
    const NodeValidateHandler& validate = rules_[node->rule_index_].OnValidate();
    if (validate && !validate(*node)) status = MatchStatus::kMismatch;
  }
  if (IsFailure(status)) {
    if (remembering_) {
      // The node is its parent's last child: nothing is added beside it
      // while it is matched.
      node->parent_->children_.pop_back();
      Discard(node);
      TrimPool(before.nodes);
    } else {
      RemoveNodes(before.nodes);
    }
  }
  // The mark holds where the attempt began and the last character
  // consumed before it. A text included meanwhile by a handler has made
  // every rule unremembered: the outcome may depend on it.
  if (remembered_rules_[static_cast<std::size_t>(node->rule_index_)] != 0) {
    Remember(before.position, before.last_position, status, node);
  }
  return status;
}

MatchStatus SyntaxParser::MatchRepeat(const SyntaxElement& element, NonTerminalNode* target) {
  if (CannotStart(element.first, element.count)) return SkipAttempt(element.first);
  const std::size_t mark = PushMark(target);
  const MatchStatus status = MatchSequence(InnerBegin(element), InnerEnd(element), target);
  while (!IsFailure(status) && !RepeatDone(element, mark)) {
    SetMark(mark, target);
    if (IsFailure(MatchSequence(InnerBegin(element), InnerEnd(element), target))) {
      Restore(mark, target);
      break;
    }
  }
  PopMark();
  return IsFailure(status) ? status : MatchStatus::kMatched;
}

bool SyntaxParser::RepeatDone(const SyntaxElement& element, std::size_t mark) {
  // A round that consumed nothing would be repeated for ever: stop there.
  if (position_ == marks_[mark].position && buffer_ == marks_[mark].buffer) return true;
  if (!CannotStart(element.first, element.count)) return false;
  SkipAttempt(element.first);
  return true;
}

MatchStatus SyntaxParser::MatchChoice(const SyntaxElement& element, NonTerminalNode* target) {
  const std::size_t mark = PushMark(target);
  MatchStatus common = MatchStatus::kNone;
  for (int i = element.first; i < element.first + element.count; ++i) {
    MatchStatus status;
    if (CannotStart(rules_.Alternative(i).first, rules_.Alternative(i).count)) {
      status = SkipAttempt(rules_.Alternative(i).first);  // Leaves nothing to undo.
    } else {
      status = MatchSequence(AlternativeBegin(i), AlternativeEnd(i), target);
      if (!IsFailure(status)) {
        common = MatchStatus::kMatched;
        break;
      }
      Restore(mark, target);
    }
    // All alternatives failed alike: that status; else a mismatch.
    common = (common == MatchStatus::kNone || common == status) ? status : MatchStatus::kMismatch;
  }
  PopMark();
  return common;
}

MatchStatus SyntaxParser::MatchQuoted(const SyntaxElement& element, const NonTerminalNode* target) {
  const char* literal = rules_.LiteralText(element.first);
  for (int i = 0; i < element.count; ++i) {
    const int c = Peek();
    if (c < 0 || ToUpperAscii(static_cast<char>(c)) != literal[i]) return Fail(c, target);
    Advance();
  }
  return MatchStatus::kMatched;
}

MatchStatus SyntaxParser::MatchStringLiteral(const NonTerminalNode* target) {
  int c = Peek();
  if (c != delimiter_) return Fail(c, target);
  Consume();
  // Comments are not looked for inside the literal, nor after it.
  for (;;) {
    c = Peek();
    if (c < 0) return Fail(c, target);
    if (c != delimiter_) {
      // Take everything up to the next delimiter of this buffer at once.
      const void* found = std::memchr(text_ + position_ - 1, delimiter_,
                                      static_cast<std::size_t>(length_ - position_ + 1));
      const int stop = found != nullptr
                           ? static_cast<int>(static_cast<const char*>(found) - text_) + 1
                           : length_ + 1;
      last_position_ = stop - 1;
      last_buffer_ = buffer_;
      position_ = stop;
      continue;
    }
    Consume();
    if (Peek() != delimiter_) return MatchStatus::kMatched;
    Consume();  // A doubled delimiter stands for one.
  }
}

MatchStatus SyntaxParser::MatchCharCheck(NonTerminalNode* target) {
  const int c = Peek();
  if (c < 0) return Fail(c, target);
  const CharCheckHandler& check = rules_[target->rule_index_].OnCharCheck();
  if (!check || !check(*target, position_)) return Fail(c, target);
  Consume();
  return MatchStatus::kMatched;
}

void SyntaxParser::SkipBlank() {
  for (;;) {
    if (has_comments_) SkipComments();
    const int c = Peek();
    if (c < 0 || c > ' ') return;
    Consume();
  }
}

void SyntaxParser::SkipCommentsHere() {
  for (;;) {
    const int c = Peek();
    if (c < 0 || !comment_first_char_[static_cast<std::size_t>(c)]) return;
    if (!SkipOneComment()) return;
  }
}

bool SyntaxParser::SkipOneComment() {
  const std::string_view text(text_, static_cast<std::size_t>(length_));
  const auto offset = static_cast<std::size_t>(position_ - 1);
  for (const SyntaxComment& comment : active_comments_) {
    const std::string& marker = comment.StartMarker;
    if (marker.empty() || !StartsWithIgnoreCase(text.substr(offset), marker)) continue;
    if (!comment.PrecededBy.empty() && offset > 0 &&
        comment.PrecededBy.find(text[offset - 1]) == std::string::npos) {
      continue;
    }
    const std::size_t after = offset + marker.size();
    if (!comment.FollowedBy.empty() && after < text.size() &&
        comment.FollowedBy.find(text[after]) == std::string::npos) {
      continue;
    }
    const int start = position_;
    const std::size_t close = comment.EndMarker.empty()
                                  ? std::string_view::npos
                                  : FindIgnoreCase(text, comment.EndMarker, after);
    const std::size_t stop =
        close == std::string_view::npos ? text.size() : close + comment.EndMarker.size();
    position_ = static_cast<int>(stop) + 1;
    if (on_comment_) {
      const int buffer = buffer_;
      ReportComment(start, static_cast<int>(stop));
      // A handler that moved back onto the comment would have it skipped for
      // ever; matching goes on where it left the position.
      if (buffer_ == buffer && position_ <= start) return false;
    }
    return true;
  }
  return false;
}

void SyntaxParser::ReportComment(int start, int end) {
  ++reported_comments_;
  if (DebugOutputEnabled()) DebugOutput(Format("ini=%d end=%d", {start, end}));
  on_comment_(*this, start, end);
}

void SyntaxParser::RecordFailure(int rule_index, MatchStatus status) {
  const bool farther =
      buffer_ == farthest_.BufferId
          ? position_ > farthest_.InputPosition
          : IsBefore(farthest_.BufferId, farthest_.InputPosition, buffer_, position_);
  if (farther) farthest_ = SyntaxFailure{rule_index, position_, status, buffer_};
}

void SyntaxParser::Restore(std::size_t index, NonTerminalNode* target) {
  const Mark& mark = marks_[index];
  if (remembering_) {
    NonTerminalNodes& children = target->children_;
    if (children.size() > mark.children) {
      const auto added = children.begin() + mark.children;
      for (auto child = added; child != children.end(); ++child) Discard(*child);
      children.erase(added, children.end());
    }
    TrimPool(mark.nodes);
  } else if (nodes_used_ > mark.nodes) {
    RemoveNodes(mark.nodes);
  }
  if (buffer_ != mark.buffer) EnterBuffer(mark.buffer);
  position_ = mark.position;
  last_position_ = mark.last_position;
  last_buffer_ = mark.last_buffer;
  if (reported_comments_ > mark.comments) RetractComments(mark);
}

void SyntaxParser::RetractComments(Mark mark) {
  reported_comments_ = mark.comments;
  if (DebugOutputEnabled()) DebugOutput(Format("Recusado %d", {mark.position}));
  if (on_comment_retract_) on_comment_retract_(*this, mark.buffer, mark.position);
}

NonTerminalNode* SyntaxParser::TakeNode() {
  if (nodes_used_ == node_chunks_.size() * kNodeChunkSize) {
    node_chunks_.push_back(std::make_unique<NonTerminalNode[]>(kNodeChunkSize));
  }
  return &PooledNode(nodes_used_++);
}

NonTerminalNode* SyntaxParser::NewNode(int rule_index, NonTerminalNode* parent) {
  NonTerminalNode* node = TakeNode();
  node->Reset(this, rule_index, position_, buffer_, parent);
  parent->children_.push_back(node);
  return node;
}

void SyntaxParser::RemoveNodes(std::size_t keep) {
  while (nodes_used_ > keep) {
    NonTerminalNode& node = PooledNode(nodes_used_ - 1);
    if (on_remove_node_) on_remove_node_(*this, node);
    // Nodes go in reverse creation order, so each is its parent's last child.
    node.parent_->children_.pop_back();
    --nodes_used_;
  }
}

void SyntaxParser::WalkTree() {
  RefuseWhileBusy();
  const FlagScope walking(walking_);
  walk_stack_.clear();
  EnterNode(&root_);
  while (!walk_stack_.empty()) {
    WalkStep& step = walk_stack_.back();
    NonTerminalNode* node = step.node;
    const std::size_t count = node->children_.size();
    if (step.next_child < count) {
      const std::size_t index = step.next_child++;
      const bool reverse = rules_[node->rule_index_].Reverse();
      EnterNode(node->children_[reverse ? count - 1 - index : index]);
      continue;
    }
    walk_stack_.pop_back();
    current_position_ = node->end_;
    const NodeHandler& exit = rules_[node->rule_index_].OnExit();
    if (exit) exit(*node);
  }
  skip_children_ = false;
}

void SyntaxParser::EnterNode(NonTerminalNode* node) {
  // Only the root of a tree parsed without rules has no rule.
  NonTerminal* rule = node->rule_index_ < rules_.Count() ? &rules_[node->rule_index_] : nullptr;
  current_position_ = node->start_;
  skip_children_ = false;
  if (rule != nullptr && rule->OnEnter()) rule->OnEnter()(*node);
  if (!skip_children_ && !node->children_.empty()) {
    walk_stack_.push_back(WalkStep{node, 0});
    return;
  }
  current_position_ = node->end_;
  if (rule != nullptr && rule->OnExit()) rule->OnExit()(*node);
}

}  // namespace vantrel
