#include "base/random_token.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "base/retry_on_interrupt.h"

namespace vantrel {

std::string RandomToken(std::size_t bytes) {
  std::vector<unsigned char> drawn(bytes);
  std::size_t got = 0;
  while (got < bytes) {
    const ssize_t read =
        RetryOnInterrupt([&] { return ::getrandom(drawn.data() + got, bytes - got, 0); });
    if (read < 0) throw std::system_error(errno, std::generic_category(), "getrandom");
    got += static_cast<std::size_t>(read);
  }
  constexpr char kHexDigits[] = "0123456789abcdef";
  std::string token;
  token.reserve(2 * bytes);
  for (const unsigned char byte : drawn) {
    token += kHexDigits[byte >> 4];
    token += kHexDigits[byte & 0x0F];
  }
  return token;
}

}  // namespace vantrel
