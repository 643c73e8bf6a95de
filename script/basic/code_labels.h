// The code labels of one compilation: jump targets, routine entries and the
// ends of protected parts, named by number while the code is being emitted.
//
// A label may be used before it is defined; every use is patched when the
// label gets its place, so the emitted instructions always hold instruction
// numbers once Resolve has run.
//
//   CodeLabels labels;
//   int end = labels.Create();
//   labels.Use(end, code, jump_number);     // forward jump
//   labels.Define(end, code, here);         // patches the jump
#ifndef VANTREL_SCRIPT_BASIC_CODE_LABELS_H_
#define VANTREL_SCRIPT_BASIC_CODE_LABELS_H_

#include <string>
#include <vector>

#include "script/machine/instruction.h"

namespace vantrel {

class CodeLabels {
 public:
  // A new label without a place; `name` is kept for messages (routine
  // labels carry the routine's name).
  int Create(std::string name = {});
  // Gives `label` its place and patches the uses recorded so far.
  void Define(int label, InstructionList& code, int position);
  bool Defined(int label) const { return labels_[static_cast<size_t>(label)].position >= 0; }
  // Makes A of instruction `instruction` refer to `label`.
  void Use(int label, InstructionList& code, int instruction);
  // The first label that was used and never defined, or -1.
  int FirstUnresolved() const;
  // The instruction that first used `label`.
  int FirstUse(int label) const;
  const std::string& Name(int label) const { return labels_[static_cast<size_t>(label)].name; }
  void Clear();

 private:
  struct Label {
    std::string name;
    int position = -1;
    int first_use = -1;
  };
  struct Pending {
    int label;
    int instruction;
  };

  std::vector<Label> labels_;
  std::vector<Pending> pending_;  // Uses of labels not defined when used.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_CODE_LABELS_H_
