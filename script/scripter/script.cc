#include "script/scripter/script.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/scripter/custom_scripter.h"
#include "script/scripter/script_based_library.h"
#include "script/stored/code_stream.h"

namespace vantrel {
namespace {

constexpr const char* kHaltInProgress =
    "Script execution is being halted. A new execution can only start after the current "
    "execution finishes.";

// The class an implicit class reference stands for: the result class of
// the method or the class of the property it names.
const ClassInfo& ImplicitClass(const HostClasses& classes, const ClassRef& ref) {
  if (ref.ClassIndex < 0 || ref.ClassIndex >= classes.Count()) {
    throw Exception(Format("No class has index %d", {ref.ClassIndex}));
  }
  const HostClass& owner = classes.At(ref.ClassIndex);
  const int count = ref.MemberIsMethod ? owner.MethodCount() : owner.PropertyCount();
  if (ref.MemberIndex < 0 || ref.MemberIndex >= count) {
    throw Exception(
        Format("Class '%s' has no %s %d",
               {owner.Name(), ref.MemberIsMethod ? "method" : "property", ref.MemberIndex}));
  }
  const ClassInfo* result = nullptr;
  std::string_view member;
  if (ref.MemberIsMethod) {
    result = owner.Method(ref.MemberIndex).ResultClass;
    member = owner.Method(ref.MemberIndex).Name;
  } else {
    result = owner.Property(ref.MemberIndex).PropertyClass;
    member = owner.Property(ref.MemberIndex).Name;
  }
  if (result == nullptr) {
    throw Exception(Format("'%s.%s' returns no object of a known class", {owner.Name(), member}));
  }
  return *result;
}

}  // namespace

Script::Script(CustomScripter& scripter) : scripter_(scripter) {
  machines_.push_back(std::make_unique<VirtualMachine>());
}

Script::~Script() { DropMadeLibraries(); }

void Script::SetSourceCode(const StringList& lines) {
  if (IsRunning()) {
    throw ScripterFatalError("Cannot change script source code while script is running.");
  }
  source_ = lines;
  ++code_version_;
  compiled_ = false;
  prepared_ = false;
  CurrentMachine().Unlink();
  scripter_.CodeBuffer().clear();
}

void Script::SetCompiled(bool compiled) {
  if (IsRunning()) {
    throw ScripterFatalError("Cannot change compiled property while script is running.");
  }
  if (compiled && !compiled_) {
    Compile();
  } else if (!compiled && compiled_) {
    ClearCode();
  }
}

void Script::Compile() { CompileSource(nullptr); }

void Script::CompileFrameCode(const StringList& source, const EnclosingRoutine& enclosing) {
  if (IsRunning()) throw ScripterFatalError("Cannot compile script while script is running.");
  source_ = source;
  CompileSource(&enclosing);
}

void Script::CompileSource(const EnclosingRoutine* enclosing) {
  if (IsRunning()) throw ScripterFatalError("Cannot compile script while script is running.");
  ClearCode();
  try {
    compiler_.Compile(source_, scripter_, code_, enclosing);
  } catch (const ReportedCompileError&) {
    code_.Clear();
    throw;
  } catch (const CompileError& error) {
    code_.Clear();
    scripter_.ReportCompileError(*this, error.Text(), error.Row(), error.Col());
  }
  BuildRoutineTable();
  compiled_ = true;
}

void Script::LoadCompiledCode(CompiledCode code) {
  ClearCode();
  code_ = std::move(code);
  BuildRoutineTable();
  compiled_ = true;
}

void Script::LoadLinkedCode(const CompiledCode& linked) {
  ClearCode();
  code_ = linked;
  RebaseLinks(code_.Instructions, linked.Instructions.data());
  relink_ = true;
  BuildRoutineTable();
  compiled_ = true;
}

void Script::RestartLinkedCode() {
  if (IsRunning()) throw ScripterFatalError("Cannot clear script while script is running.");
  if (!prepared_) throw ScriptInternalError("The script has not run since its code came");
  DropMadeLibraries();
  machines_.resize(1);
  current_machine_ = 0;
  machines_[0]->Unlink();
  machines_[0]->Clear();
  scripter_.CodeBuffer().clear();
  prepared_ = false;
  relink_ = true;
}

void Script::SaveCode(std::string& stream) const { WriteCodeStream(code_, stream); }

void Script::LoadCode(std::string_view stream) {
  if (IsRunning()) {
    throw ScripterFatalError("Cannot load code from stream while script is running.");
  }
  ClearCode();
  CompiledCode code = ReadCodeStream(stream);
  // In the order compiling met them: a program names its libraries before
  // anything else, and attaching a library may register classes, so that
  // the implicit classes come after them in the registry.
  GuardStreamRead([this, &code] {
    for (const UsedUnit& unit : code.UsedUnits) {
      scripter_.UseLibrary(unit.Name, unit.DefaultInstance);
    }
  });
  RegisterImplicitClasses(code.ClassRefs);
  code_ = std::move(code);
  BuildRoutineTable();
  compiled_ = true;
}

void Script::RegisterImplicitClasses(const std::vector<ClassRef>& refs) {
  for (const ClassRef& ref : refs) {
    try {
      scripter_.RegisterHostClass(&ImplicitClass(scripter_.Classes(), ref));
    } catch (const std::exception& error) {
      throw ScriptInternalError(std::string("Error loading implicit class reference.\r\n") +
                                error.what());
    }
  }
}

void Script::BuildRoutineTable() {
  routine_table_.clear();
  for (const Instruction& instruction : code_.Instructions) {
    if (instruction.Op == opPrepare && !instruction.S.empty()) {
      routine_table_.push_back(instruction.S);
    }
  }
}

void Script::Clear() {
  ClearCode();
  file_name_.clear();
  library_name_.clear();
}

void Script::ClearCode() {
  if (IsRunning()) throw ScripterFatalError("Cannot clear script while script is running.");
  DropCode();
}

void Script::DropCode() {
  DropMadeLibraries();
  machines_.resize(1);
  current_machine_ = 0;
  VirtualMachine& machine = *machines_[0];
  machine.Unlink();
  machine.Clear();
  ScriptInfo info = std::move(code_.Info);
  code_.Clear();
  if (temporary_) code_.Info = std::move(info);
  routine_table_.clear();
  compiled_ = false;
  prepared_ = false;
  relink_ = false;
  ++code_version_;
}

void Script::DropMadeLibraries() {
  std::vector<ScriptBasedLibrary*> libraries = made_libraries_;
  for (ScriptBasedLibrary* library : libraries) library->Scripter().DetachLibrary(*library);
  made_libraries_.clear();
}

void Script::RemoveMadeLibrary(ScriptBasedLibrary* library) {
  std::erase(made_libraries_, library);
}

bool Script::HasRoutine(std::string_view name) const {
  return std::any_of(routine_table_.begin(), routine_table_.end(),
                     [name](const std::string& entry) { return EqualsIgnoreCase(entry, name); });
}

void Script::Prepare() {
  VirtualMachine& machine = CurrentMachine();
  scripter_.PrepareForLink();
  machine.SetHost(&scripter_.Binding());
  machine.SetObjects(&scripter_.Objects());
  if (relink_) {
    machine.Relink(code_.Instructions);
  } else {
    machine.Link(code_.Instructions);
  }
  prepared_ = true;
}

void Script::BeforeRun(std::string_view routine) {
  VirtualMachine& machine = CurrentMachine();
  scripter_.NotifyBeforeExecute(machine, routine);
  if (machine.IsHalting()) throw ScripterFatalError(kHaltInProgress);
  if (!compiled_) Compile();
  if (!prepared_) Prepare();
  if (!routine.empty() && !HasRoutine(routine)) {
    throw ScriptRuntimeError(Format("Subroutine '%s' does not exist in script", {routine}));
  }
}

Variant Script::Execute(std::string_view routine, const Variant& input) {
  return ExecuteWithArguments(routine, VirtualMachine::ArgumentsOf(input));
}

Variant Script::ExecuteWithArguments(std::string_view routine, const std::vector<Variant>& args) {
  BeforeRun(routine);
  const RoutineInfo* info = routine.empty() ? nullptr : code_.Info.FindRoutine(routine);
  if (info == nullptr) return CurrentMachine().ExecuteWithArguments(routine, args);
  // The arguments take the slots just below the routine's frame: a count
  // other than the routine's would shift them onto other variables.
  const int count = static_cast<int>(args.size());
  if (count < info->ArgCount) {
    throw ScriptRuntimeError(
        Format("Not enough actual parameters for subroutine '%s'. Expected %d parameters",
               {info->Name, info->ArgCount}));
  }
  if (count > info->ArgCount) {
    throw ScriptRuntimeError(
        Format("Too many parameters for subroutine '%s'. Expected %d parameters",
               {info->Name, info->ArgCount}));
  }
  // A by-value parameter is the routine's own copy, also of a variable the
  // host passes by reference.
  std::vector<Variant> passed = args;
  for (size_t i = 0; i < passed.size() && i < info->Variables.size(); ++i) {
    if (info->Variables[i].Modifier != moVar) passed[i] = args[i].Dereference();
  }
  return CurrentMachine().ExecuteWithArguments(routine, passed);
}

bool Script::IsRunning() const {
  return std::any_of(machines_.begin(), machines_.end(),
                     [](const auto& machine) { return machine->IsRunning(); });
}

void Script::Halt() { CurrentMachine().Halt(); }

const RoutineInfo* Script::RunningRoutine() const {
  const VirtualMachine& machine = CurrentMachine();
  if (!machine.IsRunning()) return nullptr;
  return code_.RoutineEnteredAt(machine.RoutineEntry());
}

Variant& Script::VariableSlot(std::string_view name, std::string_view routine, bool writing) {
  VirtualMachine& machine = CurrentMachine();
  if (routine.empty()) {
    int index = code_.Info.FindGlobal(name);
    if (index < 0 || index >= VirtualMachine::kStackSize) {
      throw ScriptInfoError(Format("Variable '%s' does not exist", {name}));
    }
    return machine.Slot(index);
  }
  const RoutineInfo* owner = code_.Info.FindRoutine(routine);
  if (owner == nullptr) throw ScriptInfoError(Format("Routine '%s' does not exist", {routine}));
  int index = owner->FindVariable(name);
  if (index < 0) {
    throw ScriptInfoError(
        Format("Variable '%s' does not exist in routine '%s'", {name, owner->Name}));
  }
  const std::string& var_name = owner->Variables[static_cast<size_t>(index)].VarName;
  const RoutineInfo* running = RunningRoutine();
  if (running == nullptr) {
    throw ScriptInfoError(Format("Variable '%s' is only available while routine '%s' is running",
                                 {var_name, owner->Name}));
  }
  if (running != owner) {
    if (writing) {
      throw ScriptInfoError(
          Format("Variable '%s' is not available during execution of routine '%s'",
                 {var_name, running->Name}));
    }
    throw ScriptInfoError(
        Format("Variable '%s' of routine '%s' is not available during execution of routine '%s'",
               {var_name, owner->Name, running->Name}));
  }
  // Code loaded from a stored form may disagree with its own script
  // information; no slot outside the stack is handed out.
  const int slot = machine.FrameBase() + owner->SlotOf(index);
  if (slot < 0 || slot >= VirtualMachine::kStackSize) {
    throw ScriptInfoError(
        Format("Variable '%s' does not exist in routine '%s'", {var_name, owner->Name}));
  }
  return machine.Slot(slot);
}

Variant Script::VariableValue(std::string_view name, std::string_view routine) {
  return VariableSlot(name, routine, false).Dereference();
}

void Script::SetVariableValue(std::string_view name, const Variant& value,
                              std::string_view routine) {
  VariableSlot(name, routine, true).Dereference() = value.Dereference();
}

Variant Script::GlobalValue(std::string_view name) {
  int index = code_.Info.FindGlobal(name);
  if (index < 0 || index >= VirtualMachine::kStackSize) return Variant::Null();
  return CurrentMachine().Slot(index).Dereference();
}

Script& ScriptCollection::Add() {
  scripts_.push_back(std::make_unique<Script>(scripter_));
  return *scripts_.back();
}

bool ScriptCollection::Contains(const Script* script) const {
  return std::any_of(scripts_.begin(), scripts_.end(),
                     [script](const auto& item) { return item.get() == script; });
}

void ScriptCollection::Remove(const Script* script) {
  std::erase_if(scripts_, [script](const auto& item) { return item.get() == script; });
}

}  // namespace vantrel
