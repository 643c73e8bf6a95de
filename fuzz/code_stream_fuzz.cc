// Loads arbitrary bytes as stored compiled code into a scripter registered
// as vantrel-basic registers its own, and links what loads. Every input must
// load or raise ScriptInternalError, and loaded code must link or raise
// ScriptInternalError; crashes, reads past the input, allocations the input
// does not justify, other exceptions and leaks are findings. The code is
// not run: the system library's functions reach files and dialogs.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/errors/script_errors.h"
#include "script/library/built_in_libraries.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace {

void Ignore(vantrel::VirtualMachine&) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (vantrel::RegisterBuiltInLibraries(), true);
  (void)registered;
  vantrel::BasicScripter scripter;
  scripter.AttachLibrary(vantrel::VBScriptLibraryClassRef(), /*as_default=*/true);
  scripter.InternalClass().RegisterMethod("echo", 1, false, vantrel::HostHandler::Of<&Ignore>(),
                                          nullptr, vantrel::vkNone);
  vantrel::Script& script = scripter.DefaultScript();
  try {
    script.LoadCode(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const vantrel::ScriptInternalError&) {
    return 0;  // Refused: an expected outcome.
  }
  vantrel::VirtualMachine machine;
  machine.SetHost(&scripter.Binding());
  vantrel::InstructionList code = script.Code().Instructions;
  try {
    machine.Link(code);
  } catch (const vantrel::ScriptInternalError&) {
    // Code that refers outside itself or the registry: refused.
  }
  return 0;
}
