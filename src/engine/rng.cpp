#include "engine/rng.h"

namespace ot {

namespace {

constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000ull;

}  // namespace

RandomGenerator::RandomGenerator(const std::array<std::uint16_t, 56>& words,
                                 std::uint16_t first_position, std::uint16_t second_position)
    : s_(words),
      a_(static_cast<std::uint8_t>(first_position % 56)),
      b_(static_cast<std::uint8_t>(second_position % 56)) {}

std::uint16_t RandomGenerator::next16() {
  s_[b_] = static_cast<std::uint16_t>(s_[b_] + s_[a_]);
  const std::uint16_t result = s_[b_];
  a_ = static_cast<std::uint8_t>(a_ == 55 ? 0 : a_ + 1);
  b_ = static_cast<std::uint8_t>(b_ == 55 ? 0 : b_ + 1);
  return result;
}

std::uint16_t RandomGenerator::below(std::uint32_t n) {
  const auto range = static_cast<std::uint16_t>(n);
  if (range == 0) return 0;
  return static_cast<std::uint16_t>(next16() % range);
}

void RandomGenerator::warm_up(std::uint64_t file_time) {
  if (file_time < kUnixEpochAsFileTime) return;
  const auto k =
      static_cast<std::uint16_t>((file_time - kUnixEpochAsFileTime) / kFileTimeUnitsPerSecond);
  for (unsigned i = 0; i < k; ++i) next16();
}

}  // namespace ot
