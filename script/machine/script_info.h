// What compiling a script produces besides its instructions: its routines
// and variables, the classes it registered implicitly and the libraries it
// uses. The compiler fills it; the scripter reads it to run routines by
// name, to reach variables by name and to make libraries of scripts.
#ifndef VANTREL_SCRIPT_MACHINE_SCRIPT_INFO_H_
#define VANTREL_SCRIPT_MACHINE_SCRIPT_INFO_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/machine/argument_modifier.h"
#include "script/machine/instruction.h"

namespace vantrel {

struct VariableInfo {
  std::string VarName;
  int DeclarationSourcePos = 0;  // 1-based character position of the declaration.
  int ArgIndex = -1;             // Position among the routine's arguments; -1 for a local.
  ArgumentModifier Modifier = moNone;
  bool Global = false;
  std::string DeclaredClassName;  // The class the compiler knows the value to have, if any.
};

using VariablesInfo = std::vector<VariableInfo>;

struct RoutineInfo {
  std::string Name;
  // Arguments first, in order, then locals (a function's result variable
  // among them).
  VariablesInfo Variables;
  bool IsFunction = false;
  int ArgCount = 0;
  uint32_t ByRefArgMask = 0;  // Bit i set: argument i is byref.
  int ResultIndex = -1;       // Index in Variables of a function's result variable.
  int Entry = -1;             // Instruction number of its opPrepare; -1 for a prototype.

  // The slot of variable `index` relative to the frame base: arguments are
  // -ArgCount .. -1, locals 0, 1, 2 ...
  int SlotOf(int index) const { return index - ArgCount; }
  int LocalCount() const { return static_cast<int>(Variables.size()) - ArgCount; }
  // Index in Variables of `name` (ASCII case ignored); -1 when absent.
  int FindVariable(std::string_view name) const;
};

using RoutinesInfo = std::vector<RoutineInfo>;

struct ScriptInfo {
  RoutinesInfo Routines;
  VariablesInfo Globals;        // Slot of a global = its index here.
  std::string MainRoutineName;  // Set by the compiler; empty for a script without code.

  const RoutineInfo* FindRoutine(std::string_view name) const;
  int FindGlobal(std::string_view name) const;
  void Clear();
};

// A class the compiler registered because a member returned it; loading
// compiled code registers it again.
struct ClassRef {
  int ClassIndex = 0;   // The member's class in the registry.
  int MemberIndex = 0;  // The member within that class.
  bool MemberIsMethod = false;
};

// A library named by `uses` (DefaultInstance true) or `imports`.
struct UsedUnit {
  std::string Name;
  bool DefaultInstance = false;
};

// Everything the compiler makes of one script.
struct CompiledCode {
  InstructionList Instructions;
  ScriptInfo Info;
  std::vector<ClassRef> ClassRefs;
  std::vector<UsedUnit> UsedUnits;

  // The routine whose opPrepare is `entry` (an instruction of this code),
  // or null when `entry` is none of this code's routine entries.
  const RoutineInfo* RoutineEnteredAt(const Instruction* entry) const;
  void Clear();
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_SCRIPT_INFO_H_
