// One script of a scripter: its source, the compiler that turns it into
// code, the machines that run the code, and what compiling learnt about it.
//
// A script goes from source only to compiled (Compile) to prepared (linked
// into its machine at the first run) and then runs any number of times;
// global variables keep their values between runs until the script is
// compiled again or cleared. Changing the source makes it source only again.
//
// Threads: as its scripter. Only IsRunning and Halt may be called from
// another thread while the script runs.
#ifndef VANTREL_SCRIPT_SCRIPTER_SCRIPT_H_
#define VANTREL_SCRIPT_SCRIPTER_SCRIPT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"
#include "script/basic/basic_script.h"
#include "script/errors/script_errors.h"
#include "script/machine/script_info.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant.h"

namespace vantrel {

class CustomScripter;
class ScriptBasedLibrary;

// A compile error that has been through the scripter's report already (a
// library compiled while compiling the script that uses it), so that it is
// not reported twice.
class ReportedCompileError : public CompileError {
 public:
  using CompileError::CompileError;
};

class Script {
 public:
  explicit Script(CustomScripter& scripter);
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  // Detaches the libraries made of this script.
  ~Script();

  CustomScripter& Scripter() const { return scripter_; }

  const StringList& SourceCode() const { return source_; }
  // Replaces the source; the script becomes not compiled and the scripter's
  // compiled-code buffer is emptied. Refused while the script runs
  // ("Cannot change script source code while script is running."), the old
  // source staying in place.
  void SetSourceCode(const StringList& lines);

  bool Compiled() const { return compiled_; }
  // True compiles the script when it is not compiled; false drops its code.
  // Refused while running ("Cannot change compiled property while script
  // is running.").
  void SetCompiled(bool compiled);
  bool Prepared() const { return prepared_; }

  // Compiles the source. Compile errors go through the scripter's report
  // (CompileError, or the silent abort when its handler hides them).
  void Compile();
  // Takes `source` and compiles it as frame code running inside
  // `enclosing` (the system library's Interpret; see enclosing_routine.h),
  // for a machine of another script to run (VirtualMachine::RunFrameCode).
  // Compile errors go through the report as Compile's do; the scripter's
  // compiled-code buffer stays as it is.
  void CompileFrameCode(const StringList& source, const EnclosingRoutine& enclosing);
  // Takes code compiled elsewhere (a stored or cached form): the script
  // becomes compiled and not prepared. Refused while running.
  void LoadCompiledCode(CompiledCode code);
  // Takes a copy of `linked`, code this script's scripter linked before (a
  // program kept after it ran), whose references point into itself
  // (RebaseLinks made them so): the script becomes compiled and not
  // prepared, and preparing binds again only what linking takes from the
  // host (VirtualMachine::Relink), which is cheaper than linking. Refused
  // while running.
  void LoadLinkedCode(const CompiledCode& linked);
  // Leaves the script as LoadLinkedCode of the code it holds would: a script
  // that has run (Prepared) keeps its code, drops what the run left (its
  // globals, further machines, the libraries made of it) and empties the
  // scripter's compiled-code buffer, as a new source does; its next run
  // binds again only what the code takes from the host. Refused while
  // running, and for a script that has not run since its code came.
  void RestartLinkedCode();
  // Changes whenever the source or the code is replaced or dropped, so that
  // a caller can tell whether the script still holds what it left there.
  std::uint64_t CodeVersion() const { return code_version_; }
  // Writes the stored form of the compiled code (script/stored/code_stream.h)
  // into `stream`, replacing what it held. Linking leaves the compiled
  // fields as they are (it resolves into fields of its own), so the code of
  // a script that has run is written as compiled, with instruction numbers
  // and packed member references, and without compiling again: a script
  // loaded from stored code has no source to compile. A failure raises
  // ScriptInternalError "Unable to write stream (%s)".
  void SaveCode(std::string& stream) const;
  // Replaces the code by the stored form in `stream` and leaves the script
  // compiled and not prepared: resolves its used libraries with the
  // scripter's UseLibrary, then registers again the classes of its implicit
  // class references ("Error loading implicit class reference.\r\n" and
  // the failure), the order in which compiling registered them. Refused
  // while running ("Cannot load code from stream while script is
  // running."). Every other failure raises ScriptInternalError
  // (code_stream.h) and leaves the script not compiled. The code refers to
  // the registry by position: it is valid only in a scripter that registers
  // the same classes and members in the same order as the one it was
  // compiled in.
  void LoadCode(std::string_view stream);
  // Drops the code, the script information, the libraries made of this
  // script, and its file and library names; the source stays. Refused while
  // running ("Cannot clear script while script is running.").
  void Clear();
  // The same, but the script keeps its file and library names (a library
  // file stays known as loaded).
  void ClearCode();

  // Runs the main block (empty routine) or the named routine; see
  // CustomScripter::Execute.
  Variant Execute(std::string_view routine, const Variant& input);
  Variant ExecuteWithArguments(std::string_view routine, const std::vector<Variant>& args);

  bool IsRunning() const;
  void Halt();

  VirtualMachine& CurrentMachine() const { return *machines_[current_machine_]; }
  int MachineCount() const { return static_cast<int>(machines_.size()); }

  const CompiledCode& Code() const { return code_; }
  CompiledCode& Code() { return code_; }
  const ScriptInfo& Info() const { return code_.Info; }
  BasicScript& Compiler() { return compiler_; }
  // The names of the routine entries of the compiled code, in code order.
  bool HasRoutine(std::string_view name) const;

  // Variables by name. An empty routine names a global, which can be read
  // and written whenever the script is compiled; a routine's variable only
  // while that routine is the one running. Failures raise ScriptInfoError.
  Variant VariableValue(std::string_view name, std::string_view routine = {});
  void SetVariableValue(std::string_view name, const Variant& value, std::string_view routine = {});
  // The value of global `name`; Null when there is none.
  Variant GlobalValue(std::string_view name);

  // Set when the script was loaded from a library file.
  const std::string& FileName() const { return file_name_; }
  void SetFileName(std::string file_name) { file_name_ = std::move(file_name); }
  const std::string& LibraryName() const { return library_name_; }
  void SetLibraryName(std::string library_name) { library_name_ = std::move(library_name); }

  // A temporary script compiled inside a running script: compile errors do
  // not reach the scripter's compile-error handler, and clearing keeps the
  // script information.
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool temporary) { temporary_ = temporary; }

  // The libraries made of this script (kept up to date by the scripters
  // that attach and detach them).
  const std::vector<ScriptBasedLibrary*>& MadeLibraries() const { return made_libraries_; }
  void AddMadeLibrary(ScriptBasedLibrary* library) { made_libraries_.push_back(library); }
  void RemoveMadeLibrary(ScriptBasedLibrary* library);

 private:
  // Compiles the source, as frame code when `enclosing` is set.
  void CompileSource(const EnclosingRoutine* enclosing);
  // Links the code into the current machine.
  void Prepare();
  void BeforeRun(std::string_view routine);
  void DropCode();
  void DropMadeLibraries();
  void BuildRoutineTable();
  void RegisterImplicitClasses(const std::vector<ClassRef>& refs);
  // The routine running in the machine now, or null.
  const RoutineInfo* RunningRoutine() const;
  // The slot of `name`, which must be accessible now for reading or writing.
  Variant& VariableSlot(std::string_view name, std::string_view routine, bool writing);

  CustomScripter& scripter_;
  BasicScript compiler_;
  std::vector<std::unique_ptr<VirtualMachine>> machines_;
  size_t current_machine_ = 0;
  StringList source_;
  CompiledCode code_;
  std::vector<std::string> routine_table_;
  bool compiled_ = false;
  bool prepared_ = false;
  bool relink_ = false;  // The code came linked (LoadLinkedCode).
  std::uint64_t code_version_ = 0;
  bool temporary_ = false;
  std::string file_name_;
  std::string library_name_;
  std::vector<ScriptBasedLibrary*> made_libraries_;
};

// The scripts of a scripter; the first is the default script.
class ScriptCollection {
 public:
  explicit ScriptCollection(CustomScripter& scripter) : scripter_(scripter) {}

  Script& Add();
  // Removes and destroys `script`.
  void Remove(const Script* script);
  void Clear() { scripts_.clear(); }
  bool Contains(const Script* script) const;

  int Count() const { return static_cast<int>(scripts_.size()); }
  Script& operator[](int index) const { return *scripts_[static_cast<size_t>(index)]; }

 private:
  CustomScripter& scripter_;
  std::vector<std::unique_ptr<Script>> scripts_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_SCRIPT_H_
