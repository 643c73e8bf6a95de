// The compiler of the Basic dialect.
//
// One BasicScript compiles the scripts of one script item: it holds a
// syntax parser with the Basic grammar loaded once, parses a source, walks
// the tree and emits the machine's instructions. Names are resolved against
// the CompileContext (the scripter's registry, default instances and
// options).
//
//   BasicScript compiler;
//   compiler.Compile(source_lines, context, code);   // raises CompileError
#ifndef VANTREL_SCRIPT_BASIC_BASIC_SCRIPT_H_
#define VANTREL_SCRIPT_BASIC_BASIC_SCRIPT_H_

#include <memory>
#include <string>

#include "base/string_list.h"
#include "script/basic/compile_context.h"
#include "script/basic/enclosing_routine.h"
#include "script/machine/script_info.h"

namespace vantrel {

class BasicScript {
 public:
  BasicScript();
  BasicScript(const BasicScript&) = delete;
  BasicScript& operator=(const BasicScript&) = delete;
  ~BasicScript();

  // Compiles `source` into `code` (cleared first). A syntax error or a
  // compile error raises CompileError with the text, row and column of the
  // Basic dialect's messages ("Syntax error" at the farthest failure);
  // input nested too deeply raises CompileError as well. On an error `code`
  // is left empty. Every instruction carries the row and column of the code
  // it came from (PackSourcePosition).
  //
  // With `enclosing`, the source is compiled as frame code running inside
  // that routine (see enclosing_routine.h): one routine, entered at
  // instruction 0, whose calls of the script's routines carry
  // kFlagEnclosingEntry.
  void Compile(const StringList& source, CompileContext& context, CompiledCode& code,
               const EnclosingRoutine* enclosing = nullptr);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_BASIC_SCRIPT_H_
