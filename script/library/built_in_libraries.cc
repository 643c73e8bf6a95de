#include "script/library/built_in_libraries.h"

#include "script/library/system_library.h"
#include "script/library/vbscript_library.h"
#include "script/scripter/scripter_library.h"

namespace vantrel {

const LibraryClass& SystemLibraryClassRef() { return LibraryClassOf<SystemLibrary>("Internal"); }

const LibraryClass& VBScriptLibraryClassRef() {
  return LibraryClassOf<VBScriptLibrary>("VBScript");
}

void RegisterBuiltInLibraries() {
  RegisterLibraryClass(SystemLibraryClassRef(), /*explicit_only=*/false);
  RegisterLibraryClass(VBScriptLibraryClassRef(), /*explicit_only=*/true);
}

}  // namespace vantrel
