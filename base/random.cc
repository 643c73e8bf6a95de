#include "base/random.h"

#include <chrono>
#include <mutex>
#include <random>

namespace vantrel {

double RandomUnit() {
  static std::mutex mutex;
  static std::mt19937_64 generator(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::lock_guard<std::mutex> lock(mutex);
  return std::generate_canonical<double, 53>(generator) * (1.0 - 0x1p-53);
}

}  // namespace vantrel
