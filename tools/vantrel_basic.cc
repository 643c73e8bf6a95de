// vantrel-basic: compiles a Basic script and runs it, for checking scripts
// outside the gateway.
//
//   vantrel-basic FILE             compile and run FILE ("-": standard input)
//   vantrel-basic --check FILE     only compile
//   vantrel-basic --list FILE      compile and print the instructions
//   vantrel-basic --save OUT FILE  compile and write the compiled code to OUT
//   vantrel-basic --load FILE      load compiled code written by --save and run it
//   vantrel-basic --page FILE.vpg  translate a script page as the gateway does and compile it
//
// The script sees the system and VBScript libraries. Its `echo(value)` writes the value and a line
// feed to standard output. A page (--page) is compiled on a scripter set up as the gateway's, with
// the web functions and without the dialog functions, and never run; its compile errors are
// reported as the gateway's log reports them. Exit status: 0 success, 1 compile error or compiled
// code that cannot be loaded, 2 runtime error, 64 wrong usage, 66 the file cannot be read, 73 the
// output file cannot be written. Error messages go to standard error with their CR LF line ends
// written as LF.
#include <clocale>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "app/compile_error_report.h"
#include "app/page_scripter.h"
#include "app/page_translation.h"
#include "app/script_page_runner.h"
#include "base/exception.h"
#include "base/string_list.h"
#include "base/text_file.h"
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
constexpr int kExitCannotCreate = 73;

constexpr std::string_view kUsage =
    "Usage: vantrel-basic [--check | --list] FILE\n"
    "       vantrel-basic --save OUT FILE\n"
    "       vantrel-basic --load [--check | --list] FILE\n"
    "       vantrel-basic --page [--list] FILE.vpg\n"
    "       vantrel-basic --help\n"
    "\n"
    "Compiles the Basic script FILE and runs it; FILE \"-\" reads the script from\n"
    "standard input. The script's echo(value) writes the value and a line feed\n"
    "to standard output.\n"
    "\n"
    "  --check     only compile the script (with --load: only load it)\n"
    "  --list      compile the script and print its instructions\n"
    "  --save OUT  compile the script and write its compiled code to OUT,\n"
    "              without running it\n"
    "  --load      FILE holds compiled code written by --save: load and run it\n"
    "              without compiling\n"
    "  --page      FILE is a script page: translate it into its Basic program as\n"
    "              the gateway does and compile that, without running it; a\n"
    "              compile error is reported as in the gateway's log, with the\n"
    "              program lines around it (with --list: print the program)\n"
    "  --help      show this text\n"
    "\n"
    "Compiled code refers to the functions it calls by position, so it loads\n"
    "only into the vantrel-basic that wrote it (or one with the same libraries).\n"
    "\n"
    "Exit status: 0 success, 1 compile error or compiled code that cannot be\n"
    "loaded, 2 runtime error, 64 wrong usage, 66 the file cannot be read,\n"
    "73 the output file cannot be written.\n";

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
  bool load = false;
  bool page = false;
  std::string save_to;
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
    } else if (arg == "--load") {
      options.load = true;
    } else if (arg == "--page") {
      options.page = true;
    } else if (arg == "--save") {
      if (++i == argc || *argv[i] == '\0') return false;
      options.save_to = argv[i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return false;
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      return false;
    }
  }
  if (options.load && !options.save_to.empty()) return false;
  if (options.page && (options.load || !options.save_to.empty())) return false;
  return options.help || !options.file.empty();
}

// The bytes of `file` ("-": standard input); false, with the error
// reported, when it cannot be read.
bool ReadInput(const std::string& file, std::string& bytes) {
  if (file == "-") {
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.append(buffer, count);
    return true;
  }
  try {
    bytes = ReadWholeFile(file);
    return true;
  } catch (const Exception& error) {
    ReportError(error.Message());
    return false;
  }
}

// Compiles the script, or loads its compiled code; the exit status of a
// failure, or 0.
int Prepare(const Options& options, const std::string& input, BasicScripter& scripter) {
  try {
    if (options.load) {
      scripter.DefaultScript().LoadCode(input);
    } else {
      StringList source;
      source.SetText(input);
      scripter.SetSourceCode(source);
      scripter.Compile();
    }
  } catch (const std::exception& error) {
    ReportError(error.what());
    return kExitCompileError;
  }
  return 0;
}

int Save(const std::string& path, const Script& script) {
  std::string stream;
  try {
    script.SaveCode(stream);
  } catch (const std::exception& error) {
    ReportError(error.what());
    return kExitCompileError;
  }
  try {
    WriteWholeFile(path, stream);
  } catch (const Exception& error) {
    ReportError(error.Message());
    return kExitCannotCreate;
  }
  return 0;
}

// Translates the page, prints the program with --list, and compiles it on a
// scripter set up as the gateway's page scripter.
int CheckPage(const Options& options, const std::string& input) {
  StringList page;
  page.SetText(input);
  const std::string program = PageToProgram(page.Text());
  if (options.list) std::cout << TerminalText(program) << std::flush;
  BasicScripter scripter;
  SetUpPageScripter(scripter);
  RegisterPageValues(scripter, "", 0);
  scripter.SetOnCompileError(
      [](CustomScripter& sender, std::string& msg, int row, int col, bool& show_exception) {
        for (const std::string& line : CompileErrorReport(sender.SourceCode(), msg, row, col)) {
          ReportError(line);
        }
        show_exception = false;  // Reported: the silent abort ends the compile.
      });
  StringList lines;
  lines.SetText(program);
  try {
    scripter.SetSourceCode(lines);
    scripter.Compile();
  } catch (const SilentError&) {
    return kExitCompileError;
  } catch (const std::exception& error) {
    ReportError(error.what());
    return kExitCompileError;
  }
  return 0;
}

int Run(const Options& options) {
  std::string input;
  if (!ReadInput(options.file, input)) return kExitNoInput;
  if (options.page) return CheckPage(options, input);
  // A vantrel-basic that loads compiled code registers the same classes
  // and members in the same order as the one that saved it.
  BasicScripter scripter;
  // Scripts see both built-in libraries, as pages do.
  scripter.AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
  scripter.InternalClass().RegisterMethod("echo", 1, false, HostHandler::Of<&Echo>(), nullptr,
                                          vkNone);
  if (int status = Prepare(options, input, scripter); status != 0) return status;
  if (options.list) std::cout << Disassemble(scripter.DefaultScript().Code().Instructions);
  if (!options.save_to.empty()) return Save(options.save_to, scripter.DefaultScript());
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
  // Dates and times read and print as in the gateway, which takes LC_TIME
  // from the environment.
  std::setlocale(LC_TIME, "");
  vantrel::RegisterBuiltInLibraries();
  return vantrel::Run(options);
}
