#include "script/syntax/syntax_grammar.h"

#include <charconv>
#include <cstddef>
#include <map>

#include "base/ascii.h"
#include "base/format.h"
#include "script/errors/script_errors.h"

namespace vantrel {

namespace {

constexpr std::string_view kLiteralNotTerminated =
    "Incorrect grammar. Literal string not terminated on '%s'";
constexpr std::string_view kSubexpressionNotTerminated =
    "Incorrect grammar. Subexpression not terminated on '%s'";
constexpr std::string_view kSubexpressionEmpty =
    "Incorrect grammar. Subexpression is empty on '%s'";
constexpr std::string_view kUnknownRule = "Incorrect grammar. Unknown rule '<%s>' on '%s'";
constexpr std::string_view kTooManyAlternatives =
    "Incorrect grammar. Too many alternatives on '%s'";

constexpr std::size_t kNotFound = std::string_view::npos;

// Position of the bracket that closes the one at `open` within [open, end),
// counting only brackets of the same kind and not looking into quoted text;
// kNotFound when it is missing.
std::size_t FindClosing(std::string_view body, std::size_t open, std::size_t end) {
  const char opening = body[open];
  const char closing = opening == '[' ? ']' : opening == '(' ? ')' : opening == '{' ? '}' : '>';
  int depth = 0;
  for (std::size_t i = open; i < end; ++i) {
    const char c = body[i];
    if (c == '"') {
      const std::size_t quote_end = body.find('"', i + 1);
      if (quote_end == kNotFound || quote_end >= end) return kNotFound;
      i = quote_end;
    } else if (c == opening) {
      ++depth;
    } else if (c == closing && --depth == 0) {
      return i;
    }
  }
  return kNotFound;
}

// Splits [begin, end) at "|" outside quotes and outside nested braces.
std::vector<std::pair<std::size_t, std::size_t>> SplitAlternatives(std::string_view body,
                                                                   std::size_t begin,
                                                                   std::size_t end) {
  std::vector<std::pair<std::size_t, std::size_t>> parts;
  bool quoted = false;
  int depth = 0;
  std::size_t part_begin = begin;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = body[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      --depth;
    } else if (c == '|' && depth == 0) {
      parts.emplace_back(part_begin, i);
      part_begin = i + 1;
    }
  }
  parts.emplace_back(part_begin, end);
  return parts;
}

}  // namespace

// Turns one rule's compiled body into elements of a NonTerminals.
class GrammarCompiler {
 public:
  GrammarCompiler(NonTerminals& rules, int rule, std::map<std::size_t, std::string> unknown_names)
      : rules_(rules),
        rule_name_(rules[rule].Name()),
        body_(rules[rule].CompiledBody()),
        unknown_names_(std::move(unknown_names)) {}

  SyntaxSequence CompileBody() { return CompileSequence(0, body_.size()); }

 private:
  // Compiles [begin, end) of the body and appends it as one sequence.
  SyntaxSequence CompileSequence(std::size_t begin, std::size_t end) {
    std::vector<SyntaxElement> sequence;
    std::size_t i = begin;
    while (i < end) {
      const char c = body_[i];
      SyntaxElement element{SyntaxElementKind::kChar, ToUpperAscii(c), 0, 0, static_cast<int>(i)};
      std::size_t next = i + 1;
      switch (c) {
        case ' ':
          element.kind = SyntaxElementKind::kBlank;
          // Two blanks in a row skip no more than one does.
          while (next < end && body_[next] == ' ') ++next;
          break;
        case '#':
          element.kind = SyntaxElementKind::kDigit;
          break;
        case '@':
          element.kind = SyntaxElementKind::kLetter;
          break;
        case '~':
          element.kind = SyntaxElementKind::kWordEnd;
          break;
        case '$':
          element.kind = SyntaxElementKind::kString;
          break;
        case '%':
          element.kind = SyntaxElementKind::kAnyChar;
          break;
        case '&':
          if (next < end && body_[next] >= '0' && body_[next] <= '9') {
            element.kind = SyntaxElementKind::kUserSet;
            element.ch = static_cast<char>(body_[next] - '0');
            ++next;
          } else {
            element.kind = SyntaxElementKind::kCharCheck;
          }
          break;
        case '"': {
          const std::size_t quote_end = body_.find('"', i + 1);
          if (quote_end == kNotFound || quote_end >= end) {
            element = Error(kLiteralNotTerminated, i);
            break;
          }
          element.kind = SyntaxElementKind::kQuoted;
          element.first = static_cast<int>(rules_.literals_.size());
          element.count = static_cast<int>(quote_end - i - 1);
          rules_.literals_ += ToUpperAscii(body_.substr(i + 1, quote_end - i - 1));
          next = quote_end + 1;
          break;
        }
        case '<':
        case '[':
        case '(':
        case '{': {
          const std::size_t close = FindClosing(body_, i, end);
          if (close == kNotFound) {
            element = Error(kSubexpressionNotTerminated, i);
          } else if (close == i + 1) {
            element = Error(kSubexpressionEmpty, i);
          } else if (c == '<') {
            element = Reference(i, close);
          } else if (c == '{') {
            element = Choice(i, close);
          } else {
            const SyntaxSequence inner = CompileSequence(i + 1, close);
            element.kind = c == '[' ? SyntaxElementKind::kOptional : SyntaxElementKind::kRepeat;
            element.first = inner.first;
            element.count = inner.count;
          }
          next = close + 1;
          break;
        }
        default:
          break;
      }
      sequence.push_back(element);
      // Matching stops at a grammar mistake, so nothing after it is needed.
      if (element.kind == SyntaxElementKind::kError) break;
      i = next;
    }
    const SyntaxSequence result{static_cast<int>(rules_.elements_.size()),
                                static_cast<int>(sequence.size())};
    rules_.elements_.insert(rules_.elements_.end(), sequence.begin(), sequence.end());
    return result;
  }

  SyntaxElement Reference(std::size_t open, std::size_t close) {
    const std::string_view digits = body_.substr(open + 1, close - open - 1);
    int index = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error != std::errc() || end != digits.data() + digits.size() || index < 0 ||
        index >= rules_.Count()) {
      const auto name = unknown_names_.find(open);
      return Error(kUnknownRule, open, name != unknown_names_.end() ? name->second : digits);
    }
    return SyntaxElement{SyntaxElementKind::kRule, '\0', index, 0, static_cast<int>(open)};
  }

  SyntaxElement Choice(std::size_t open, std::size_t close) {
    const auto parts = SplitAlternatives(body_, open + 1, close);
    if (parts.size() > static_cast<std::size_t>(NonTerminals::kMaxAlternatives)) {
      return Error(kTooManyAlternatives, open);
    }
    std::vector<SyntaxSequence> alternatives;
    for (const auto& [begin, end] : parts) alternatives.push_back(CompileSequence(begin, end));
    const SyntaxElement element{SyntaxElementKind::kChoice, '\0',
                                static_cast<int>(rules_.alternatives_.size()),
                                static_cast<int>(alternatives.size()), static_cast<int>(open)};
    rules_.alternatives_.insert(rules_.alternatives_.end(), alternatives.begin(),
                                alternatives.end());
    return element;
  }

  SyntaxElement Error(std::string_view pattern, std::size_t offset,
                      std::string_view reference = {}) {
    rules_.errors_.push_back(reference.empty() && pattern != kUnknownRule
                                 ? Format(pattern, {rule_name_})
                                 : Format(pattern, {reference, rule_name_}));
    return SyntaxElement{SyntaxElementKind::kError, '\0',
                         static_cast<int>(rules_.errors_.size() - 1), 0, static_cast<int>(offset)};
  }

  NonTerminals& rules_;
  std::string rule_name_;
  std::string_view body_;
  // Original names of the references that were rewritten as -1, by offset.
  std::map<std::size_t, std::string> unknown_names_;
};

void NonTerminals::Compile(const StringList& grammar) {
  rules_.clear();
  index_by_name_.clear();
  elements_.clear();
  bodies_.clear();
  alternatives_.clear();
  literals_.clear();
  errors_.clear();
  starts_.clear();
  callers_.clear();

  for (const std::string& line : grammar) {
    std::string_view rest(line);
    std::string_view name;
    const std::size_t open = rest.find('<');
    const std::size_t close = open == kNotFound ? kNotFound : rest.find('>', open + 1);
    if (close != kNotFound) {
      name = rest.substr(open + 1, close - open - 1);
      rest.remove_prefix(close + 1);
    }
    const std::size_t colon = rest.find(':');
    const std::string_view flags = rest.substr(0, colon);
    const std::string_view body = colon == kNotFound ? std::string_view() : rest.substr(colon + 1);
    rules_.emplace_back(std::string(name), std::string(body), flags.find('R') != kNotFound);
    index_by_name_.emplace(ToUpperAscii(name), static_cast<int>(rules_.size() - 1));
  }

  for (int rule = 0; rule < Count(); ++rule) {
    // Rewrite `<name>` outside quotes as `<index>`.
    const std::string& source = rules_[static_cast<std::size_t>(rule)].source_body_;
    std::string compiled;
    compiled.reserve(source.size());
    std::map<std::size_t, std::string> unknown_names;
    for (std::size_t i = 0; i < source.size(); ++i) {
      const char c = source[i];
      if (c == '"') {
        const std::size_t quote_end = source.find('"', i + 1);
        const std::size_t stop = quote_end == kNotFound ? source.size() : quote_end + 1;
        compiled.append(source, i, stop - i);
        i = stop - 1;
      } else if (c == '<' && source.find('>', i + 1) != kNotFound) {
        const std::size_t close = source.find('>', i + 1);
        const std::string name = source.substr(i + 1, close - i - 1);
        const int index = IndexOf(name);
        if (index < 0) unknown_names.emplace(compiled.size(), name);
        compiled += '<' + std::to_string(index) + '>';
        i = close;
      } else {
        compiled += c;
      }
    }
    rules_[static_cast<std::size_t>(rule)].compiled_body_ = std::move(compiled);
    bodies_.push_back(GrammarCompiler(*this, rule, std::move(unknown_names)).CompileBody());
  }
  FindCallers();
}

void NonTerminals::FindCallers() {
  // Each rule's elements, nested sequences included, were appended as one
  // run ending with its body.
  callers_.assign(rules_.size(), {});
  std::size_t begin = 0;
  for (int rule = 0; rule < Count(); ++rule) {
    const SyntaxSequence& body = Body(rule);
    const auto end = static_cast<std::size_t>(body.first + body.count);
    for (std::size_t i = begin; i < end; ++i) {
      const SyntaxElement& element = elements_[i];
      if (element.kind != SyntaxElementKind::kRule) continue;
      std::vector<int>& callers = callers_[static_cast<std::size_t>(element.first)];
      if (callers.empty() || callers.back() != rule) callers.push_back(rule);
    }
    begin = end;
  }
}

namespace {

void AddChar(SyntaxStart& start, unsigned char c) { start.chars[c >> 6] |= 1ULL << (c & 63); }

void AddCharIgnoringCase(SyntaxStart& start, char c) {
  AddChar(start, static_cast<unsigned char>(ToUpperAscii(c)));
  AddChar(start, static_cast<unsigned char>(ToLowerAscii(c)));
}

void AddAllChars(SyntaxStart& start) { start.chars.fill(~0ULL); }

// A sequence with the rule whose body holds it.
struct OwnedSequence {
  SyntaxSequence sequence;
  int rule;
};

}  // namespace

void NonTerminals::AnalyseStarts(char delimiter,
                                 const std::array<std::string, 10>& user_char_sets) {
  std::vector<OwnedSequence> sequences;
  const auto collect = [&](auto& self, SyntaxSequence sequence, int rule) -> void {
    sequences.push_back(OwnedSequence{sequence, rule});
    for (int i = sequence.first; i < sequence.first + sequence.count; ++i) {
      const SyntaxElement& element = elements_[static_cast<std::size_t>(i)];
      if (element.kind == SyntaxElementKind::kOptional ||
          element.kind == SyntaxElementKind::kRepeat) {
        self(self, SyntaxSequence{element.first, element.count}, rule);
      } else if (element.kind == SyntaxElementKind::kChoice) {
        for (int a = 0; a < element.count; ++a) self(self, Alternative(element.first + a), rule);
      }
    }
  };
  for (int rule = 0; rule < Count(); ++rule) collect(collect, Body(rule), rule);

  // The empty sequence: matches empty, tests nothing.
  SyntaxStart nothing;
  nothing.empty = true;
  const auto sequence_start = [&](SyntaxSequence sequence) -> const SyntaxStart& {
    return sequence.count == 0 ? nothing : starts_[static_cast<std::size_t>(sequence.first)];
  };

  // What one element, on its own, begins with.
  const auto element_start = [&](const SyntaxElement& element, int rule) {
    SyntaxStart start;
    start.tests = true;
    start.rule = rule;
    switch (element.kind) {
      case SyntaxElementKind::kBlank:
        for (int c = 0; c <= ' '; ++c) AddChar(start, static_cast<unsigned char>(c));
        start.empty = true;
        start.tests = false;
        start.rule = -1;
        break;
      case SyntaxElementKind::kChar:
        AddCharIgnoringCase(start, element.ch);
        break;
      case SyntaxElementKind::kDigit:
        for (char c = '0'; c <= '9'; ++c) AddChar(start, static_cast<unsigned char>(c));
        break;
      case SyntaxElementKind::kLetter:
        for (char c = 'A'; c <= 'Z'; ++c) AddCharIgnoringCase(start, c);
        AddChar(start, '_');
        break;
      case SyntaxElementKind::kWordEnd:
        for (int c = 0; c <= ' '; ++c) AddChar(start, static_cast<unsigned char>(c));
        AddChar(start, '(');
        break;
      case SyntaxElementKind::kString:
        AddChar(start, static_cast<unsigned char>(delimiter));
        break;
      case SyntaxElementKind::kUserSet:
        for (const char c : user_char_sets[static_cast<std::size_t>(element.ch)]) {
          AddChar(start, static_cast<unsigned char>(c));
        }
        break;
      case SyntaxElementKind::kQuoted:
        if (element.count == 0) return nothing;
        AddCharIgnoringCase(start, literals_[static_cast<std::size_t>(element.first)]);
        break;
      case SyntaxElementKind::kAnyChar:
      case SyntaxElementKind::kCharCheck:
      case SyntaxElementKind::kError:
        AddAllChars(start);
        break;
      case SyntaxElementKind::kRule:
        return sequence_start(Body(element.first));
      case SyntaxElementKind::kOptional:
        start = sequence_start(SyntaxSequence{element.first, element.count});
        start.empty = true;
        break;
      case SyntaxElementKind::kRepeat:
        return sequence_start(SyntaxSequence{element.first, element.count});
      case SyntaxElementKind::kChoice:
        // Alternatives are tried in order: the first one makes the first test.
        start = sequence_start(Alternative(element.first));
        for (int a = 1; a < element.count; ++a) {
          const SyntaxStart& other = sequence_start(Alternative(element.first + a));
          for (std::size_t w = 0; w < start.chars.size(); ++w) start.chars[w] |= other.chars[w];
          start.empty = start.empty || other.empty;
        }
        break;
    }
    return start;
  };

  // Rules refer to each other: repeat until nothing changes (the sets only
  // grow, so this ends).
  starts_.assign(elements_.size(), SyntaxStart{});
  for (bool changed = true; changed;) {
    changed = false;
    for (const OwnedSequence& owned : sequences) {
      const SyntaxSequence& sequence = owned.sequence;
      const SyntaxStart* next = &nothing;
      for (int i = sequence.first + sequence.count - 1; i >= sequence.first; --i) {
        SyntaxStart start = element_start(elements_[static_cast<std::size_t>(i)], owned.rule);
        if (start.empty) {
          for (std::size_t w = 0; w < start.chars.size(); ++w) start.chars[w] |= next->chars[w];
          start.empty = next->empty;
        }
        if (!start.tests) {
          start.tests = next->tests;
          start.rule = next->rule;
        }
        SyntaxStart& stored = starts_[static_cast<std::size_t>(i)];
        if (!(stored == start)) {
          stored = start;
          changed = true;
        }
        next = &stored;
      }
    }
  }
}

bool NonTerminals::MatchesEmpty(int rule) const {
  const SyntaxSequence body = Body(rule);
  return body.count == 0 || starts_[static_cast<std::size_t>(body.first)].empty;
}

int NonTerminals::IndexOf(std::string_view name) const {
  const auto found = index_by_name_.find(ToUpperAscii(name));
  return found == index_by_name_.end() ? -1 : found->second;
}

}  // namespace vantrel
