// Tokens nobody can guess: drawn from the operating system's random source,
// for values that grant access (a session cookie).
//
// Threads: any.
#ifndef VANTREL_BASE_RANDOM_TOKEN_H_
#define VANTREL_BASE_RANDOM_TOKEN_H_

#include <cstddef>
#include <string>

namespace vantrel {

// `bytes` random bytes written as 2 * `bytes` lower-case hexadecimal digits.
// Raises std::system_error when the system has no random bytes to give.
std::string RandomToken(std::size_t bytes);

}  // namespace vantrel

#endif  // VANTREL_BASE_RANDOM_TOKEN_H_
