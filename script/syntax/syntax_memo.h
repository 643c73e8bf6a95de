// The syntax parser's memory of one parse: what matching a rule at a place
// came to, so that the rule tried again at that place is answered without
// matching the text again.
//
// An outcome is found by the rule, the place (a position in the parser's
// own input) and the last character consumed before the attempt, which is
// where a node that begins by matching nothing ends. The outcome holds the
// status, where matching stood afterwards and, for a match, the node made,
// whose subtree does not change afterwards.
//
// Most attempts are never made again (in ordinary scripts nearly none is),
// so keeping an outcome must cost little: outcomes go into chunks that are
// kept from parse to parse and never moved, and a look-up walks only the
// outcomes kept at its own place.
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantrel {

class NonTerminalNode;
enum class MatchStatus : std::uint8_t;

// What an attempt to match a rule came to.
struct RuleOutcome {
  NonTerminalNode* Node;  // The node of a match; null for a failure.
  int Rule;
  int LastBefore;    // The last character consumed before the attempt.
  int Position;      // Where matching stood after the attempt ...
  int LastPosition;  // ... and the last character it had consumed.
  int Next;          // The next outcome kept at the same place; -1 none.
  MatchStatus Status;
};

class SyntaxMemo {
 public:
  // Forgets everything; places from 1 to `last_position` may be kept.
  void Reset(int last_position) {
    first_.assign(static_cast<std::size_t>(last_position) + 1, -1);
    count_ = 0;
  }

  const RuleOutcome* Find(int rule, int position, int last_before) const {
    for (int i = first_[static_cast<std::size_t>(position)]; i >= 0;) {
      const RuleOutcome& outcome = At(static_cast<std::size_t>(i));
      if (outcome.Rule == rule && outcome.LastBefore == last_before) return &outcome;
      i = outcome.Next;
    }
    return nullptr;
  }

  // Whether Add has room without a new chunk.
  bool HasRoom() const { return count_ < capacity_; }
  // Makes room for Add. Out of line, so that Add stays small where it is
  // inlined.
  [[gnu::noinline]] void AddChunk() {
    chunks_.push_back(std::make_unique_for_overwrite<RuleOutcome[]>(kChunkSize));
    capacity_ += kChunkSize;
  }

  // A new outcome, of an attempt that began at `position`, for the caller
  // to fill in (all but Next). Needs HasRoom().
  RuleOutcome& Add(int position) {
    int& first = first_[static_cast<std::size_t>(position)];
    RuleOutcome& outcome = At(count_);
    outcome.Next = first;
    first = static_cast<int>(count_++);
    return outcome;
  }

 private:
  // Outcomes are kept in chunks that stay where they are, from parse to
  // parse: room for more is made without moving those kept.
  static constexpr std::size_t kChunkSize = 1024;

  RuleOutcome& At(std::size_t index) const {
    return chunks_[index / kChunkSize][index % kChunkSize];
  }

  std::vector<int> first_;  // By place, the latest outcome kept there; -1 none.
  std::vector<std::unique_ptr<RuleOutcome[]>> chunks_;
  std::size_t count_ = 0;     // Outcomes kept in this parse.
  std::size_t capacity_ = 0;  // Room in the chunks.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_MEMO_H_
