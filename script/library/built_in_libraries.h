// The built-in libraries in the global library registry.
#ifndef VANTREL_SCRIPT_LIBRARY_BUILT_IN_LIBRARIES_H_
#define VANTREL_SCRIPT_LIBRARY_BUILT_IN_LIBRARIES_H_

namespace vantrel {

struct LibraryClass;

// Adds the system library ("Internal", attached to every new scripter) and
// the VBScript library ("VBScript", explicit-only) to the global library
// registry. Call once at program start, before the first scripter is made;
// calling it again changes nothing.
void RegisterBuiltInLibraries();

const LibraryClass& SystemLibraryClassRef();
const LibraryClass& VBScriptLibraryClassRef();

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_BUILT_IN_LIBRARIES_H_
