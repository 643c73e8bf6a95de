#include <string>

#include "script/library/automation.h"
#include "script/library/script_dialogs.h"
#include "script/library/vbscript_functions.h"
#include "script/library/vbscript_library.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {

void CreateObject(VirtualMachine&) { ThrowNoAutomation(); }

void InputBox(VBScriptLibrary& library, VirtualMachine& machine) {
  std::string value = machine.GetArgAsString(2);
  const bool ok =
      library.Dialogs().InputQuery(machine.GetArgAsString(1), machine.GetArgAsString(0), value);
  machine.SetResult(Variant(ok ? value : std::string()));
}

void MsgBox(VBScriptLibrary& library, VirtualMachine& machine) {
  const int button = library.Dialogs().MessageBox(
      machine.GetArgAsString(0), machine.GetArgAsInteger(1), machine.GetArgAsString(2));
  machine.SetResult(Variant(static_cast<std::int32_t>(button)));
}

}  // namespace vantrel::vbscript_functions
