#include "script/scripter/script_based_library.h"

#include "script/host/host_class.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/custom_scripter.h"
#include "script/scripter/script.h"

namespace vantrel {

ScriptBasedLibrary::ScriptBasedLibrary(CustomScripter& scripter, Script& script,
                                       std::string library_name, const ClassInfo& class_info)
    : ScripterLibrary(scripter),
      script_(script),
      library_name_(std::move(library_name)),
      class_info_(class_info) {}

void ScriptBasedLibrary::Init() {
  entry_ = &Scripter().RegisterHostClass(&class_info_);
  const ScriptInfo& info = script_.Info();
  for (const RoutineInfo& routine : info.Routines) {
    if (routine.Entry < 0 || routine.Name == info.MainRoutineName) continue;
    members_.push_back(std::make_unique<Member>(Member{this, routine.Name}));
    HostMethod* method = entry_->RegisterMethod(
        routine.Name, routine.ArgCount, false,
        HostHandler::Of<Member, &CallRoutine>(members_.back().get()), nullptr, vkVariant,
        /*always_append=*/true);
    // By-reference arguments of the routine take variables, so that their
    // final values can be copied back to the caller.
    method->ArgDefs.resize(static_cast<size_t>(routine.ArgCount));
    method->ByRefArgMask = routine.ByRefArgMask;
    for (int i = 0; i < routine.ArgCount && i < 32; ++i) {
      if (routine.ByRefArgMask & (1u << i))
        method->ArgDefs[static_cast<size_t>(i)].Modifier = moVar;
    }
    methods_.push_back(method);
  }
  for (const VariableInfo& global : info.Globals) {
    members_.push_back(std::make_unique<Member>(Member{this, global.VarName}));
    Member* member = members_.back().get();
    HostProperty* property = entry_->RegisterProperty(
        global.VarName, vkVariant, 0, false, nullptr, HostHandler::Of<Member, &WriteGlobal>(member),
        HostHandler::Of<Member, &ReadGlobal>(member), /*always_append=*/true);
    if (property != nullptr) properties_.push_back(property);
  }
}

void ScriptBasedLibrary::Finalize() {
  if (entry_ != nullptr) {
    for (HostMethod* method : methods_) entry_->DeleteMethod(method);
    for (HostProperty* property : properties_) entry_->DeleteProperty(property);
  }
  methods_.clear();
  properties_.clear();
  members_.clear();
}

void ScriptBasedLibrary::CallRoutine(Member& routine, VirtualMachine& machine) {
  int count = machine.ArgCount();
  // The routine works on copies; references to them let it change them.
  std::vector<Variant> values;
  values.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) values.push_back(machine.GetArg(i));
  std::vector<Variant> args;
  args.reserve(values.size());
  for (Variant& value : values) args.push_back(Variant::ReferenceTo(&value));
  Variant result = routine.library->script_.ExecuteWithArguments(routine.name, args);
  if (!machine.IsHalting()) {
    for (int i = 0; i < count; ++i) machine.SetArgIfByRef(i, values[static_cast<size_t>(i)]);
  }
  machine.SetResult(result);
}

void ScriptBasedLibrary::ReadGlobal(Member& global, VirtualMachine& machine) {
  machine.SetResult(global.library->script_.GlobalValue(global.name));
}

void ScriptBasedLibrary::WriteGlobal(Member& global, VirtualMachine& machine) {
  Script& script = global.library->script_;
  if (script.Info().FindGlobal(global.name) < 0) return;
  script.SetVariableValue(global.name, machine.GetArg(0));
}

}  // namespace vantrel
