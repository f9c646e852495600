// Readable test failure output for our value types.
#pragma once

#include <ostream>

#include "assets/data_error.h"

namespace ot {

inline void PrintTo(const DataError& e, std::ostream* os) {
  static constexpr const char* kKinds[] = {"Io", "Missing", "Invalid"};
  *os << kKinds[static_cast<int>(e.kind)] << " \"" << e.detail << "\"";
}

}  // namespace ot
