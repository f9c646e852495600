// Byte buffers from string literals, embedded zero bytes included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ot::test {

template <std::size_t N>
std::vector<std::uint8_t> bytes_of(const char (&s)[N]) {
  return std::vector<std::uint8_t>(s, s + N - 1);
}

}  // namespace ot::test
