#include "script/library/system_functions.h"

#include <string>

#include "script/errors/script_errors.h"
#include "script/library/automation.h"
#include "script/library/script_dialogs.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel::system_functions {

void Beep(SystemLibrary& library, VirtualMachine&) { library.Dialogs().Beep(); }

void ShowMessage(SystemLibrary& library, VirtualMachine& machine) {
  library.Dialogs().ShowMessage(machine.GetArgAsString(0));
}

void InputQuery(SystemLibrary& library, VirtualMachine& machine) {
  std::string value = machine.GetArgAsString(2);
  const bool ok =
      library.Dialogs().InputQuery(machine.GetArgAsString(0), machine.GetArgAsString(1), value);
  if (ok) machine.SetByRefArg(2, Variant(value));
  machine.SetResult(ok);
}

void Raise(VirtualMachine& machine) { throw ScriptRuntimeError(machine.GetArgAsString(0)); }

void CreateOleObject(VirtualMachine&) { ThrowNoAutomation(); }

void GetActiveOleObject(VirtualMachine&) { ThrowNoAutomation(); }

void RunningMachine(SystemLibrary&, VirtualMachine& machine) {
  machine.SetResult(Variant::Object(&machine));
}

void RunningScripter(SystemLibrary& library, VirtualMachine& machine) {
  machine.SetResult(Variant::Object(&library.Scripter()));
}

void Assigned(VirtualMachine& machine) { machine.SetResult(machine.GetArgAsInteger(0) != 0); }

}  // namespace vantrel::system_functions
