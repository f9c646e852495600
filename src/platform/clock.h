// Clocks of the system.
#pragma once

#include <cstdint>

namespace ot::platform {

// The wall clock as a Windows file time: 100-nanosecond units since 1601-01-01 UTC.
std::uint64_t wall_clock_file_time();

}  // namespace ot::platform
