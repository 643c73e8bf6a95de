// The report of a script page that failed to compile: what the server log
// shows and what `vantrel-basic --page` prints.
//
//   Unknown method ou subroutine: 'nosuch': line 3 col 1
//   echo ("<p>")
//    x = 1
//   >>>nosuch(x)
//   echo ("</p>")
//
// Pure function: safe from any thread.
#ifndef VANTREL_APP_COMPILE_ERROR_REPORT_H_
#define VANTREL_APP_COMPILE_ERROR_REPORT_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"

namespace vantrel {

// The lines reporting the compile error `msg` at `row` (1-based, a line of
// `program`) and `col`: first msg + ": line " + row + " col " + col, then
// the program lines row-2 to row+2 that exist, line `row` prefixed with
// ">>>".
std::vector<std::string> CompileErrorReport(const StringList& program, std::string_view msg,
                                            int row, int col);

}  // namespace vantrel

#endif  // VANTREL_APP_COMPILE_ERROR_REPORT_H_
