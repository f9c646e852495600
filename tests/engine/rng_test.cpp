#include "engine/rng.h"

#include <gtest/gtest.h>

namespace ot {
namespace {

std::array<std::uint16_t, 56> words_with(
    std::initializer_list<std::pair<std::size_t, std::uint16_t>> set) {
  std::array<std::uint16_t, 56> w{};
  for (auto [i, v] : set) w[i] = v;
  return w;
}

TEST(RandomGenerator, LaggedAdditiveSteps) {
  RandomGenerator g(words_with({{0, 1}, {1, 2}}), 0, 1);
  EXPECT_EQ(g.next16(), 3);
  EXPECT_EQ(g.a(), 1);
  EXPECT_EQ(g.b(), 2);
  // The second draw adds the word the first one wrote: s[2] + s[1] = 0 + 3.
  EXPECT_EQ(g.next16(), 3);
  EXPECT_EQ(g.next16(), 3);  // s[3] + s[2] = 0 + 3
  // Sums wrap at 16 bits, positions at 56.
  RandomGenerator wrap(words_with({{55, 0xFFFF}, {0, 0x0003}}), 55, 0);
  EXPECT_EQ(wrap.next16(), 0x0002);
  EXPECT_EQ(wrap.a(), 0);
  EXPECT_EQ(wrap.b(), 1);
}

TEST(RandomGenerator, PositionsAreReducedModulo56) {
  const RandomGenerator g(words_with({}), 56, 57);
  EXPECT_EQ(g.a(), 0);
  EXPECT_EQ(g.b(), 1);
  const RandomGenerator h(words_with({}), 0xFFFF, 111);
  EXPECT_EQ(h.a(), 0xFFFF % 56);
  EXPECT_EQ(h.b(), 55);
}

TEST(RandomGenerator, BelowZeroDrawsNothing) {
  const auto words = words_with({{0, 0x1234}, {1, 0x4321}, {2, 0x0F0F}, {3, 0x7777}});
  RandomGenerator g(words, 0, 1), reference(words, 0, 1);
  EXPECT_EQ(g.below(0), 0);
  EXPECT_EQ(g.below(65536), 0);  // only the low 16 bits count
  EXPECT_EQ(g.next16(), reference.next16());
  const std::uint16_t raw = reference.next16();
  EXPECT_EQ(g.below(10), raw % 10);
  EXPECT_EQ(g.below(65536 + 7), reference.next16() % 7);
}

TEST(RandomGenerator, WarmUpDrawsTheClockSeconds) {
  constexpr std::uint64_t kEpoch = 116444736000000000ull;
  constexpr std::uint64_t kSecond = 10000000ull;
  const auto words = words_with({{0, 0x1234}, {7, 0x4321}, {30, 0x0101}});
  const struct {
    std::uint64_t file_time;
    unsigned draws;
  } cases[] = {
      {0, 0},
      {kEpoch - 1, 0},
      {kEpoch, 0},
      {kEpoch + 65536 * kSecond, 0},
      {kEpoch + 3 * kSecond + kSecond - 1, 3},  // whole seconds only
      {kEpoch + (65536 + 1000) * kSecond, 1000},
  };
  for (const auto& c : cases) {
    RandomGenerator warmed(words, 3, 9), reference(words, 3, 9);
    warmed.warm_up(c.file_time);
    for (unsigned i = 0; i < c.draws; ++i) reference.next16();
    EXPECT_EQ(warmed.next16(), reference.next16()) << c.file_time;
    EXPECT_EQ(warmed.a(), reference.a());
  }
}

}  // namespace
}  // namespace ot
