// A Basic scripter set up as the gateway's for library tests: the system
// library (attached to every scripter) and the VBScript library as a default
// instance, plus `echo(value)`, which appends the value's text and a line
// feed to the output.
#ifndef VANTREL_TESTS_SCRIPT_LIBRARY_TEST_SCRIPTER_H_
#define VANTREL_TESTS_SCRIPT_LIBRARY_TEST_SCRIPTER_H_

#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/string_list.h"
#include "script/library/built_in_libraries.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel::test {

// The built-in libraries are in the registry before the scripter is made.
struct BuiltInLibrariesRegistered {
  BuiltInLibrariesRegistered() { RegisterBuiltInLibraries(); }
};

// `message` with its CR LF line ends as line feeds.
inline std::string WithLineFeeds(std::string message) {
  for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at)) {
    message.erase(at, 1);
  }
  return message;
}

class LibraryTestScripter : private BuiltInLibrariesRegistered, public BasicScripter {
 public:
  LibraryTestScripter() {
    AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
    InternalClass().RegisterMethod(
        "echo", 1, false, HostHandler::Of<LibraryTestScripter, &Echo>(this), nullptr, vkNone);
  }

  // Compiles and runs `source`; returns what it echoed, followed by "!" and
  // the message of a compile or runtime error (line ends as line feeds).
  std::string Run(std::string_view source) {
    output_.clear();
    StringList lines;
    lines.SetText(source);
    try {
      SetSourceCode(lines);
      Execute();
    } catch (const SilentError&) {
    } catch (const Exception& error) {
      output_ += "!" + WithLineFeeds(error.Message()) + "\n";
    }
    return output_;
  }

  const std::string& Output() const { return output_; }

 private:
  static void Echo(LibraryTestScripter& self, VirtualMachine& machine) {
    self.output_ += machine.GetArgAsString(0) + "\n";
  }

  std::string output_;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_LIBRARY_TEST_SCRIPTER_H_
