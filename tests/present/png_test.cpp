#include "present/png.h"

#include <gtest/gtest.h>

#include "support/png_reader.h"

namespace ot {
namespace {

std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST(Png, ScreenshotLayoutAndStandardDecoding) {
  std::vector<std::uint32_t> image(640 * 480);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint32_t>((i * 2654435761u) & 0x00FFFFFF);
  }
  const auto png = encode_png(image);
  ASSERT_EQ(png.size(), 922218u);
  EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
  EXPECT_EQ(be32(png, 8), 13u);
  EXPECT_EQ(be32(png, 16), 640u);
  EXPECT_EQ(be32(png, 20), 480u);
  EXPECT_EQ(png[24], 8);
  EXPECT_EQ(png[25], 2);
  EXPECT_EQ(be32(png, 29), crc32(std::span(png).subspan(12, 17)));
  EXPECT_EQ(be32(png, 33), 922161u);
  const std::vector<std::uint8_t> idat_start(png.begin() + 41, png.begin() + 48);
  EXPECT_EQ(idat_start, (std::vector<std::uint8_t>{0x78, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
  // The last stored block: header byte 1, LEN 4,590 and its complement.
  const std::size_t last = 41 + 2 + 14 * (5 + 65535);
  const std::vector<std::uint8_t> last_header(png.begin() + static_cast<std::ptrdiff_t>(last),
                                              png.begin() + static_cast<std::ptrdiff_t>(last + 5));
  EXPECT_EQ(last_header, (std::vector<std::uint8_t>{0x01, 0xEE, 0x11, 0x11, 0xEE}));
  EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");

  const auto decoded = test::decode_png(png);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 640u);
  EXPECT_EQ(decoded->height, 480u);
  EXPECT_FALSE(decoded->has_alpha);
  for (std::size_t i = 0; i < image.size(); ++i) {
    const std::uint32_t got = std::uint32_t{decoded->rgba[4 * i]} << 16 |
                              std::uint32_t{decoded->rgba[4 * i + 1]} << 8 |
                              decoded->rgba[4 * i + 2];
    ASSERT_EQ(got, image[i]) << "pixel " << i;
  }
}

TEST(Png, OtherSizesAndAlpha) {
  const std::vector<std::uint8_t> rgba{1, 2, 3, 0, 10, 20, 30, 255, 200, 100, 50, 128};
  const auto png = encode_png(3, 1, PngColour::Rgba, rgba);
  const auto decoded = test::decode_png(png);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 3u);
  EXPECT_EQ(decoded->height, 1u);
  EXPECT_TRUE(decoded->has_alpha);
  EXPECT_EQ(decoded->rgba, rgba);
  EXPECT_TRUE(
      test::decode_png(encode_png(1, 1, PngColour::Rgb, std::vector<std::uint8_t>{9, 8, 7})));
}

TEST(Png, Checksums) {
  const std::string_view text = "123456789";
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  EXPECT_EQ(crc32(bytes), 0xCBF43926u);
  EXPECT_EQ(adler32(bytes), 0x091E01DEu);
  EXPECT_EQ(adler32({}), 1u);
  const std::vector<std::uint8_t> ff(100000, 0xFF);  // many runs of the deferred modulo
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : ff) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(adler32(ff), (b << 16) | a);
}

}  // namespace
}  // namespace ot
