#include "authoring/compress.h"

#include <gtest/gtest.h>

#include "assets/decompress.h"
#include "support/codes.h"

namespace ot::authoring {
namespace {

using Buffer = std::vector<std::uint8_t>;
using test::Codes;

TEST(RunLengthEncoder, RunsAndLiterals) {
  EXPECT_EQ(rle_encode(Buffer{7, 7, 7, 1, 2}), (Buffer{0x83, 7, 0x02, 1, 2}));
  EXPECT_EQ(rle_encode(Buffer{}), Buffer{});
  const Buffer long_run(300, 9);
  EXPECT_EQ(rle_encode(long_run), (Buffer{0xFF, 9, 0xFF, 9, 0xAE, 9}));
  Buffer noise(200);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i);
  const Buffer packed = rle_encode(noise);
  EXPECT_EQ(packed.size(), 202u);  // literal blocks of 127 and 73
  EXPECT_EQ(packed[0], 127);
  EXPECT_EQ(packed[128], 73);
}

TEST(LzwEncoder, WritesTheCodesTheDecoderExpects) {
  EXPECT_EQ(lzw_encode(Buffer{'A', 'A', 'A'}), Codes().put('A', 9).put(257, 9).bytes());
  EXPECT_EQ(lzw_encode(Buffer{'A', 'B'}, {{1}}),
            Codes().put('A', 9).put(256, 9).put(0, 63).put('B', 9).bytes());

  // 'A' and 255 distinct literals raise the width to 10 right before the reset.
  Buffer input{'A'};
  Codes expected;
  expected.put('A', 9);
  for (int i = 0; i < 255; ++i) {
    input.push_back(static_cast<std::uint8_t>(i));
    expected.put(static_cast<std::uint32_t>(i), 9);
  }
  input.push_back('Z');
  expected.put(256, 10).put(0, 70).put('Z', 9);
  EXPECT_EQ(lzw_encode(input, {{256}}), expected.bytes());
}

TEST(LzwEncoder, ResetOffsetsAtTheEdges) {
  const Buffer input{'Q', 'Q', 'Q', 'Q'};
  // Offset 0 cannot hold a reset (the stream starts with a literal); one at the end is written.
  EXPECT_EQ(lzw_encode(input, {{0}}), lzw_encode(input));
  const Buffer trailing = lzw_encode(input, {{4}});
  EXPECT_GT(trailing.size(), lzw_encode(input).size());
  EXPECT_EQ(decompress_chunk(compressed_payload(2, 4, trailing)).value(), input);
}

TEST(LzwEncoder, ResetWhenFullKeepsTheWidthBelowTheCap) {
  Buffer input(50000);
  std::uint32_t x = 1;
  for (auto& b : input) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  const Buffer full = lzw_compress(input, {{}, true});
  const Buffer plain = lzw_compress(input);
  EXPECT_NE(full, plain);
  EXPECT_EQ(decompress_chunk(full).value(), input);
  EXPECT_EQ(decompress_chunk(plain).value(), input);
}

}  // namespace
}  // namespace ot::authoring
