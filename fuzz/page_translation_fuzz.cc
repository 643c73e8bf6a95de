// Translates arbitrary bytes as a script page and compiles the program on a
// scripter set up as the gateway's page scripter. Translation never fails;
// a page without "<%" is literal text only, whose program must always
// compile, whatever bytes it holds (the quoting must turn any text into
// valid Basic strings); other pages end compiled or with a compile error.
// Crashes, other exceptions, leaks and undefined behaviour are findings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/page_scripter.h"
#include "app/page_translation.h"
#include "app/script_page_runner.h"
#include "base/string_list.h"
#include "script/errors/script_errors.h"
#include "script/library/built_in_libraries.h"
#include "script/scripter/basic_scripter.h"

namespace {

vantrel::BasicScripter& PageScripter() {
  static vantrel::BasicScripter* scripter = [] {
    vantrel::RegisterBuiltInLibraries();
    auto* made = new vantrel::BasicScripter;
    vantrel::SetUpPageScripter(*made);
    vantrel::RegisterPageValues(*made, "", 0);
    return made;
  }();
  return *scripter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vantrel::StringList page;
  page.SetText(bytes);
  const std::string program = vantrel::PageToProgram(page.Text());
  const bool literal_only = page.Text().find("<%") == std::string::npos;

  vantrel::BasicScripter& scripter = PageScripter();
  vantrel::StringList lines;
  lines.SetText(program);
  try {
    scripter.SetSourceCode(lines);
    scripter.Compile();
  } catch (const vantrel::CompileError&) {
    if (literal_only) std::abort();  // Literal text that does not compile.
  }
  return 0;
}
