// The rules of a grammar held as text, compiled for the syntax parser.
//
// A grammar line reads `<name>flags:body`: the name is the text between the
// first "<" and the first ">", the flags the text between that ">" and the
// next ":" (only "R", walk the children in reverse, has a meaning), the body
// everything after that ":". Compiling keeps each rule's body as written,
// rewrites every `<name>` reference outside double quotes into `<index>` (the
// compiled body; an unknown name gives -1), and turns the compiled body into
// a flat list of elements that the parser interprets without rescanning the
// text: bracket pairs are matched and choices split into alternatives once,
// here.
//
// Mistakes in a body (an unterminated literal or bracket, an empty bracket, a
// reference to an unknown rule, more than 30 alternatives) do not stop the
// compilation: they become error elements that raise ParserError, quoting
// the rule's name, when the parser reaches them, so a grammar whose faulty
// part is never reached still parses.
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_GRAMMAR_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_GRAMMAR_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/string_list.h"

namespace vantrel {

class NonTerminalNode;

// Called when the tree walk enters or leaves a node of the rule.
using NodeHandler = std::function<void(NonTerminalNode& node)>;
// Called when a node of the rule has matched; false turns the match into a
// mismatch.
using NodeValidateHandler = std::function<bool(NonTerminalNode& node)>;
// Decides whether the input character at `position` (1-based) is accepted by
// the element "&" in the rule's body; `node` is the node being matched.
using CharCheckHandler = std::function<bool(NonTerminalNode& node, int position)>;

// One rule of the grammar with the handlers attached to it.
class NonTerminal {
 public:
  NonTerminal(std::string name, std::string source_body, bool reverse)
      : name_(std::move(name)), source_body_(std::move(source_body)), reverse_(reverse) {}

  // The text between "<" and ">" of the rule head.
  const std::string& Name() const { return name_; }
  // The body with every reference rewritten as `<index>`.
  const std::string& CompiledBody() const { return compiled_body_; }
  // The body as the grammar wrote it.
  const std::string& SourceBody() const { return source_body_; }
  // Whether the tree walk visits the children of the rule's nodes last first.
  bool Reverse() const { return reverse_; }

  const NodeHandler& OnEnter() const { return on_enter_; }
  void SetOnEnter(NodeHandler handler) { on_enter_ = std::move(handler); }
  const NodeHandler& OnExit() const { return on_exit_; }
  void SetOnExit(NodeHandler handler) { on_exit_ = std::move(handler); }
  // The validate and character-check handlers come with their reach: how
  // many levels of ancestors above the node they look at (their rules,
  // places and children so far); 0 when they look only at the node and
  // what lies below it, kAnyLevel when they may look anywhere. The parser
  // remembers the outcome of a rule at a place only where no handler within
  // the match looks above the rule's node (NonTerminals::SelfContained).
  static constexpr int kAnyLevel = 1 << 20;
  const NodeValidateHandler& OnValidate() const { return on_validate_; }
  void SetOnValidate(NodeValidateHandler handler, int reach = kAnyLevel) {
    on_validate_ = std::move(handler);
    validate_reach_ = reach;
  }
  const CharCheckHandler& OnCharCheck() const { return on_char_check_; }
  void SetOnCharCheck(CharCheckHandler handler, int reach = kAnyLevel) {
    on_char_check_ = std::move(handler);
    char_check_reach_ = reach;
  }
  // The most levels above the node that the rule's own handlers look at.
  int HandlerReach() const;

 private:
  friend class NonTerminals;

  std::string name_;
  std::string compiled_body_;
  std::string source_body_;
  bool reverse_;
  NodeHandler on_enter_;
  NodeHandler on_exit_;
  NodeValidateHandler on_validate_;
  CharCheckHandler on_char_check_;
  int validate_reach_ = kAnyLevel;
  int char_check_reach_ = kAnyLevel;
};

// The element kinds of a compiled body, one per notation.
enum class SyntaxElementKind : std::uint8_t {
  kBlank,      // " ": skip white space and comments; never fails
  kRule,       // <N>: a node of rule `first`
  kOptional,   // [x]: sequence `first`, `count` elements
  kRepeat,     // (x): the same, one or more times
  kChoice,     // {a|b}: `count` alternatives from alternative `first`
  kQuoted,     // "abc": `count` upper-cased characters at `first` in the literal pool
  kChar,       // one character, `ch` upper-cased
  kDigit,      // #
  kLetter,     // @
  kWordEnd,    // ~
  kString,     // $
  kAnyChar,    // %
  kUserSet,    // &0 .. &9: set number `ch`
  kCharCheck,  // &: the rule's character-check handler
  kError,      // a grammar mistake: raises error message `first`
};

struct SyntaxElement {
  SyntaxElementKind kind;
  char ch;     // kChar: the upper-cased character; kUserSet: the set number.
  int first;   // Meaning by kind, see SyntaxElementKind.
  int count;   // Meaning by kind, see SyntaxElementKind.
  int offset;  // 0-based position of the element in the compiled body.
};

// A run of consecutive elements in NonTerminals::Elements().
struct SyntaxSequence {
  int first = 0;
  int count = 0;
};

// What a run of elements can begin with: the characters that its first
// consumed character may be, whether it can match without consuming
// anything, and the rule of the first character test it makes.
struct SyntaxStart {
  std::array<std::uint64_t, 4> chars{};  // Bit c: character c may begin it.
  bool empty = false;                    // It may match the empty string.
  bool tests = false;                    // It tests a character before succeeding empty.
  int rule = -1;                         // The rule of that first test.

  bool Has(unsigned char c) const { return (chars[c >> 6] >> (c & 63)) & 1; }
  bool operator==(const SyntaxStart&) const = default;
};

// The rules of a grammar. The first rule is the start rule.
class NonTerminals {
 public:
  // At most this many alternatives in one choice.
  static constexpr int kMaxAlternatives = 30;

  // Replaces the rules by those of `grammar`, one rule per line. Handlers of
  // the previous rules are dropped.
  void Compile(const StringList& grammar);

  int Count() const { return static_cast<int>(rules_.size()); }
  NonTerminal& operator[](int index) { return rules_[static_cast<std::size_t>(index)]; }
  const NonTerminal& operator[](int index) const { return rules_[static_cast<std::size_t>(index)]; }
  // Index of the first rule named `name`, ignoring ASCII case; -1 if none.
  int IndexOf(std::string_view name) const;

  // The matcher's form. Valid until the next Compile.
  const SyntaxElement* Elements() const { return elements_.data(); }
  const SyntaxSequence& Body(int rule) const { return bodies_[static_cast<std::size_t>(rule)]; }
  const SyntaxSequence& Alternative(int index) const {
    return alternatives_[static_cast<std::size_t>(index)];
  }
  const char* LiteralText(int offset) const { return literals_.data() + offset; }
  const std::string& ErrorMessage(int index) const {
    return errors_[static_cast<std::size_t>(index)];
  }

  // Works out Start() for every element, given the string delimiter and the
  // user character sets that "$" and "&0".."&9" match.
  void AnalyseStarts(char delimiter, const std::array<std::string, 10>& user_char_sets);
  // What the elements from `element` to the end of its sequence can begin
  // with; valid after AnalyseStarts.
  const SyntaxStart& Start(int element) const { return starts_[static_cast<std::size_t>(element)]; }
  // Whether rule `rule` may match the empty string; valid after AnalyseStarts.
  bool MatchesEmpty(int rule) const;

  // Sets self_contained[r] (one per rule) to whether a match of rule r
  // depends on nothing above its node: no handler of r or of a rule within
  // its match looks higher than r's node, by the reach the handlers were
  // set with. Such a match comes out the same wherever the rule is tried at
  // a given place. Reads the handlers as they are now.
  void SelfContained(std::vector<std::uint8_t>& self_contained) const;

 private:
  friend class GrammarCompiler;

  // Fills callers_ from the compiled bodies.
  void FindCallers();

  std::vector<NonTerminal> rules_;
  std::unordered_map<std::string, int> index_by_name_;  // Upper-cased name -> first rule.
  // Every sequence of every body; nested sequences precede the sequence
  // that holds them.
  std::vector<SyntaxElement> elements_;
  std::vector<SyntaxSequence> bodies_;        // One per rule.
  std::vector<SyntaxSequence> alternatives_;  // The alternatives of each choice, consecutive.
  std::string literals_;                      // Upper-cased quoted texts.
  std::vector<std::string> errors_;           // Messages of the error elements.
  std::vector<SyntaxStart> starts_;           // By element, from AnalyseStarts.
  // By rule, the rules whose bodies refer to it (each once).
  std::vector<std::vector<int>> callers_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_GRAMMAR_H_
