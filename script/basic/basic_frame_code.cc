// Frame code: a block of statements compiled to run on the frame of a
// routine that is running (see enclosing_routine.h). The block is one
// routine whose variables begin with the enclosing routine's, at the same
// slots, so that every local instruction reaches them as the routine's own
// code does.
#include <string_view>

#include "base/ascii.h"
#include "script/basic/basic_compiler.h"

namespace vantrel {

const RoutineInfo* BasicCompiler::KnownRoutine(std::string_view name) const {
  if (enclosing_ == nullptr) {
    const int index = FindRoutine(name);
    return index < 0 ? nullptr : &code_.Info.Routines[static_cast<size_t>(index)];
  }
  // Prototypes that never got a body have no entry to call.
  for (const RoutineInfo& routine : enclosing_->Script->Routines) {
    if (routine.Entry >= 0 && EqualsIgnoreCase(routine.Name, name)) return &routine;
  }
  return nullptr;
}

void BasicCompiler::BeginFrameCode(int position) {
  const RoutineInfo& running = *enclosing_->Routine;
  // Globals keep their slots: the block declares none.
  code_.Info.Globals = enclosing_->Script->Globals;
  RoutineInfo& block = code_.Info.Routines.emplace_back();
  block.Name = running.Name;
  block.IsFunction = running.IsFunction;
  block.ArgCount = running.ArgCount;
  block.ByRefArgMask = running.ByRefArgMask;
  block.ResultIndex = running.ResultIndex;
  block.Variables = running.Variables;
  // The routine's hidden variables (a for loop's limit, a with object) keep
  // their slots but lose their names, so that the block's own hidden
  // variables never reuse them.
  for (VariableInfo& variable : block.Variables) {
    if (!variable.VarName.empty() && variable.VarName[0] == '#') variable.VarName.clear();
  }
  // Nameless fillers up to the free slot: the slots between hold what the
  // routine has on its stack now (the running host call's arguments).
  while (block.SlotOf(static_cast<int>(block.Variables.size())) < enclosing_->FreeSlot) {
    block.Variables.emplace_back();
  }
  inherited_ = static_cast<int>(block.Variables.size());
  routine_ = static_cast<int>(code_.Info.Routines.size()) - 1;
  routine_end_label_ = labels_.Create();
  loop_ = Loop{};
  block.Entry = Here();
  prepare_ = Here();
  Emit(opPrepare, position).S = block.Name;
}

}  // namespace vantrel
