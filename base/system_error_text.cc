#include "base/system_error_text.h"

#include <cstring>

namespace vantrel {
namespace {

// strerror_r comes in two flavours (XSI returns int, GNU returns the text);
// overloading on the result picks whichever the C library provides.
[[maybe_unused]] const char* PickErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* PickErrorText(const char* result, const char* /*buffer*/) {
  return result;
}

}  // namespace

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  return PickErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
}

}  // namespace vantrel
