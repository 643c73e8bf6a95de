// What the Basic compiler asks of the scripter it compiles for: the names a
// script can reach and the options that change the code.
//
// The scripter implements it; the compiler reads it while compiling and
// never keeps it afterwards.
#ifndef VANTREL_SCRIPT_BASIC_COMPILE_CONTEXT_H_
#define VANTREL_SCRIPT_BASIC_COMPILE_CONTEXT_H_

#include <string_view>

#include "script/values/value_kind.h"

namespace vantrel {

class HostClasses;
class ScriptObjects;

class CompileContext {
 public:
  virtual ~CompileContext() = default;

  // The registry names resolve against; the compiler may register result
  // classes in it.
  virtual HostClasses& Classes() = 0;
  // The default instances, whose members are reachable without a name.
  virtual const ScriptObjects& DefaultInstances() const = 0;
  // The kinds of published properties made visible when the compiler
  // registers a result class.
  virtual ValueKindSet PublishedKinds() const = 0;

  // Storing to an undeclared name is an error ("Undeclared variable '%s'")
  // instead of declaring a local.
  virtual bool ExplicitDeclaration() const = 0;
  // `and` and `or` skip their right operand when the left decides.
  virtual bool ShortBooleanEval() const = 0;
  // Members of returned objects resolve at run time instead of through
  // their registered result class.
  virtual bool ResolveMembersAtRunTime() const = 0;

  // Makes the library `name` available (`uses` with as_default true,
  // `imports` false); raises when there is no such library.
  virtual void UseLibrary(std::string_view name, bool as_default) = 0;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_COMPILE_CONTEXT_H_
