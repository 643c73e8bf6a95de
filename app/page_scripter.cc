#include "app/page_scripter.h"

#include <string>
#include <string_view>

#include "app/web_scripter.h"
#include "script/library/built_in_libraries.h"
#include "script/scripter/basic_scripter.h"
#include "script/stored/byte_writer.h"

namespace vantrel {
namespace {

// Dialogs would wait for someone at the server's screen while the page's
// connection waits for them.
constexpr std::string_view kDialogFunctions[] = {"ShowMessage", "InputBox", "MsgBox"};

// Loads the stored form of an empty program as the scripter's "PCode",
// made here from the scripter's own default script, which has no code yet.
void LoadStoredEmptyProgram(BasicScripter& scripter) {
  std::string stored;
  scripter.DefaultScript().SaveCode(stored);
  std::string pcode;
  ByteWriter writer(pcode);
  writer.WriteInt32(static_cast<int32_t>(stored.size()));
  writer.WriteBytes(stored);
  scripter.ReadPCode(pcode);
}

void TakeAwayDialogFunctions(BasicScripter& scripter) {
  HostClasses& classes = scripter.Classes();
  for (int i = 0; i < classes.Count(); ++i) {
    HostClass& entry = classes.At(i);
    for (const std::string_view name : kDialogFunctions) {
      while (const HostMethod* method = entry.FindMethod(name)) entry.DeleteMethod(method);
    }
  }
}

}  // namespace

WebScripter& SetUpPageScripter(BasicScripter& scripter) {
  scripter.SetShortBooleanEval(false);
  scripter.SetSaveCompiledCode(true);
  LoadStoredEmptyProgram(scripter);
  auto& web = static_cast<WebScripter&>(
      scripter.AttachLibrary(LibraryClassOf<WebScripter>(), /*as_default=*/true));
  scripter.AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
  TakeAwayDialogFunctions(scripter);
  return web;
}

}  // namespace vantrel
