// The I/O error of the file functions (AssignFile's text files, Chdir).
//
// Its message names what failed, the path and the operating system's reason,
// and its code is the operating system's error number (errno), also the
// error's help context, so that a script that caught it reads the code as
// LastExceptionHelpContext:
//
//   Cannot open file "/tmp/missing.txt". No such file or directory   (2)
//
// Misuse of a text file that the system does not see (reading a file opened
// for writing, a file not open) is reported with the code of a bad file
// descriptor (EBADF) and a text of its own.
#ifndef VANTREL_SCRIPT_LIBRARY_IN_OUT_ERROR_H_
#define VANTREL_SCRIPT_LIBRARY_IN_OUT_ERROR_H_

#include <string>
#include <string_view>
#include <utility>

#include "base/exception.h"

namespace vantrel {

class InOutError : public Exception {
 public:
  InOutError(std::string message, int code) : Exception("InOutError", std::move(message)) {
    SetHelpContext(code);
  }

  int Code() const noexcept { return HelpContext(); }
};

// `what` (for example "Cannot open file"), the quoted path and the system's
// text of `error`.
InOutError MakeInOutError(std::string_view what, std::string_view path, int error);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_IN_OUT_ERROR_H_
