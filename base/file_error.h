// Errors of files that cannot be opened or written, with the path and the
// operating system's reason in the message.
#ifndef VANTREL_BASE_FILE_ERROR_H_
#define VANTREL_BASE_FILE_ERROR_H_

#include <string>

#include "base/exception.h"
#include "base/system_error_text.h"

namespace vantrel {

// A file cannot be opened or read: `Cannot open file "<path>". <reason>`.
VANTREL_ERROR_CLASS(FileOpenError, Exception);
// A file cannot be created or written: `Cannot create file "<path>". <reason>`.
VANTREL_ERROR_CLASS(FileCreateError, Exception);

inline FileOpenError MakeFileOpenError(const std::string& path, int error) {
  return FileOpenError("Cannot open file \"" + path + "\". " + SystemErrorText(error));
}

inline FileCreateError MakeFileCreateError(const std::string& path, int error) {
  return FileCreateError("Cannot create file \"" + path + "\". " + SystemErrorText(error));
}

}  // namespace vantrel

#endif  // VANTREL_BASE_FILE_ERROR_H_
