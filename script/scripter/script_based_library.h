// A library made of a compiled script: each routine of the script becomes a
// method and each global variable a property, so that other scripts call
// them as they call host functions (`uses MyLib` ... `MyLib.Twice(2)`).
//
// Each library registers its members on a class entry of its own, named
// after the library, so that two script libraries with a routine of the
// same name never call each other's routine. The routines run in the
// library script's own machine.
#ifndef VANTREL_SCRIPT_SCRIPTER_SCRIPT_BASED_LIBRARY_H_
#define VANTREL_SCRIPT_SCRIPTER_SCRIPT_BASED_LIBRARY_H_

#include <memory>
#include <string>
#include <vector>

#include "script/scripter/scripter_library.h"

namespace vantrel {

class HostClass;
class HostMethod;
class HostProperty;
class Script;
class VirtualMachine;

class ScriptBasedLibrary : public ScripterLibrary {
 public:
  // `class_info` describes this library (its name is the library name); it
  // must outlive the library and every registry entry made for it.
  ScriptBasedLibrary(CustomScripter& scripter, Script& script, std::string library_name,
                     const ClassInfo& class_info);

  void Init() override;
  void Finalize() override;

  Script& GetScript() const { return script_; }
  const std::string& LibraryName() const { return library_name_; }

  const ClassInfo& ClassType() const override { return class_info_; }
  static const ClassInfo kClassInfo;

 private:
  struct Member {
    ScriptBasedLibrary* library;
    std::string name;
  };

  static void CallRoutine(Member& routine, VirtualMachine& machine);
  static void ReadGlobal(Member& global, VirtualMachine& machine);
  static void WriteGlobal(Member& global, VirtualMachine& machine);

  Script& script_;
  std::string library_name_;
  const ClassInfo& class_info_;
  HostClass* entry_ = nullptr;
  std::vector<std::unique_ptr<Member>> members_;
  std::vector<HostMethod*> methods_;
  std::vector<HostProperty*> properties_;
};

inline const ClassInfo ScriptBasedLibrary::kClassInfo = {
    "ScriptBasedLibrary", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_SCRIPT_BASED_LIBRARY_H_
