// The error families of the script engine.
//
// Each family puts its own fixed prefix in front of the message it is given,
// so a caller that prints Message() shows the family at a glance:
//
//   ScriptRuntimeError("Division by zero").Message()
//     == "RUNTIME ERROR\r\nDivision by zero"
//
// CompileError ends its message with the source position instead. The
// unprefixed text stays available as Text() for reports that add their own
// context (the machine's last error, the compile-error event).
#ifndef VANTREL_SCRIPT_ERRORS_SCRIPT_ERRORS_H_
#define VANTREL_SCRIPT_ERRORS_SCRIPT_ERRORS_H_

#include <string>
#include <utility>

#include "base/exception.h"

namespace vantrel {

// An error whose message is a fixed family prefix plus a text.
class PrefixedScriptError : public Exception {
 public:
  // The message without the family prefix.
  const std::string& Text() const noexcept { return text_; }

 protected:
  PrefixedScriptError(const char* class_name, const char* prefix, std::string text)
      : Exception(class_name, prefix + text), text_(std::move(text)) {}

 private:
  std::string text_;
};

#define VANTREL_PREFIXED_SCRIPT_ERROR(Name, Prefix)                                          \
  class Name : public PrefixedScriptError {                                                  \
   public:                                                                                   \
    explicit Name(std::string text) : PrefixedScriptError(#Name, Prefix, std::move(text)) {} \
  }

// Errors of a running script, raised by the machine and by host handlers.
VANTREL_PREFIXED_SCRIPT_ERROR(ScriptRuntimeError, "RUNTIME ERROR\r\n");
// Broken compiled code or a broken engine state.
VANTREL_PREFIXED_SCRIPT_ERROR(ScriptInternalError, "INTERNAL ERROR\r\n");
// Access to a script variable by name at a moment it does not exist.
VANTREL_PREFIXED_SCRIPT_ERROR(ScriptInfoError, "ScriptInfo ERROR\r\n");
// A default instance that cannot be defined.
VANTREL_PREFIXED_SCRIPT_ERROR(ScriptDefinitionError, "Definition ERROR\r\n");

#undef VANTREL_PREFIXED_SCRIPT_ERROR

// A runtime error that the machine (or a handler acting for it, such as a
// late-bound member call) finds in the instruction it runs. The machine
// reports it like an error of any other family: the text becomes the last
// error, and the script sees it naming the instruction, the stack and the
// source position. A ScriptRuntimeError of any other kind (the text a
// script raises itself) reaches the script as it is.
class MachineRuntimeError : public ScriptRuntimeError {
 public:
  using ScriptRuntimeError::ScriptRuntimeError;
};

// An operation refused because the script it touches is running.
VANTREL_ERROR_CLASS(ScripterFatalError, Exception);

// An error in the text of a grammar handed to the syntax parser.
VANTREL_ERROR_CLASS(ParserError, Exception);

// The silent abort: ends a script run without a report (the `opAbort`
// instruction, a compile error the compile-error event chose to hide).
VANTREL_ERROR_CLASS(ScriptAbort, SilentError);

// A compile error: the message, then ".\r\nSource position: row,col".
class CompileError : public Exception {
 public:
  CompileError(std::string text, int row, int col)
      : Exception("CompileError", text + ".\r\nSource position: " + std::to_string(row) + "," +
                                      std::to_string(col)),
        text_(std::move(text)),
        row_(row),
        col_(col) {}

  const std::string& Text() const noexcept { return text_; }
  int Row() const noexcept { return row_; }
  int Col() const noexcept { return col_; }

 private:
  std::string text_;
  int row_;
  int col_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_ERRORS_SCRIPT_ERRORS_H_
