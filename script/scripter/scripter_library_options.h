// Where a scripter looks for libraries written as script files, and the
// search itself.
//
// A `uses` name that no registered library has is looked for, when
// UseScriptFiles is on, as a file in the SearchPath directories: first the
// compiled form (name + CompiledFileExt), then the source (name +
// SourceFileExt), directory by directory in order.
#ifndef VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_OPTIONS_H_
#define VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_OPTIONS_H_

#include <string>
#include <string_view>

#include "base/string_list.h"

namespace vantrel {

struct ScripterLibraryOptions {
  // Directory entries. "$(CURDIR)" stands for the current directory and
  // "$(APPDIR)" for the program's directory (letter case ignored); an entry
  // may hold several directories separated by ";"; blank entries are skipped.
  StringList SearchPath{"$(CURDIR)", "$(APPDIR)"};
  std::string SourceFileExt;
  std::string CompiledFileExt;
  bool UseScriptFiles = false;
};

// The directory of the running program, with a trailing "/".
std::string ProgramDirectory();

// The full path of the library file for `name` (compiled form first, then
// source, earlier directories first), or "" when there is none. Directories
// are joined to file names with "/" (the Linux separator), which is not
// added after a directory ending in "/" or ":". `app_dir` replaces
// "$(APPDIR)".
std::string FindLibraryFile(std::string_view name, const ScripterLibraryOptions& options,
                            std::string_view app_dir);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_OPTIONS_H_
