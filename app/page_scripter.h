// The set-up of the scripter that runs script pages (the gateway's
// `wbscripter`), shared by the gateway and `vantrel-basic --page` so that a
// page compiles the same in both.
//
// Call on the thread that owns the scripter, before it compiles anything,
// and after RegisterBuiltInLibraries (the system library is attached to
// every new scripter from the global library registry).
#ifndef VANTREL_APP_PAGE_SCRIPTER_H_
#define VANTREL_APP_PAGE_SCRIPTER_H_

namespace vantrel {

class BasicScripter;
class WebScripter;

// Gives `scripter` the page scripter's settings and libraries:
// ShortBooleanEval off, SaveCompiledCode on, the stored form of an empty
// program loaded as its "PCode" (so it starts compiled), the web functions
// (WebScripter) and the VBScript library attached as default instances, and
// the dialog functions ShowMessage, InputBox and MsgBox taken away from
// every class that registered them, so that a page calling one fails to
// compile. OnCompileError is left to the caller. Returns the attached
// WebScripter, whose gateway the caller sets.
WebScripter& SetUpPageScripter(BasicScripter& scripter);

}  // namespace vantrel

#endif  // VANTREL_APP_PAGE_SCRIPTER_H_
