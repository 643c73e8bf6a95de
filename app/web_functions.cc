#include "app/web_functions.h"

#include <time.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/gateway.h"
#include "app/web_scripter.h"
#include "base/convert_error.h"
#include "base/format.h"
#include "base/html_escape.h"
#include "base/integer_text.h"
#include "base/string_list.h"
#include "script/library/library_arguments.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::web_functions {
namespace {

// Argument `i` as text read as a decimal integer.
std::int32_t IntegerArgument(const VirtualMachine& machine, int i) {
  const std::string text = machine.GetArgAsString(i);
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value) throw ConvertError(Format("'%s' is not a valid integer value", {text}));
  return *value;
}

// The pieces of `text` between occurrences of `separator`: a separator at
// the very end gives no empty last piece, an empty text no piece, and an
// empty separator never matches.
StringList SplitText(std::string_view text, std::string_view separator) {
  StringList parts;
  if (!separator.empty()) {
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator)) {
      parts.Add(std::string(text.substr(0, at)));
      text.remove_prefix(at + separator.size());
    }
  }
  if (!text.empty()) parts.Add(std::string(text));
  return parts;
}

// The value of the first "name=value" line whose name (the text before its
// first "=", empty when it has none) equals `name` exactly; "" when none.
std::string ParameterValue(const StringList& params, std::string_view name) {
  for (const std::string& line : params) {
    const std::size_t equals = line.find('=');
    const std::string_view line_name =
        equals == std::string::npos ? std::string_view() : std::string_view(line).substr(0, equals);
    if (line_name == name) return equals == std::string::npos ? line : line.substr(equals + 1);
  }
  return "";
}

}  // namespace

void echo(WebScripter& library, VirtualMachine& machine) {
  // A page echoes a String or an Integer hundreds of times a run: its
  // characters are copied once, into the output.
  const Variant& value = machine.GetArg(0).Dereference();
  if (value.Type() == VariantType::kString) {
    library.GetGateway().Echo(value.StringView());
  } else if (value.Type() == VariantType::kInteger) {
    char digits[16];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value.RawInteger());
    library.GetGateway().Echo(std::string_view(digits, end.ptr));
  } else {
    library.GetGateway().Echo(machine.GetArgAsString(0));
  }
}

void get_value(WebScripter& library, VirtualMachine& machine) {
  const HttpRequestInfo* request = library.GetGateway().CurrentRequest();
  machine.SetResult(Variant(
      request == nullptr ? "" : ParameterValue(request->Params, machine.GetArgAsString(0))));
}

void enumports(WebScripter& library, VirtualMachine& machine) {
  machine.SetResult(Variant(library.GetGateway().Bridge().EnumPorts()));
}

void is_open(WebScripter& library, VirtualMachine& machine) {
  machine.SetResult(Variant(library.GetGateway().Bridge().OpenSettingsText()));
}

void openport(WebScripter& library, VirtualMachine& machine) {
  library.GetGateway().Bridge().OpenPort(machine.GetArgAsString(0), machine.GetArgAsString(1),
                                         machine.GetArgAsString(2), machine.GetArgAsString(3),
                                         machine.GetArgAsString(4), machine.GetArgAsString(5));
}

void closeport(WebScripter& library, VirtualMachine&) { library.GetGateway().Bridge().ClosePort(); }

void send(WebScripter& library, VirtualMachine& machine) {
  library.GetGateway().Bridge().Send(machine.GetArgAsString(0));
}

void receive(WebScripter& library, VirtualMachine& machine) {
  machine.SetResult(Variant(library.GetGateway().GetReceiveBuffer().Text()));
}

void flush(WebScripter& library, VirtualMachine&) {
  library.GetGateway().GetReceiveBuffer().Clear();
  library.GetGateway().ReportReceiveOverflow();
}

void flush_part(WebScripter& library, VirtualMachine& machine) {
  const std::int32_t count = IntegerArgument(machine, 0);
  library.GetGateway().GetReceiveBuffer().RemoveFirst(count);
  library.GetGateway().ReportReceiveOverflow();
}

void split(WebScripter& library, VirtualMachine& machine) {
  StringList parts = SplitText(machine.GetArgAsString(0), machine.GetArgAsString(1));
  const std::int32_t count = TextSize32(parts.Count());
  library.GetGateway().SetSplitParts(std::move(parts));
  machine.SetResult(Variant(count));
}

void extract(WebScripter& library, VirtualMachine& machine) {
  machine.SetResult(Variant(library.GetGateway().SplitPart(machine.GetArg(0).ToInteger())));
}

void escape_html(WebScripter&, VirtualMachine& machine) {
  machine.SetResult(Variant(HtmlEscape(machine.GetArgAsString(0))));
}

void getticks(WebScripter&, VirtualMachine& machine) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::int64_t milliseconds =
      static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
  machine.SetResult(Variant(static_cast<double>(milliseconds)));
}

}  // namespace vantrel::web_functions
