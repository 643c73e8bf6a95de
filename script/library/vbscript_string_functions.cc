// The VBScript library's text functions that differ from the system
// library's (InStr, LCase, Len, LTrim, RTrim, UCase and StrComp use the
// system handlers). Positions count from 1; a negative count or a start
// below 1 is refused, and a text built to a size the script gives is
// limited to kMaxBuiltTextSize.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/library/library_arguments.h"
#include "script/library/vbscript_functions.h"
#include "script/machine/virtual_machine.h"

namespace vantrel::vbscript_functions {
namespace {

// The occurrences of `find` (not empty) in `text`, left to right, not
// overlapping.
std::size_t CountOccurrences(std::string_view text, std::string_view find) {
  std::size_t count = 0;
  for (std::size_t at = text.find(find); at != std::string_view::npos;
       at = text.find(find, at + find.size())) {
    ++count;
  }
  return count;
}

// `count` copies of `c`, within the limit of built texts.
void SetRepeatedResult(VirtualMachine& machine, std::size_t count, char c) {
  CheckBuiltTextSize(machine, count);
  machine.SetResult(Variant(std::string(count, c)));
}

}  // namespace

void Asc(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  if (text.Empty()) throw ScriptRuntimeError("Empty string when calling Asc function");
  machine.SetResult(Variant::Byte(static_cast<unsigned char>(text.View().front())));
}

void Left(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  text.SetResultPart(machine, text.View().substr(0, CountArgument(machine, 1)));
}

void Right(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::size_t count = std::min(CountArgument(machine, 1), text.Size());
  text.SetResultPart(machine, text.View().substr(text.Size() - count));
}

// From 1-based `start`, up to `length` characters; "" from a start beyond
// the end.
void Mid(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const std::int32_t start = machine.GetArgAsInteger(1);
  if (start < 1) {
    throw ScriptRuntimeError(
        Format("%s expects a start of 1 or more, not %d", {machine.CurrentMemberName(), start}));
  }
  const std::size_t length = CountArgument(machine, 2);
  const std::size_t from = static_cast<std::size_t>(start) - 1;
  if (from >= text.Size()) {
    machine.SetResult(Variant(std::string_view()));
    return;
  }
  text.SetResultPart(machine, text.View().substr(from, length));
}

// Every occurrence of `find`, left to right; an empty `find` leaves the text
// as it is.
void Replace(VirtualMachine& machine) {
  const TextArgument text(machine, 0);
  const TextArgument find(machine, 1);
  const TextArgument with(machine, 2);
  const std::size_t count = find.Empty() ? 0 : CountOccurrences(text.View(), find.View());
  if (count == 0) {
    text.SetResultPart(machine, text.View());
    return;
  }
  const std::uint64_t size = std::uint64_t{text.Size()} - std::uint64_t{count} * find.Size() +
                             std::uint64_t{count} * with.Size();
  if (size > text.Size()) CheckBuiltTextSize(machine, size);
  std::string replaced;
  replaced.reserve(static_cast<std::size_t>(size));
  std::size_t from = 0;
  for (std::size_t at = text.View().find(find.View()); at != std::string_view::npos;
       at = text.View().find(find.View(), from)) {
    replaced.append(text.View().substr(from, at - from)).append(with.View());
    from = at + find.Size();
  }
  replaced.append(text.View().substr(from));
  machine.SetResult(Variant(replaced));
}

void Space(VirtualMachine& machine) { SetRepeatedResult(machine, CountArgument(machine, 0), ' '); }

// The first character of the text, or a space when it is empty.
void StringOf(VirtualMachine& machine) {
  const std::size_t count = CountArgument(machine, 0);
  const TextArgument text(machine, 1);
  SetRepeatedResult(machine, count, text.Empty() ? ' ' : text.View().front());
}

}  // namespace vantrel::vbscript_functions
