#include <chrono>

#include "platform/clock.h"

namespace ot::platform {

std::uint64_t wall_clock_file_time() {
  constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
  const auto since_unix = std::chrono::system_clock::now().time_since_epoch();
  const auto units =
      std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(
          since_unix);
  return kUnixEpochAsFileTime + static_cast<std::uint64_t>(units.count());
}

}  // namespace ot::platform
