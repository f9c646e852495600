#include "assets/bytes.h"

#include <gtest/gtest.h>

#include "support/printers.h"

#include <array>

namespace ot {
namespace {

TEST(ByteReader, ReadsLittleEndianToTheEndThenFailsWithoutMoving) {
  const std::array<std::uint8_t, 7> data{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAB};
  ByteReader r(data);
  EXPECT_EQ(r.peek<std::uint16_t>(), 0x1234);
  EXPECT_EQ(r.position(), 0u);
  EXPECT_EQ(r.read<std::uint16_t>().value(), 0x1234);
  EXPECT_EQ(r.read<std::uint32_t>().value(), 0x12345678u);
  EXPECT_EQ(r.try_read<std::uint16_t>(), std::nullopt);  // one byte left: no partial read
  EXPECT_EQ(r.position(), 6u);
  const auto short_read = r.read<std::uint16_t>();
  ASSERT_FALSE(short_read);
  EXPECT_EQ(short_read.error(), DataError::invalid("truncated data"));
  EXPECT_EQ(r.position(), 6u);
  EXPECT_EQ(r.read<std::uint8_t>().value(), 0xAB);
  EXPECT_TRUE(r.at_end());
  EXPECT_FALSE(r.skip(1));
  EXPECT_FALSE(r.read_bytes(1));
  EXPECT_TRUE(r.read_bytes(0));
}

TEST(ByteReader, SignedAndOutOfRangeOffsets) {
  const std::array<std::uint8_t, 4> data{0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(peek_le<std::int32_t>(data, 0), -1);
  EXPECT_EQ(peek_le<std::uint32_t>(data, 1), std::nullopt);
  EXPECT_EQ(peek_le<std::uint8_t>(data, 4), std::nullopt);
  EXPECT_EQ(peek_le<std::uint8_t>(data, SIZE_MAX), std::nullopt);
}

}  // namespace
}  // namespace ot
