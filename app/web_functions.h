// The host handlers of the web functions, named as scripts call them. Each
// reads its arguments through the machine and reaches the gateway through
// the library it was registered with; web_scripter.cc registers them with
// their argument counts and result kinds.
//
// Argument conversions: a text argument is read as GetArgAsString reads it
// (Null gives ""); flush_part's count is that text read as a decimal
// integer (ConvertError when it is not one); extract's index follows the
// standard variant conversion to an integer.
#ifndef VANTREL_APP_WEB_FUNCTIONS_H_
#define VANTREL_APP_WEB_FUNCTIONS_H_

namespace vantrel {

class VirtualMachine;
class WebScripter;

namespace web_functions {

// The response and the request.
void echo(WebScripter& library, VirtualMachine& machine);
void get_value(WebScripter& library, VirtualMachine& machine);

// The serial port.
void enumports(WebScripter& library, VirtualMachine& machine);
void is_open(WebScripter& library, VirtualMachine& machine);
void openport(WebScripter& library, VirtualMachine& machine);
void closeport(WebScripter& library, VirtualMachine& machine);
void send(WebScripter& library, VirtualMachine& machine);

// The receive buffer.
void receive(WebScripter& library, VirtualMachine& machine);
void flush(WebScripter& library, VirtualMachine& machine);
void flush_part(WebScripter& library, VirtualMachine& machine);

// Texts and time.
void split(WebScripter& library, VirtualMachine& machine);
void extract(WebScripter& library, VirtualMachine& machine);
// The text with &, <, >, " and ' written as HTML entities, so that a page can
// echo a value it did not write itself (a query value, a port name) as text.
void escape_html(WebScripter& library, VirtualMachine& machine);
// Milliseconds of the monotonic clock (since system start) as a Double:
// the 64-bit count stays exact where a script's 32-bit integer would wrap
// after 24 days.
void getticks(WebScripter& library, VirtualMachine& machine);

}  // namespace web_functions
}  // namespace vantrel

#endif  // VANTREL_APP_WEB_FUNCTIONS_H_
