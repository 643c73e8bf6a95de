// vantrel: the gateway program.
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless_front_end.h"
#include "app/version.h"
#include "app/windows/run_windowed.h"
#include "script/library/built_in_libraries.h"

namespace {

constexpr const char* kUsage =
    "Usage: vantrel [--headless] [--home DIR]\n"
    "       vantrel --help | --version\n"
    "\n"
    "Puts a serial device on the web: serves the web directory of the program\n"
    "directory over HTTP, with script pages that drive the serial port.\n"
    "\n"
    "  --headless   run without windows, as without a display; log lines go to\n"
    "               standard output\n"
    "  --home DIR   program directory holding config.ini and web/ (default:\n"
    "               the directory of the executable)\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

// The directory of the running executable, or "." when it cannot be found.
std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string directory(path, static_cast<std::size_t>(length));
  const std::size_t slash = directory.rfind('/');
  return slash == 0 ? "/" : directory.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_TIME, "");  // Month names follow the user's regional settings.
  std::string home = ExecutableDirectory();
  bool headless = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("vantrel %s\n", vantrel::kVersion);
      return 0;
    }
    if (arg == "--headless") {
      headless = true;
      continue;
    }
    if (arg == "--home" && i + 1 < argc) {
      home = argv[++i];
      continue;
    }
    std::fprintf(stderr, "vantrel: unknown option '%s'\n\n%s", arg.c_str(), kUsage);
    return 2;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  vantrel::RegisterBuiltInLibraries();  // Before the page scripter is made.
  if (!headless && !vantrel::DisplayAvailable()) {
    std::fputs("vantrel: no display (DISPLAY and WAYLAND_DISPLAY are not set); running headless\n",
               stderr);
    headless = true;
  }
  return headless ? vantrel::RunHeadless(home) : vantrel::RunWindowed(home, argc, argv);
}
