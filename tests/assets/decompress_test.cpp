#include "assets/decompress.h"

#include <gtest/gtest.h>

#include "support/printers.h"

#include <random>

#include "authoring/compress.h"
#include "support/codes.h"

namespace ot {
namespace {

using Buffer = std::vector<std::uint8_t>;

Buffer payload(std::uint8_t method, std::uint32_t unpacked, Buffer data) {
  return authoring::compressed_payload(method, unpacked, data);
}

Result<Buffer> unpack(std::uint8_t method, std::uint32_t unpacked, Buffer data) {
  return decompress_chunk(payload(method, unpacked, std::move(data)));
}

using test::Codes;

TEST(Decompress, HeaderChecks) {
  const struct {
    Buffer payload;
    std::string detail;
  } cases[] = {
      {{}, "compressed chunk too small"},
      {{1, 0, 0, 0}, "compressed chunk too small"},
      {{0, 0, 0, 0, 0}, "unknown compression method 0"},
      {{3, 1, 0, 0, 0, 9}, "unknown compression method 3"},
      {{255, 1, 0, 0, 1}, "decompressed size too large"},  // size is checked before the method
      {payload(1, 0x1000001, {}), "decompressed size too large"},
      {payload(2, 1, {}), "decompressed size mismatch"},
      {payload(1, 1, {}), "decompressed size mismatch"},
  };
  for (const auto& c : cases) {
    auto r = decompress_chunk(c.payload);
    ASSERT_FALSE(r) << c.detail;
    EXPECT_EQ(r.error(), DataError::invalid(c.detail));
  }
  EXPECT_EQ(unpack(1, 0, {}).value(), Buffer{});
  EXPECT_EQ(unpack(2, 0, {}).value(), Buffer{});
  EXPECT_EQ(unpack(2, 0, {0x41, 0x00}).value(), Buffer{});  // a decoded byte is cut away
}

TEST(Decompress, LargestSizeIsAccepted) {
  auto r = unpack(1, 0x1000000, {});
  EXPECT_EQ(r.error(), DataError::invalid("decompressed size mismatch"));  // got past the cap
  Buffer runs;
  for (std::size_t n = 0; n < 0x1000000; n += 127) runs.insert(runs.end(), {0xFF, 0x5A});
  auto full = unpack(1, 0x1000000, runs);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->size(), 0x1000000u);
  EXPECT_EQ(full->back(), 0x5A);
}

TEST(Decompress, RunLength) {
  const struct {
    Buffer data;
    std::uint32_t unpacked;
    Buffer expected;  // empty with unpacked > 0: size mismatch
  } cases[] = {
      {{0x83, 0x07}, 3, {7, 7, 7}},
      {{0x83, 0x07}, 2, {7, 7}},                                // cut to U
      {{0x02, 0x41}, 2, {}},                                    // the literal is short of data
      {{0x01, 0x41, 0x85}, 6, {0x41, 0, 0, 0, 0, 0}},           // a run without its fill byte
      {{0x80, 0x09, 0x00, 0x02, 0x31, 0x32}, 2, {0x31, 0x32}},  // empty run and empty literal
      {{0x03, 0x12, 0x34, 0x56, 0x82, 0xAB}, 5, {0x12, 0x34, 0x56, 0xAB, 0xAB}},
  };
  for (const auto& c : cases) {
    auto r = unpack(1, c.unpacked, c.data);
    if (c.expected.empty()) {
      EXPECT_EQ(r.error(), DataError::invalid("decompressed size mismatch"));
    } else {
      EXPECT_EQ(r.value(), c.expected);
    }
  }
}

TEST(Decompress, LzwHandMadeStreams) {
  const Buffer A{'A'}, AAA{'A', 'A', 'A'};
  EXPECT_EQ(unpack(2, 3, Codes().put(65, 9).put(257, 9).bytes()).value(), AAA);  // code == next
  EXPECT_EQ(unpack(2, 3, {0x41, 0x02, 0x02}).value(), AAA);                      // the same bytes
  EXPECT_EQ(unpack(2, 0, Codes().put(256, 9).bytes()).value(), Buffer{});        // bad first code
  EXPECT_FALSE(unpack(2, 1, Codes().put(300, 9).bytes()));
  EXPECT_FALSE(unpack(2, 1, {0x41}));  // fewer than 2 bytes
  // A code above `next` ends decoding: what came before stays.
  EXPECT_EQ(unpack(2, 1, Codes().put('A', 9).put(258, 9).put('B', 9).bytes()).value(), A);
  EXPECT_FALSE(unpack(2, 2, Codes().put('A', 9).put(258, 9).put('B', 9).bytes()));
  // Extra codes after U bytes are not looked at.
  EXPECT_EQ(unpack(2, 1, Codes().put('A', 9).put(0x1FF, 9).bytes()).value(), A);
}

TEST(Decompress, LzwResetAlignmentAndNext) {
  // 'A', reset (9 bits read since the first code: 63 bits of padding), then 'B' and 257.
  // After a reset `next` is 256, so 'B' defines 256 and 257 is the undefined code: "BB".
  const Buffer stream = Codes().put('A', 9).put(256, 9).put(0, 63).put('B', 9).put(257, 9).bytes();
  EXPECT_EQ(unpack(2, 4, stream).value(), (Buffer{'A', 'B', 'B', 'B'}));

  // Alignment counts from the last width increase: 'A' and 255 more literals bring `next` to
  // 512 and the width to 10; the reset read then is 10 bits, followed by 70 bits of padding.
  Codes grown;
  Buffer expected{'A'};
  grown.put('A', 9);
  for (int i = 0; i < 255; ++i) {
    grown.put(static_cast<std::uint32_t>(i), 9);
    expected.push_back(static_cast<std::uint8_t>(i));
  }
  grown.put(256, 10).put(0, 70).put('Z', 9);
  expected.push_back('Z');
  EXPECT_EQ(unpack(2, static_cast<std::uint32_t>(expected.size()), grown.bytes()).value(),
            expected);

  // Data that ends inside the padding: skipping goes in steps of 16 bits and stops before a step
  // the data cannot supply; the 14 bits left hold one more 9-bit code.
  const Buffer short_pad = Codes().put('A', 9).put(256, 9).put(0, 48).put('C', 9).bytes(10);
  ASSERT_EQ(short_pad.size(), 10u);
  EXPECT_EQ(unpack(2, 2, short_pad).value(), (Buffer{'A', 'C'}));
  EXPECT_EQ(unpack(2, 1, Codes().put('A', 9).put(256, 9).bytes()).value(), Buffer{'A'});
}

Buffer sample(std::mt19937& rng, std::size_t size) {
  // Picture-like bytes: runs, repeats of earlier stretches and noise, so that long strings,
  // full tables and the undefined-code case all occur.
  Buffer out;
  out.reserve(size);
  std::uniform_int_distribution<int> kind(0, 9), byte(0, 255), small(0, 3), len(1, 300);
  while (out.size() < size) {
    const int k = kind(rng);
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(len(rng)), size - out.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (k < 3) {
        out.push_back(static_cast<std::uint8_t>(byte(rng)));
      } else if (k < 6) {
        out.push_back(static_cast<std::uint8_t>(small(rng)));
      } else if (k < 8 && out.size() > 1000) {
        out.push_back(out[out.size() - 1000]);
      } else {
        out.push_back(0x41);
      }
    }
  }
  return out;
}

TEST(Decompress, RandomRoundTrips) {
  std::mt19937 rng(0x1234);
  const std::size_t sizes[] = {0, 1, 2, 3, 17, 255, 256, 4097, 30000, 100000};
  for (std::size_t size : sizes) {
    const Buffer input = sample(rng, size);
    EXPECT_EQ(decompress_chunk(authoring::rle_compress(input)).value(), input) << "rle " << size;
    EXPECT_EQ(decompress_chunk(authoring::lzw_compress(input)).value(), input) << "lzw " << size;
    authoring::LzwOptions resets;
    std::uniform_int_distribution<std::size_t> at(0, size + 1);
    for (int i = 0; i < 6; ++i) resets.reset_at.push_back(at(rng));
    resets.reset_at.push_back(size / 2);
    resets.reset_at.push_back(size / 2);  // two in a row
    EXPECT_EQ(decompress_chunk(authoring::lzw_compress(input, resets)).value(), input)
        << "resets " << size;
    EXPECT_EQ(decompress_chunk(authoring::lzw_compress(input, {{}, true})).value(), input)
        << "full " << size;
  }
}

TEST(Decompress, ByteUniformDataFillsTheTableWithoutResets) {
  // 20,000 distinct-ish strings overflow 4,096 codes; the table then stays full at 12 bits.
  std::mt19937 rng(99);
  Buffer input(20000);
  for (auto& b : input) b = static_cast<std::uint8_t>(rng());
  EXPECT_EQ(decompress_chunk(authoring::lzw_compress(input)).value(), input);
}

}  // namespace
}  // namespace ot
