#include "script/basic/code_labels.h"

#include <utility>

namespace vantrel {

int CodeLabels::Create(std::string name) {
  labels_.push_back(Label{std::move(name), -1, -1});
  return static_cast<int>(labels_.size()) - 1;
}

void CodeLabels::Define(int label, InstructionList& code, int position) {
  labels_[static_cast<size_t>(label)].position = position;
  // Uses of one label are few and recent; patch them and keep the others.
  size_t kept = 0;
  for (const Pending& use : pending_) {
    if (use.label == label) {
      code[static_cast<size_t>(use.instruction)].A = position;
    } else {
      pending_[kept++] = use;
    }
  }
  pending_.resize(kept);
}

void CodeLabels::Use(int label, InstructionList& code, int instruction) {
  Label& entry = labels_[static_cast<size_t>(label)];
  if (entry.first_use < 0) entry.first_use = instruction;
  if (entry.position >= 0) {
    code[static_cast<size_t>(instruction)].A = entry.position;
  } else {
    pending_.push_back(Pending{label, instruction});
  }
}

int CodeLabels::FirstUnresolved() const { return pending_.empty() ? -1 : pending_.front().label; }

int CodeLabels::FirstUse(int label) const { return labels_[static_cast<size_t>(label)].first_use; }

void CodeLabels::Clear() {
  labels_.clear();
  pending_.clear();
}

}  // namespace vantrel
