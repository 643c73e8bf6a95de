#include "script/machine/script_info.h"

#include "base/ascii.h"

namespace vantrel {

int RoutineInfo::FindVariable(std::string_view name) const {
  for (size_t i = 0; i < Variables.size(); ++i) {
    if (EqualsIgnoreCase(Variables[i].VarName, name)) return static_cast<int>(i);
  }
  return -1;
}

const RoutineInfo* ScriptInfo::FindRoutine(std::string_view name) const {
  for (const RoutineInfo& routine : Routines) {
    if (EqualsIgnoreCase(routine.Name, name)) return &routine;
  }
  return nullptr;
}

int ScriptInfo::FindGlobal(std::string_view name) const {
  for (size_t i = 0; i < Globals.size(); ++i) {
    if (EqualsIgnoreCase(Globals[i].VarName, name)) return static_cast<int>(i);
  }
  return -1;
}

void ScriptInfo::Clear() {
  Routines.clear();
  Globals.clear();
  MainRoutineName.clear();
}

const RoutineInfo* CompiledCode::RoutineEnteredAt(const Instruction* entry) const {
  for (const RoutineInfo& routine : Info.Routines) {
    if (routine.Entry >= 0 && static_cast<size_t>(routine.Entry) < Instructions.size() &&
        &Instructions[static_cast<size_t>(routine.Entry)] == entry) {
      return &routine;
    }
  }
  return nullptr;
}

void CompiledCode::Clear() {
  Instructions.clear();
  Info.Clear();
  ClassRefs.clear();
  UsedUnits.clear();
}

}  // namespace vantrel
