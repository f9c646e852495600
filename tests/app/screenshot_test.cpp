#include "app/screenshot.h"

#include <gtest/gtest.h>

#include "present/present.h"
#include "support/png_reader.h"
#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

Palette test_palette() {
  Palette p;
  for (std::size_t i = 0; i < 256; ++i) {
    p.colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                    static_cast<std::uint8_t>(i * 7)};
  }
  return p;
}

std::vector<std::uint8_t> dithered_layer() {
  std::vector<std::uint8_t> layer(640 * 480);
  for (std::size_t y = 0; y < 480; ++y) {
    for (std::size_t x = 0; x < 640; ++x)
      layer[y * 640 + x] = static_cast<std::uint8_t>(y < 240 ? 1 + (x + y) % 2 : x / 40);
  }
  return layer;
}

TEST(Screenshot, Stems) {
  EXPECT_EQ(screenshot_stem({2025, 1, 2, 3, 4}, 0), "screenshot-20250102-0304-0");
  EXPECT_EQ(screenshot_stem({2024, 3, 5, 7, 9}, 1234), "screenshot-20240305-0709-1234");
  EXPECT_EQ(screenshot_stem({999, 12, 31, 23, 59}, 18446744073709551615ull),
            "screenshot-09991231-2359-18446744073709551615");
}

TEST(Screenshot, WritesRawAndViewFiles) {
  TempDir dir;
  const auto layer = dithered_layer();
  const Palette palette = test_palette();
  const std::string stem = (dir / "screenshot-20250102-0304-7").string();

  testing::internal::CaptureStderr();
  save_screenshot(dir.path(), layer, palette, false, {2025, 1, 2, 3, 4}, 7);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "saved " + stem + "-raw.png\nsaved " + stem + "-view.png\n");
  const auto raw = test::read_file(stem + "-raw.png");
  const auto view = test::read_file(stem + "-view.png");
  ASSERT_EQ(raw.size(), 922218u);
  EXPECT_EQ(raw, view);  // no dedithering: the same picture
  EXPECT_EQ(std::vector<std::uint8_t>(raw.begin() + 41, raw.begin() + 48),
            (std::vector<std::uint8_t>{0x78, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
  const auto decoded = test::decode_png(raw);
  ASSERT_TRUE(decoded);
  const Colour c = palette.colours[layer[640 * 300 + 123]];
  EXPECT_EQ(decoded->rgba[4 * (640 * 300 + 123)], c.r);
  EXPECT_EQ(decoded->rgba[4 * (640 * 300 + 123) + 2], c.b);

  // With dedithering the view is the presented picture; the raw one stays the palette colours.
  testing::internal::CaptureStderr();
  save_screenshot(dir.path(), layer, palette, true, {2025, 1, 2, 3, 4}, 7);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(test::read_file(stem + "-raw.png"), raw);
  const auto dedithered = test::read_file(stem + "-view.png");
  EXPECT_NE(dedithered, raw);
  const auto view_pixels = test::decode_png(dedithered);
  const auto expected = to_colour(layer, palette, true);
  ASSERT_TRUE(view_pixels);
  for (std::size_t i = 0; i < expected.size(); i += 997) {
    EXPECT_EQ(std::uint32_t{view_pixels->rgba[4 * i]} << 16 |
                  std::uint32_t{view_pixels->rgba[4 * i + 1]} << 8 | view_pixels->rgba[4 * i + 2],
              expected[i]);
  }
}

TEST(Screenshot, UnwritableDirectoryGivesTwoWarnings) {
  TempDir dir;
  const fs::path gone = dir / "gone";
  testing::internal::CaptureStderr();
  save_screenshot(gone, dithered_layer(), test_palette(), false, {2025, 1, 2, 3, 4}, 0);
  const std::string base = (gone / "screenshot-20250102-0304-0").string();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "warning: cannot save " + base +
                "-raw.png: No such file or directory\nwarning: cannot save " + base +
                "-view.png: No such file or directory\n");
}

}  // namespace
}  // namespace ot
