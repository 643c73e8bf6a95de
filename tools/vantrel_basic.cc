// vantrel-basic: compiles a Basic script and runs it, for checking scripts
// outside the gateway.
//
//   vantrel-basic FILE          compile and run FILE ("-": standard input)
//   vantrel-basic --check FILE  only compile
//   vantrel-basic --list FILE   compile and print the instructions
//
// The script sees the system and VBScript libraries. Its `echo(value)` writes the value and a line
// feed to standard output. Exit status: 0 success, 1 compile error, 2 runtime error, 64 wrong
// usage, 66 the file cannot be read. Error messages go to standard error with their CR LF line ends
// written as LF.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/string_list.h"
#include "script/library/built_in_libraries.h"
#include "script/machine/disassembler.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel {
namespace {

constexpr int kExitCompileError = 1;
constexpr int kExitRuntimeError = 2;
constexpr int kExitUsage = 64;
constexpr int kExitNoInput = 66;

constexpr std::string_view kUsage =
    "Usage: vantrel-basic [--check | --list] FILE\n"
    "       vantrel-basic --help\n"
    "\n"
    "Compiles the Basic script FILE and runs it; FILE \"-\" reads the script from\n"
    "standard input. The script's echo(value) writes the value and a line feed\n"
    "to standard output.\n"
    "\n"
    "  --check  only compile the script\n"
    "  --list   compile the script and print its instructions\n"
    "  --help   show this text\n"
    "\n"
    "Exit status: 0 success, 1 compile error, 2 runtime error, 64 wrong usage,\n"
    "66 the file cannot be read.\n";

void Echo(VirtualMachine& machine) { std::cout << machine.GetArgAsString(0) << '\n'; }

// The message with CR LF line ends turned into LF.
std::string TerminalText(std::string_view message) {
  std::string text;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
    text += message[i];
  }
  return text;
}

void ReportError(std::string_view message) {
  std::cout.flush();
  std::cerr << TerminalText(message) << '\n';
}

struct Options {
  bool check = false;
  bool list = false;
  bool help = false;
  std::string file;
};

// False on wrong usage.
bool ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--check") {
      options.check = true;
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return false;
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      return false;
    }
  }
  return options.help || !options.file.empty();
}

bool ReadSource(const std::string& file, StringList& source) {
  if (file == "-") {
    std::string text;
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, count);
    source.SetText(text);
    return true;
  }
  try {
    source.LoadFromFile(file);
    return true;
  } catch (const Exception& error) {
    ReportError(error.Message());
    return false;
  }
}

int Run(const Options& options) {
  StringList source;
  if (!ReadSource(options.file, source)) return kExitNoInput;
  BasicScripter scripter;
  // Scripts see both built-in libraries, as pages do.
  scripter.AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
  scripter.InternalClass().RegisterMethod("echo", 1, false, HostHandler::Of<&Echo>(), nullptr,
                                          vkNone);
  try {
    scripter.SetSourceCode(source);
    scripter.Compile();
  } catch (const std::exception& error) {
    ReportError(error.what());
    return kExitCompileError;
  }
  if (options.list) std::cout << Disassemble(scripter.DefaultScript().Code().Instructions);
  if (options.check || options.list) return 0;
  try {
    scripter.Execute();
  } catch (const SilentError&) {
    // The script ended itself with the silent abort.
  } catch (const std::exception& error) {
    ReportError(error.what());
    return kExitRuntimeError;
  }
  std::cout.flush();
  return 0;
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
  vantrel::Options options;
  if (!vantrel::ParseArguments(argc, argv, options)) {
    std::cerr << vantrel::kUsage;
    return vantrel::kExitUsage;
  }
  if (options.help) {
    std::cout << vantrel::kUsage;
    return 0;
  }
  vantrel::RegisterBuiltInLibraries();
  return vantrel::Run(options);
}
