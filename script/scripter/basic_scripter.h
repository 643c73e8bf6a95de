// The scripter of the Basic dialect: compiles with BasicScript, runs on
// VirtualMachine, and looks for script-file libraries as ".bsc" sources and
// ".bcu" compiled files.
#ifndef VANTREL_SCRIPT_SCRIPTER_BASIC_SCRIPTER_H_
#define VANTREL_SCRIPT_SCRIPTER_BASIC_SCRIPTER_H_

#include "script/scripter/custom_scripter.h"

namespace vantrel {

class BasicScripter : public CustomScripter {
 public:
  BasicScripter() {
    LibOptions().CompiledFileExt = ".bcu";
    LibOptions().SourceFileExt = ".bsc";
  }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

inline const ClassInfo BasicScripter::kClassInfo = {
    "BasicScripter", &CustomScripter::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_BASIC_SCRIPTER_H_
