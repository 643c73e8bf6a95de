#include "script/library/script_dialogs.h"

#include <cstdio>

namespace vantrel {

void HeadlessDialogs::ShowMessage(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool HeadlessDialogs::InputQuery(std::string_view caption, std::string_view prompt, std::string&) {
  std::fprintf(stderr, "%.*s: %.*s (answered Cancel)\n", static_cast<int>(caption.size()),
               caption.data(), static_cast<int>(prompt.size()), prompt.data());
  return false;
}

int HeadlessDialogs::MessageBox(std::string_view prompt, int buttons, std::string_view title) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(prompt.size()), prompt.data());
  switch (buttons & 0x0F) {
    case 0:  // OK only.
      return kOk;
    case 2:  // Abort, Retry, Ignore: abort is the way out.
      return kAbort;
    case 4:  // Yes, No.
      return kNo;
    default:  // Every other set has a Cancel button.
      return kCancel;
  }
}

void HeadlessDialogs::Beep() {
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

}  // namespace vantrel
