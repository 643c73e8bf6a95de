// The operating system's own text for an errno value.
#ifndef VANTREL_BASE_SYSTEM_ERROR_TEXT_H_
#define VANTREL_BASE_SYSTEM_ERROR_TEXT_H_

#include <string>

namespace vantrel {

// For example "No such file or directory" for ENOENT. Safe on any thread.
std::string SystemErrorText(int error);

}  // namespace vantrel

#endif  // VANTREL_BASE_SYSTEM_ERROR_TEXT_H_
