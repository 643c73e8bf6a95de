// The script engine's face to the host: holds the scripts, compiles and runs
// them, and owns the registry through which the host makes its functions,
// classes, properties and constants callable from scripts.
//
//   BasicScripter scripter;
//   scripter.InternalClass().RegisterMethod("echo", 1, false, handler, nullptr, vkNone);
//   scripter.SetSourceCode(lines);
//   scripter.Compile();                 // raises CompileError
//   Variant result = scripter.Execute();
//
// Threads: registration, Compile, Execute and every lookup run on one thread
// at a time; only Halt and IsRunning may be called from another thread while
// a script runs. Handlers run on the executing thread.
#ifndef VANTREL_SCRIPT_SCRIPTER_CUSTOM_SCRIPTER_H_
#define VANTREL_SCRIPT_SCRIPTER_CUSTOM_SCRIPTER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"
#include "script/basic/compile_context.h"
#include "script/host/host_classes.h"
#include "script/host/internal_object.h"
#include "script/host/registry_binding.h"
#include "script/host/script_objects.h"
#include "script/machine/object_table.h"
#include "script/scripter/event_dispatcher.h"
#include "script/scripter/script.h"
#include "script/scripter/scripter_event_broker.h"
#include "script/scripter/scripter_library.h"
#include "script/scripter/scripter_library_options.h"
#include "script/values/tobject.h"
#include "script/values/variant.h"

namespace vantrel {

// A TObject so that scripts can hold the scripter running them (the system
// library's `Scripter`).
// What compiling a script depends on besides its source: code compiled
// under equal conditions is the code compiling the same source would give.
struct CompileConditions {
  std::uint64_t registry_revision = 0;  // HostClasses::Revision.
  bool short_boolean_eval = false;
  bool explicit_declaration = false;
  bool resolve_members_at_run_time = false;

  friend bool operator==(const CompileConditions&, const CompileConditions&) = default;
};

class CustomScripter : public CompileContext, public TObject {
 public:
  // Called before a compile error is raised: may change the message, and
  // may set show_exception false to turn the error into a silent abort.
  using ScriptErrorEvent = std::function<void(CustomScripter& sender, std::string& msg, int row,
                                              int col, bool& show_exception)>;
  // Called at the start of every execution (empty routine: the main block).
  using BeforeExecuteEvent = std::function<void(VirtualMachine& machine, std::string_view routine)>;

  CustomScripter(const CustomScripter&) = delete;
  CustomScripter& operator=(const CustomScripter&) = delete;
  ~CustomScripter() override;

  // ---- Scripts. ----

  ScriptCollection& Scripts() { return scripts_; }
  // The first script; ScriptInternalError "Default script is not available"
  // when there is none.
  Script& DefaultScript() const;

  const StringList& SourceCode() const { return DefaultScript().SourceCode(); }
  void SetSourceCode(const StringList& lines) { DefaultScript().SetSourceCode(lines); }
  bool Compiled() const { return DefaultScript().Compiled(); }
  void SetCompiled(bool compiled) { DefaultScript().SetCompiled(compiled); }

  // Empties the compiled-code buffer and clears the code of every script
  // (sources, and the names of library files, kept).
  virtual void ClearScripts();
  // Compiles the default script.
  virtual void Compile();
  // The conditions compiling meets now. The registry only changes through
  // registration, attaching and detaching libraries (compiling may do
  // both); the options through their setters.
  CompileConditions CurrentCompileConditions() const {
    return {classes_.Revision(), short_boolean_eval_, explicit_declaration_,
            resolve_members_at_run_time_};
  }
  // Runs the default script's main block: the input passes no argument
  // when Null or Unassigned, its elements when an array, else itself. The
  // result is Null when the run left no value, the value when it left one,
  // an array of them (from index 0) when it left several.
  virtual Variant Execute();
  virtual Variant Execute(const Variant& input);
  // Runs a routine of the default script ("Subroutine '%s' does not exist
  // in script" when it has none of that name).
  Variant ExecuteRoutine(std::string_view name, const Variant& input);
  // The same with explicit arguments; a reference is passed by reference.
  Variant ExecuteRoutine(std::string_view name, const std::vector<Variant>& values);

  // Any thread.
  void Halt();
  bool IsRunning() const;

  // The compiled-code buffer ("PCode"); emptied whenever a source changes.
  std::string& CodeBuffer() { return code_buffer_; }

  // The "PCode" property, the default script's compiled code stored with
  // the scripter: a 32-bit length N, then N bytes of the stored form of
  // compiled code. WritePCode stores it only when Compiled and
  // SaveCompiledCode are both true: saves the default script's code into
  // the compiled-code buffer and sets `property` to its length and bytes;
  // otherwise it leaves `property` empty and returns false.
  bool WritePCode(std::string& property);
  // Loads the default script's code from the N bytes after the length (see
  // Script::LoadCode) and copies them into the compiled-code buffer. Bytes
  // after those N belong to whatever follows the property and are not
  // read. A length that the bytes cannot hold raises ScriptInternalError
  // "Unable to read stream (%s)".
  void ReadPCode(std::string_view property);

  // ---- Options. ----

  bool ShortBooleanEval() const override { return short_boolean_eval_; }
  void SetShortBooleanEval(bool value) { short_boolean_eval_ = value; }
  bool ExplicitDeclaration() const override { return explicit_declaration_; }
  void SetExplicitDeclaration(bool value) { explicit_declaration_ = value; }
  bool ResolveMembersAtRunTime() const override { return resolve_members_at_run_time_; }
  void SetResolveMembersAtRunTime(bool value) { resolve_members_at_run_time_ = value; }
  ValueKindSet PublishedKinds() const override { return published_kinds_; }
  void SetPublishedKinds(ValueKindSet kinds) { published_kinds_ = kinds; }
  bool SaveCompiledCode() const { return save_compiled_code_; }
  void SetSaveCompiledCode(bool value) { save_compiled_code_ = value; }

  // Event properties of host objects (on by default): adds vkMethod to the
  // published kinds and lets scripts bind routines to events.
  bool EventSupport() const { return event_support_; }
  void SetEventSupport(bool value);
  EventSetKind EventSetMode() const { return event_set_mode_; }
  void SetEventSetMode(EventSetKind mode) { event_set_mode_ = mode; }
  EventUnsetKind EventUnsetMode() const { return event_unset_mode_; }
  void SetEventUnsetMode(EventUnsetKind mode) { event_unset_mode_ = mode; }
  ScripterEventBroker& EventBroker() { return *event_broker_; }

  const ScripterLibraryOptions& LibOptions() const { return lib_options_; }
  ScripterLibraryOptions& LibOptions() { return lib_options_; }
  void SetLibOptions(const ScripterLibraryOptions& options) { lib_options_ = options; }

  void SetOnCompileError(ScriptErrorEvent handler) { on_compile_error_ = std::move(handler); }
  void SetOnBeforeExecute(BeforeExecuteEvent handler) { on_before_execute_ = std::move(handler); }

  // ---- Registry. ----

  HostClass& RegisterHostClass(const ClassInfo* class_ref, std::string_view name = {});
  HostClass* FindHostClass(std::string_view name) const { return classes_.FindHostClass(name); }
  // The entry the system library and the gateway's functions register on.
  HostClass* SystemLibraryClass() const { return FindHostClass("SystemLibrary"); }
  // A read-only property of the internal object's class.
  void RegisterConstant(std::string_view name, const Variant& value);

  HostClasses& Classes() override { return classes_; }
  const ScriptObjects& DefaultInstances() const override { return default_instances_; }
  // The registry as linking sees it.
  const HostBinding& Binding() const { return binding_; }
  InternalObject& Internal() { return internal_object_; }
  HostClass& InternalClass() { return *internal_class_; }

  // ---- Objects scripts create. ----

  // Owns what scripts create (TObject.Create, AssignFile) for the length of
  // the outermost run; every machine of the scripter's scripts reaches it.
  ObjectTable& Objects() { return objects_; }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

  // ---- Libraries. ----

  // Attaches the library (once per class): registers a method named after
  // it on the internal object's class that returns it, calls its Init, and
  // when `as_default` adds it as a default instance named after it.
  ScripterLibrary& AttachLibrary(const LibraryClass& library, bool as_default);
  // Undoes AttachLibrary and destroys the library.
  void DetachLibrary(ScripterLibrary& library);
  // The attached library named `name` (letter case ignored), or null.
  ScripterLibrary* FindLibrary(std::string_view name) const;
  // Resolves `uses` (as_default) and `imports`: a registered library, else
  // (with LibOptions().UseScriptFiles) a script file on the search path;
  // raises "Library '%s' not found".
  void UseLibrary(std::string_view name, bool as_default) override;

 protected:
  CustomScripter();

  // Loads the compiled code of a library file (the stored form of compiled
  // code) into `script`.
  virtual void LoadLibraryCode(Script& script, const std::string& path);

 private:
  friend class Script;

  struct AttachedLibrary {
    std::unique_ptr<ScripterLibrary> library;
    std::string name;
  };

  ScripterLibrary& AttachInstance(std::unique_ptr<ScripterLibrary> library, std::string name,
                                  const ClassInfo* result_class, bool as_default);
  void MakeScriptLibrary(Script& script, const std::string& name);
  bool HasLibraryOf(const Script& script) const;
  const ClassInfo& ScriptLibraryClass(const std::string& name);

  // For scripts.
  [[noreturn]] void ReportCompileError(Script& script, std::string msg, int row, int col);
  void NotifyBeforeExecute(VirtualMachine& machine, std::string_view routine);
  void PrepareForLink();

  bool resolve_members_at_run_time_ = false;
  ValueKindSet published_kinds_ = kDefaultPublishedKinds;
  HostClasses classes_;
  ScriptObjects default_instances_;
  RegistryBinding binding_{&classes_, &default_instances_};
  InternalObject internal_object_;
  HostClass* internal_class_ = nullptr;
  std::vector<AttachedLibrary> libraries_;
  std::string code_buffer_;
  bool explicit_declaration_ = false;
  ScriptErrorEvent on_compile_error_;
  BeforeExecuteEvent on_before_execute_;
  bool event_support_ = true;
  EventSetKind event_set_mode_ = esReplaceEvent;
  EventUnsetKind event_unset_mode_ = euReplaceNil;
  std::unique_ptr<ScripterEventBroker> event_broker_;
  std::vector<Script*> script_file_libraries_;
  // The script-file libraries being compiled, outermost first: a library
  // met again while it compiles is a cycle of uses.
  std::vector<std::string> libraries_compiling_;
  // Class descriptions of script-file libraries, one per library name; kept
  // for the scripter's life because registry entries point at them.
  struct OwnedClassInfo {
    std::string name;
    ClassInfo info;
  };
  std::vector<std::unique_ptr<OwnedClassInfo>> script_library_classes_;
  bool short_boolean_eval_ = false;
  bool save_compiled_code_ = false;
  ScripterLibraryOptions lib_options_;
  // Destroyed after the scripts, whose machines count their runs in it.
  ObjectTable objects_;
  // Last: destroyed first, while the registry and libraries still exist.
  ScriptCollection scripts_{*this};
};

inline const ClassInfo CustomScripter::kClassInfo = {"CustomScripter", &TObject::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_CUSTOM_SCRIPTER_H_
