// Reading what a CGI program wrote: its header block and its body.
//
// The header block is everything up to and including the first CR LF CR LF;
// the body is everything after it, byte for byte. Output without a CR LF
// CR LF (for example headers ended by bare LF) has no header block, and
// all of it is dropped.
//
// Single values are read the way the gateway has always read them: in the
// header block every ": " becomes "=", and values are taken by name
// ignoring case from the resulting "name=value" lines. A header written
// without a blank after its colon ("Status:404") is therefore not seen.
#ifndef VANTREL_CGI_CGI_OUTPUT_H_
#define VANTREL_CGI_CGI_OUTPUT_H_

#include <string>
#include <string_view>

#include "base/string_list.h"

namespace vantrel {

struct CgiOutput {
  // False when the output held no CR LF CR LF; the other fields are then
  // left as they are here.
  bool has_header_block = false;
  // The value of "content-type"; empty when the program sent none.
  std::string content_type = "text/html";
  // The first three characters of the value of "status" as an integer, or
  // 200 when they are not one.
  int status_code = 200;
  // The lines of the header block exactly as written (Status and
  // Content-type lines included), without empty lines.
  StringList header_lines;
  // Everything after the header block.
  std::string body;
};

CgiOutput ParseCgiOutput(std::string_view output);

}  // namespace vantrel

#endif  // VANTREL_CGI_CGI_OUTPUT_H_
