// Compiles arbitrary text as a Basic script and, when it compiles, runs it
// for at most kMaxSteps instructions. Every input must end in success, a
// CompileError or a runtime error; crashes, internal errors (code the
// machine refuses to link), other exceptions, leaks and undefined
// behaviour are findings.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/string_list.h"
#include "script/basic/basic_script.h"
#include "script/errors/script_errors.h"
#include "script/host/registry_binding.h"
#include "script/machine/script_info.h"
#include "script/machine/virtual_machine.h"
#include "tests/script/compile_test_context.h"

namespace {

constexpr int kMaxSteps = 100000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vantrel::test::TestCompileContext;
  // One compiler for every input, as a scripter keeps one for its scripts.
  static vantrel::BasicScript compiler;
  TestCompileContext context;
  vantrel::StringList source;
  source.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  vantrel::CompiledCode code;
  try {
    compiler.Compile(source, context, code);
  } catch (const vantrel::CompileError&) {
    return 0;  // Refused with a compile error: an expected outcome.
  }
  vantrel::VirtualMachine machine;
  vantrel::RegistryBinding binding(&context.Classes(), &context.DefaultInstances());
  machine.SetHost(&binding);
  int steps = 0;
  machine.SetOnDebugHook([&steps](vantrel::VirtualMachine& m) {
    if (++steps == kMaxSteps) m.Halt();
  });
  machine.SetDebugging(true);
  machine.Link(code.Instructions);  // The compiler's code must always link.
  try {
    machine.Execute("", vantrel::Variant());
  } catch (const vantrel::ScriptRuntimeError&) {
    // A runtime error of the script: an expected outcome.
  }
  return 0;
}
