#ifndef VANTREL_APP_VERSION_H_
#define VANTREL_APP_VERSION_H_

namespace vantrel {

inline constexpr const char* kVersion = "0.1.0";

}  // namespace vantrel

#endif  // VANTREL_APP_VERSION_H_
