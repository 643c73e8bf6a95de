// The routine that code compiled as frame code runs inside (the system
// library's Interpret; see VirtualMachine::RunFrameCode).
//
// Frame code is one block of statements that runs on the frame of a routine
// that is running: the compiler gives it the routine's arguments and locals
// at their slots (hidden ones excepted), the script's globals at theirs, and
// calls of the script's routines that enter them in the script's own code.
// Its own variables take the slots from FreeSlot up. It declares no
// routines and no globals: every declaration in it declares a variable of
// its own, which lives while it runs.
//
// The pointers are borrowed for one compilation.
#ifndef VANTREL_SCRIPT_BASIC_ENCLOSING_ROUTINE_H_
#define VANTREL_SCRIPT_BASIC_ENCLOSING_ROUTINE_H_

#include "script/machine/script_info.h"

namespace vantrel {

struct EnclosingRoutine {
  // The script the machine runs: its globals, and its routines, whose
  // entries are instruction numbers of its code.
  const ScriptInfo* Script = nullptr;
  // The routine running now; its variables lie at RoutineInfo::SlotOf.
  const RoutineInfo* Routine = nullptr;
  // The first slot above the frame base not in use (relative to it).
  int FreeSlot = 0;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_ENCLOSING_ROUTINE_H_
