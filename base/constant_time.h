// Comparing secrets (a password a client sent against the configured one)
// in a time that tells nothing about where they differ. Pure; any thread.
#ifndef VANTREL_BASE_CONSTANT_TIME_H_
#define VANTREL_BASE_CONSTANT_TIME_H_

#include <string_view>

namespace vantrel {

// True when `given` and `expected` hold the same bytes. Looks at every byte
// of `given` whatever it finds, so the time taken depends only on the
// length of `given` (which the caller knows anyway), never on how much of
// `expected` it matches.
bool ConstantTimeEquals(std::string_view given, std::string_view expected);

}  // namespace vantrel

#endif  // VANTREL_BASE_CONSTANT_TIME_H_
