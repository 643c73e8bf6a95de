#include "base/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantrel {

bool DebugOutputEnabled() {
  // Read once: the setting is the process's, fixed at its first use.
  static const bool enabled = std::getenv("VANTREL_DEBUG") != nullptr;
  return enabled;
}

void DebugOutput(std::string_view line) {
  if (!DebugOutputEnabled()) return;
  std::string text(line);
  text += '\n';
  // One write per line, so lines from several threads do not interleave.
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace vantrel
