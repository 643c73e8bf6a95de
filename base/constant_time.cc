#include "base/constant_time.h"

namespace vantrel {

bool ConstantTimeEquals(std::string_view given, std::string_view expected) {
  // A volatile sum keeps the compiler from ending the loop at the first
  // difference.
  volatile unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i) {
    const unsigned char wanted = expected.empty() ? 0 : expected[i % expected.size()];
    difference = difference | (static_cast<unsigned char>(given[i]) ^ wanted);
  }
  return difference == 0;
}

}  // namespace vantrel
