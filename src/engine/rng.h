// The engine's one random generator: a lagged additive generator over 56 sixteen-bit words.
#pragma once

#include <array>
#include <cstdint>

namespace ot {

class RandomGenerator {
 public:
  // The stored words and the two stored position words (taken modulo 56).
  RandomGenerator(const std::array<std::uint16_t, 56>& words, std::uint16_t first_position,
                  std::uint16_t second_position);

  std::uint16_t next16();

  // 0 to n - 1 for the low 16 bits of n; 0 without a draw when those are 0.
  std::uint16_t below(std::uint32_t n);

  // Draws and discards (whole seconds since 1970 modulo 65536) values for a wall-clock reading
  // given as a Windows file time; nothing for a reading before 1970.
  void warm_up(std::uint64_t file_time);

  std::uint8_t a() const { return a_; }
  std::uint8_t b() const { return b_; }

 private:
  std::array<std::uint16_t, 56> s_;
  std::uint8_t a_;
  std::uint8_t b_;
};

}  // namespace ot
