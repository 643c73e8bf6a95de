// Whole-file reads and writes with errors in the system's terms. These are
// the only file operations of the settings file, page files and the log.
#ifndef VANTREL_BASE_TEXT_FILE_H_
#define VANTREL_BASE_TEXT_FILE_H_

#include <string>
#include <string_view>

#include "base/file_error.h"

namespace vantrel {

// Returns the bytes of the file at `path`. Raises FileOpenError.
std::string ReadWholeFile(const std::string& path);

// Replaces the content of the file at `path` with `bytes`, creating it when
// missing. The new content goes to a temporary file beside it that then
// takes the old file's place, so a failed write (a full disk) leaves the old
// content whole; where no file can be created beside it, the file is
// rewritten in place. A file made new gets `new_file_mode` (less the
// process's umask); a file that existed keeps its mode. Raises
// FileCreateError.
void WriteWholeFile(const std::string& path, std::string_view bytes, int new_file_mode = 0644);

// Appends `bytes` to the file at `path`, creating it when missing. Raises
// FileCreateError when the file cannot be opened or not every byte is written.
void AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace vantrel

#endif  // VANTREL_BASE_TEXT_FILE_H_
