// Interpret(code): compiles code given as text inside the running script and
// runs it there, in the routine that called Interpret.
//
// The text becomes a temporary script of the same scripter, compiled as
// frame code of the running routine (enclosing_routine.h): it reaches the
// routine's arguments and locals, the script's globals and routines by name,
// and they are the very same variables. The machine that runs the script
// runs the code on the routine's frame (VirtualMachine::RunFrameCode); the
// temporary script is freed afterwards, whatever happens.
#include <string>

#include "base/string_list.h"
#include "script/basic/enclosing_routine.h"
#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/library/system_library.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/custom_scripter.h"
#include "script/scripter/script.h"

namespace vantrel::system_functions {
namespace {

[[noreturn]] void NotRunning() { throw ScriptInternalError("Script is not running for debug"); }

// The script `machine` belongs to.
Script& ScriptOf(CustomScripter& scripter, const VirtualMachine& machine) {
  ScriptCollection& scripts = scripter.Scripts();
  for (int i = 0; i < scripts.Count(); ++i) {
    if (&scripts[i].CurrentMachine() == &machine) return scripts[i];
  }
  NotRunning();
}

// The routine `machine` runs now: one of the script's, or, inside
// interpreted code, the block of a temporary script.
const RoutineInfo& RunningRoutine(CustomScripter& scripter, const VirtualMachine& machine) {
  ScriptCollection& scripts = scripter.Scripts();
  for (int i = 0; i < scripts.Count(); ++i) {
    const RoutineInfo* routine = scripts[i].Code().RoutineEnteredAt(machine.RoutineEntry());
    if (routine != nullptr) return *routine;
  }
  NotRunning();
}

// Removes the temporary script from the scripter when the call ends.
class TemporaryScript {
 public:
  explicit TemporaryScript(CustomScripter& scripter)
      : scripts_(scripter.Scripts()), script_(scripts_.Add()) {
    script_.SetTemporary(true);
  }
  TemporaryScript(const TemporaryScript&) = delete;
  TemporaryScript& operator=(const TemporaryScript&) = delete;
  ~TemporaryScript() { scripts_.Remove(&script_); }

  Script& Get() { return script_; }

 private:
  ScriptCollection& scripts_;
  Script& script_;
};

}  // namespace

void Interpret(SystemLibrary& library, VirtualMachine& machine) {
  if (!machine.IsRunning()) NotRunning();
  CustomScripter& scripter = library.Scripter();
  Script& running = ScriptOf(scripter, machine);
  const EnclosingRoutine enclosing{&running.Info(), &RunningRoutine(scripter, machine),
                                   machine.FreeSlot()};
  StringList source;
  source.SetText(machine.GetArgAsString(0));
  TemporaryScript temporary(scripter);
  Script& script = temporary.Get();
  script.CompileFrameCode(source, enclosing);
  machine.LinkFrameCode(script.Code().Instructions);
  machine.RunFrameCode(script.Code().Instructions);
}

}  // namespace vantrel::system_functions
