// The debugger output channel: diagnostic lines that a developer can switch on
// without rebuilding. Lines go to standard error, and only when the
// environment variable VANTREL_DEBUG is set (to anything) at the first call;
// otherwise they are dropped. Safe to call from any thread.
#ifndef VANTREL_BASE_DEBUG_OUTPUT_H_
#define VANTREL_BASE_DEBUG_OUTPUT_H_

#include <string_view>

namespace vantrel {

// True when debugger output is switched on; callers that build a line at some
// cost check this first.
bool DebugOutputEnabled();

// Writes `line` and a line end to standard error when debugger output is on.
void DebugOutput(std::string_view line);

}  // namespace vantrel

#endif  // VANTREL_BASE_DEBUG_OUTPUT_H_
