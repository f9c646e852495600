#include "engine/gfx.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

namespace ot {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::uint8_t kPaper = 1;  // what every test layer starts as, so untouched pixels show

Layer paper() {
  Layer layer;
  layer.fill(kPaper);
  return layer;
}

// A layer whose every pixel differs from its neighbours', so misplaced copies show.
Layer pattern(std::uint32_t seed) {
  Layer layer;
  for (std::int32_t y = 0; y < kLayerHeight; ++y) {
    for (std::int32_t x = 0; x < kLayerWidth; ++x) {
      layer.at(x, y) =
          static_cast<std::uint8_t>((static_cast<std::uint32_t>(x * 7 + y * 13) + seed) | 1);
    }
  }
  return layer;
}

// Paints a small picture with its top-left corner at (x, y): '.' leaves a pixel, a hex digit
// sets that colour.
void paint(Layer& layer, std::int32_t x, std::int32_t y, std::vector<std::string_view> rows) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const char ch = rows[r][c];
      if (ch == '.') continue;
      const int v = ch <= '9' ? ch - '0' : ch - 'a' + 10;
      layer.at(x + static_cast<std::int32_t>(c), y + static_cast<std::int32_t>(r)) =
          static_cast<std::uint8_t>(v);
    }
  }
}

Layer paper_with(std::int32_t x, std::int32_t y, std::vector<std::string_view> rows) {
  Layer layer = paper();
  paint(layer, x, y, std::move(rows));
  return layer;
}

::testing::AssertionResult same_picture(const Layer& actual, const Layer& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::ostringstream out;
  int differences = 0;
  for (std::int32_t y = 0; y < kLayerHeight; ++y) {
    for (std::int32_t x = 0; x < kLayerWidth; ++x) {
      if (actual.at(x, y) == expected.at(x, y)) continue;
      if (++differences <= 12) {
        out << " (" << x << "," << y << ") is " << int{actual.at(x, y)} << " not "
            << int{expected.at(x, y)} << ";";
      }
    }
  }
  if (differences == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differences << " pixels differ:" << out.str();
}

constexpr ClipRect kScreen{};

// ---------------------------------------------------------------------------------------------

TEST(GfxLayer, ShapeSwapAndRoles) {
  Layer a = pattern(3);
  EXPECT_EQ(a.pixels().size(), 307200u);
  EXPECT_EQ(a.pixels()[2 * 640 + 5], a.at(5, 2));

  Layer b = paper();
  const std::uint8_t* a_data = a.data();
  swap(a, b);  // the planes change hands, nothing is copied
  EXPECT_EQ(b.data(), a_data);
  EXPECT_TRUE(same_picture(a, paper()));
  a.copy_from(b);
  EXPECT_TRUE(same_picture(a, pattern(3)));
  EXPECT_NE(a.data(), b.data());

  Layers layers;
  const std::pair<std::int32_t, const Layer*> cases[] = {
      {0, &layers.shown}, {2, &layers.background}, {1, &layers.frame},  {7, &layers.frame},
      {3, &layers.frame}, {-1, &layers.frame},     {-2, &layers.frame}, {65535, &layers.frame}};
  for (const auto& [id, layer] : cases) EXPECT_EQ(&layers.by_id(id), layer) << "id " << id;
}

TEST(GfxClip, EffectiveClipAndReset) {
  DrawState state;
  EXPECT_EQ(effective_clip(state), (ClipRect{0, 0, 639, 479}));
  state.clip = {-10, 5, 700, 300};
  EXPECT_EQ(effective_clip(state), (ClipRect{0, 5, 639, 300}));
  state.clip_set = false;
  EXPECT_EQ(effective_clip(state), (ClipRect{0, 0, 639, 479}));

  state.foreground = 3;
  state.background = 4;
  state.once_only = true;
  state.reset();
  EXPECT_EQ(state, DrawState{});
  EXPECT_EQ(state.clip, (ClipRect{0, 0, 639, 479}));
  EXPECT_TRUE(state.clip_set);
  EXPECT_EQ(state.foreground, 15);
  EXPECT_EQ(state.background, 15);
  EXPECT_FALSE(state.once_only);
}

TEST(GfxPlot, OnlyInsideClipAndScreen) {
  using Points = std::vector<std::pair<std::int32_t, std::int32_t>>;
  const ClipRect clip{10, 10, 20, 20};
  const ClipRect everything{kMin, kMin, kMax, kMax};
  Layer layer = paper();
  for (auto [x, y] : Points{{9, 10}, {21, 15}, {15, 9}, {15, 21}}) plot(layer, x, y, 5, clip);
  for (auto [x, y] : Points{{-1, 0}, {640, 0}, {0, -1}, {0, 480}, {kMin, kMax}, {kMax, kMin}}) {
    plot(layer, x, y, 5, everything);
  }
  EXPECT_TRUE(same_picture(layer, paper()));
  plot(layer, 10, 20, 5, clip);
  plot(layer, 639, 479, 6, everything);
  Layer expected = paper();
  expected.at(10, 20) = 5;
  expected.at(639, 479) = 6;
  EXPECT_TRUE(same_picture(layer, expected));
}

// ---------------------------------------------------------------------------------------------

struct LineCase {
  const char* name;
  std::int32_t x1, y1, x2, y2;
  ClipRect clip;
  std::vector<std::pair<std::int32_t, std::int32_t>> pixels;
};

TEST(GfxLine, PixelExact) {
  const LineCase cases[] = {
      {"end point not drawn", 10, 10, 13, 10, kScreen, {{10, 10}, {11, 10}, {12, 10}}},
      {"point to itself", 10, 10, 10, 10, kScreen, {}},
      {"backwards", 13, 10, 10, 10, kScreen, {{13, 10}, {12, 10}, {11, 10}}},
      {"vertical", 4, 7, 4, 4, kScreen, {{4, 7}, {4, 6}, {4, 5}}},
      {"diagonal", 0, 0, 3, 3, kScreen, {{0, 0}, {1, 1}, {2, 2}}},
      {"shallow", 0, 0, 5, 2, kScreen, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {"shallow backwards", 5, 2, 0, 0, kScreen, {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {"steep", 0, 0, 2, 5, kScreen, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
      {"one step", 7, 7, 8, 8, kScreen, {{7, 7}}},
      {"clipped", 0, 0, 5, 2, {2, 0, 3, 479}, {{2, 1}, {3, 1}}},
      {"from off screen", -3, 479, 3, 479, kScreen, {{0, 479}, {1, 479}, {2, 479}}},
      {"inverted clip", 0, 0, 5, 0, {4, 0, 1, 479}, {}},
  };
  for (const auto& c : cases) {
    Layer layer = paper();
    draw_line(layer, c.x1, c.y1, c.x2, c.y2, 6, c.clip);
    Layer expected = paper();
    for (auto [x, y] : c.pixels) expected.at(x, y) = 6;
    EXPECT_TRUE(same_picture(layer, expected)) << c.name;
  }
}

// The error-term walk exactly as written, one step at a time.
void walked_line(Layer& layer, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                 std::uint8_t colour, const ClipRect& clip) {
  if (x1 == x2 && y1 == y2) return;
  const std::int64_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const std::int64_t sx = (x2 > x1) - (x2 < x1), sy = (y2 > y1) - (y2 < y1);
  std::int64_t err = dx - dy, x = x1, y = y1;
  do {
    plot(layer, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), colour, clip);
    const std::int64_t e2 = 2 * err;
    if (e2 >= -dy) {
      x += sx;
      err -= dy;
    }
    if (e2 <= dx) {
      y += sy;
      err += dx;
    }
  } while (x != x2 || y != y2);
}

TEST(GfxLine, MatchesTheStepwiseWalk) {
  std::mt19937 rng(0x1234);
  const auto in = [&](std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
  };
  Layer drawn, walked;
  for (int i = 0; i < 3000; ++i) {
    // Mostly lines near the screen; every tenth one long, far outside at both ends.
    const std::int32_t span = i % 10 == 0 ? 40000 : 60;
    const std::int32_t x1 = in(-span, 639 + span), y1 = in(-span, 479 + span);
    const std::int32_t x2 = in(-span, 639 + span), y2 = in(-span, 479 + span);
    const ClipRect clip =
        i % 3 == 0 ? kScreen : ClipRect{in(-20, 400), in(-20, 300), in(200, 660), in(150, 500)};
    drawn.fill(kPaper);
    walked.fill(kPaper);
    draw_line(drawn, x1, y1, x2, y2, 9, clip);
    walked_line(walked, x1, y1, x2, y2, 9, clip);
    ASSERT_TRUE(same_picture(drawn, walked))
        << "(" << x1 << "," << y1 << ") to (" << x2 << "," << y2 << ") clip " << clip.x0 << ","
        << clip.y0 << "," << clip.x1 << "," << clip.y1;
  }
}

TEST(GfxLine, ExtremeEndsDrawOnlyTheVisiblePart) {
  Layer layer = paper();
  draw_line(layer, kMin, 5, kMax, 5, 6, kScreen);            // row 5 across the whole screen
  draw_line(layer, kMin, kMin, kMax, kMax, 7, kScreen);      // through (0, 0) at 45 degrees
  draw_line(layer, kMax, kMin, kMax - 1, kMax, 8, kScreen);  // nowhere near the screen
  draw_line(layer, kMin, kMax, kMax, kMax, 8, kScreen);
  Layer expected = paper();
  for (std::int32_t x = 0; x < 640; ++x) expected.at(x, 5) = 6;
  for (std::int32_t i = 0; i < 480; ++i) expected.at(i, i) = 7;
  EXPECT_TRUE(same_picture(layer, expected));
}

// ---------------------------------------------------------------------------------------------

struct BoxCase {
  const char* name;
  std::int32_t x, y, w, h;
  ClipRect clip;
  std::vector<std::string_view> box;      // draw_box with border 9, fill 4, painted at (0, 0)
  std::vector<std::string_view> outline;  // the same with draw_outline in colour 9
};

TEST(GfxBox, BorderFillAndClipCuts) {
  const BoxCase cases[] = {
      {"1x1", 2, 1, 1, 1, kScreen, {"...", "..9"}, {"...", "..9"}},
      {"3x3", 0, 0, 3, 3, kScreen, {"999", "949", "999"}, {"999", "9.9", "999"}},
      {"1 row", 1, 0, 4, 1, kScreen, {".9999"}, {".9999"}},
      {"1 column", 0, 0, 1, 3, kScreen, {"9", "9", "9"}, {"9", "9", "9"}},
      {"2x2", 0, 0, 2, 2, kScreen, {"99", "99"}, {"99", "99"}},
      // The clip cuts away the left border: no new border along the cut.
      {"clip cuts left",
       0,
       0,
       6,
       4,
       {3, 0, 639, 479},
       {"...999", "...449", "...449", "...999"},
       {"...999", ".....9", ".....9", "...999"}},
      {"clip cuts right and bottom",
       0,
       0,
       5,
       4,
       {0, 0, 2, 2},
       {"999", "944", "944"},
       {"999", "9..", "9.."}},
      {"off screen left and top",
       -2,
       -1,
       5,
       4,
       kScreen,
       {"449", "449", "999"},
       {"..9", "..9", "999"}},
      {"zero width", 0, 0, 0, 3, kScreen, {}, {}},
      {"zero height", 0, 0, 3, 0, kScreen, {}, {}},
      {"negative size", 5, 5, -3, -3, kScreen, {}, {}},
      {"right of screen", 640, 0, 5, 5, kScreen, {}, {}},
      {"sum overflows", kMax, kMax, kMax, kMax, kScreen, {}, {}},
      {"ends left of screen", kMin, 0, kMax, 3, kScreen, {}, {}},  // right edge x = -2
      {"inside an empty clip", 0, 0, 5, 5, {3, 3, 2, 2}, {}, {}},
  };
  for (const auto& c : cases) {
    Layer box = paper(), outline = paper();
    draw_box(box, c.x, c.y, c.w, c.h, 9, 4, c.clip);
    draw_outline(outline, c.x, c.y, c.w, c.h, 9, c.clip);
    EXPECT_TRUE(same_picture(box, paper_with(0, 0, c.box))) << c.name;
    EXPECT_TRUE(same_picture(outline, paper_with(0, 0, c.outline))) << c.name << " (outline)";
  }
}

TEST(GfxBox, WiderThanTheScreen) {
  Layer layer = paper();
  draw_box(layer, -100, 10, kMax, 3, 9, 4, kScreen);
  Layer expected = paper();
  for (std::int32_t x = 0; x < 640; ++x) {
    expected.at(x, 10) = 9;
    expected.at(x, 11) = 4;
    expected.at(x, 12) = 9;
  }
  EXPECT_TRUE(same_picture(layer, expected));
}

// ---------------------------------------------------------------------------------------------

const std::vector<std::string_view> kDisc8 = {
    "..9999..",  //
    ".944449.",  //
    "94444449",  //
    "94444449",  //
    "94444449",  //
    "94444449",  //
    ".944449.",  //
    "..9999..",
};

TEST(GfxDisc, RimAndFill) {
  Layer layer = paper();
  draw_disc(layer, 20, 30, 8, 9, 4, kScreen);
  EXPECT_TRUE(same_picture(layer, paper_with(20, 30, kDisc8)));

  Layer four = paper(), five = paper();
  draw_disc(four, 3, 3, 4, 9, 4, kScreen);
  draw_disc(five, 3, 3, 5, 9, 4, kScreen);
  EXPECT_TRUE(same_picture(four, paper_with(3, 3, {".99.", "9449", "9449", ".99."})));
  EXPECT_TRUE(same_picture(five, four));

  Layer two = paper();
  draw_disc(two, 0, 0, 2, 9, 4, kScreen);
  EXPECT_TRUE(same_picture(two, paper_with(0, 0, {"99", "99"})));
}

TEST(GfxDisc, CutsShowNoRim) {
  // Cut through the middle by the clip, and by the screen's left and top edges.
  Layer clipped = paper();
  draw_disc(clipped, 20, 30, 8, 9, 4, {24, 0, 639, 479});
  EXPECT_TRUE(same_picture(
      clipped,
      paper_with(24, 30, {"99..", "449.", "4449", "4449", "4449", "4449", "449.", "99.."})));
  Layer corner = paper();
  draw_disc(corner, -4, -4, 8, 9, 4, kScreen);
  EXPECT_TRUE(same_picture(corner, paper_with(0, 0, {"4449", "4449", "449.", "99.."})));
}

TEST(GfxDisc, DegenerateAndHugeSizes) {
  Layer layer = paper();
  for (const std::int32_t d : {1, 0, -1, -4, kMin}) draw_disc(layer, 10, 10, d, 9, 4, kScreen);
  draw_disc(layer, 640, 0, 8, 9, 4, kScreen);
  draw_disc(layer, kMax, kMax, kMax, 9, 4, kScreen);
  draw_disc(layer, kMin, kMin, 8, 9, 4, kScreen);
  EXPECT_TRUE(same_picture(layer, paper()));

  // A disc far bigger than the screen, centred on it, covers it with fill and finishes promptly.
  draw_disc(layer, -100000, -100080, 200640, 9, 4, kScreen);
  Layer expected;
  expected.fill(4);
  EXPECT_TRUE(same_picture(layer, expected));
}

// ---------------------------------------------------------------------------------------------

struct BlitCase {
  const char* name;
  Sprite sprite;
  std::int32_t x, y;
  std::uint32_t flags;
  ClipRect clip;
  std::vector<std::string_view> picture;  // painted at (0, 0)
};

TEST(GfxBlit, FlipsClipsAndTransparency) {
  const Sprite s{3, 2, {1, 2, 3, 4, 5, 0}};
  const Sprite row8{8, 1, {1, 2, 3, 4, 5, 6, 7, 8}};
  const BlitCase cases[] = {
      {"mirrored pair", {2, 1, {7, 0}}, 0, 0, 2, kScreen, {".7"}},
      {"plain", s, 1, 1, 0, kScreen, {"....", ".123", ".45."}},
      {"upside down", s, 1, 1, 1, kScreen, {"....", ".45.", ".123"}},
      {"mirrored", s, 1, 1, 2, kScreen, {"....", ".321", "..54"}},
      {"both", s, 1, 1, 3, kScreen, {"....", "..54", ".321"}},
      {"higher flag bits ignored", s, 1, 1, 0xFFFFFFF4u, kScreen, {"....", ".123", ".45."}},
      {"left of screen", row8, -5, 0, 0, kScreen, {"678"}},
      {"left of screen mirrored", row8, -5, 0, 2, kScreen, {"321"}},
      {"clip right and bottom", s, 0, 0, 1, {0, 0, 1, 0}, {"45"}},
      {"clip left mirrored", s, 0, 0, 2, {1, 0, 639, 479}, {".21", ".54"}},
      {"above screen upside down", s, 0, -1, 1, kScreen, {"123"}},
      {"right of screen", s, 640, 0, 0, kScreen, {}},
      {"just left of screen", s, -3, 0, 0, kScreen, {}},
      {"below screen", s, 0, 480, 0, kScreen, {}},
      {"just above screen", s, 0, -2, 0, kScreen, {}},
      {"far away", s, kMax, kMin, 3, kScreen, {}},
      {"far left", s, kMin, 0, 3, kScreen, {}},
      {"empty clip", s, 0, 0, 0, {2, 0, 1, 479}, {}},
      {"pixels missing", {3, 2, {1, 2, 3, 4, 5}}, 0, 0, 0, kScreen, {}},
      {"negative width", {-3, 2, {1, 2, 3, 4, 5, 6}}, 0, 0, 0, kScreen, {}},
      {"size overflows", {kMax, kMax, {1, 2, 3, 4}}, 0, 0, 0, kScreen, {}},
      {"empty sprite", {}, 0, 0, 0, kScreen, {}},
  };
  for (const auto& c : cases) {
    Layer layer = paper();
    blit(layer, c.sprite, c.x, c.y, c.flags, c.clip);
    EXPECT_TRUE(same_picture(layer, paper_with(0, 0, c.picture))) << c.name;
  }
}

TEST(GfxBlit, TouchesOnlyTheClippedRectangle) {
  Sprite big{700, 500, std::vector<std::uint8_t>(700 * 500, 3)};
  for (std::size_t i = 0; i < big.pixels.size(); i += 7) big.pixels[i] = 0;
  Layer layer = paper();
  blit(layer, big, -30, -10, 3, {100, 50, 200, 60});
  Layer expected = paper();
  for (std::int32_t y = 50; y <= 60; ++y) {
    for (std::int32_t x = 100; x <= 200; ++x) {
      // Upside down and mirrored: source (699 - (x + 30), 499 - (y + 10)).
      const auto i = static_cast<std::size_t>((489 - y) * 700 + (669 - x));
      if (big.pixels[i] != 0) expected.at(x, y) = 3;
    }
  }
  EXPECT_TRUE(same_picture(layer, expected));
}

// ---------------------------------------------------------------------------------------------

TEST(GfxZone, SaveAndRestore) {
  Layer frame = pattern(5);
  std::optional<SavedZone> zone;
  save_zone(frame, 10, 20, 3, 2, zone);
  ASSERT_TRUE(zone.has_value());
  EXPECT_EQ(zone->rect, (ClipRect{10, 20, 12, 21}));
  EXPECT_EQ(zone->bytes,
            (std::vector<std::uint8_t>{frame.at(10, 20), frame.at(11, 20), frame.at(12, 20),
                                       frame.at(10, 21), frame.at(11, 21), frame.at(12, 21)}));
  frame.fill(0);
  restore_zone(frame, 500, 400, 1, 1, zone);  // the command's own rectangle only passes the guard
  Layer expected;
  for (std::int32_t y = 20; y <= 21; ++y) {
    for (std::int32_t x = 10; x <= 12; ++x) expected.at(x, y) = pattern(5).at(x, y);
  }
  EXPECT_TRUE(same_picture(frame, expected));
}

TEST(GfxZone, PartlyOffScreenKeepsTheRectangleAsComputed) {
  const Layer source = pattern(9);
  std::optional<SavedZone> zone;
  save_zone(source, -2, -1, 4, 3, zone);
  ASSERT_TRUE(zone.has_value());
  EXPECT_EQ(zone->rect, (ClipRect{-2, -1, 1, 1}));
  EXPECT_EQ(zone->bytes, (std::vector<std::uint8_t>{source.at(0, 0), source.at(1, 0),
                                                    source.at(0, 1), source.at(1, 1)}));
  Layer frame = paper();
  restore_zone(frame, 0, 0, 1, 1, zone);
  Layer expected = paper();
  for (auto [x, y] :
       std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
    expected.at(x, y) = source.at(x, y);
  }
  EXPECT_TRUE(same_picture(frame, expected));

  // Wholly above the screen: the zone is replaced by an empty one, whose restore draws nothing.
  save_zone(source, 0, -10, 5, 3, zone);
  ASSERT_TRUE(zone.has_value());
  EXPECT_EQ(zone->rect, (ClipRect{0, -10, 4, -8}));
  EXPECT_TRUE(zone->bytes.empty());
  restore_zone(frame, 0, 0, 1, 1, zone);
  EXPECT_TRUE(same_picture(frame, expected));
}

TEST(GfxZone, GuardKeepsThePreviousZone) {
  struct Rect {
    std::int32_t x, y, w, h;
  };
  const Rect rejected[] = {
      {600, 0, 41, 1},         {0, 470, 1, 11}, {0, 0, 0, 5},    {0, 0, 5, 0},
      {0, 0, -1, 5},           {kMax, 0, 1, 1}, {0, kMax, 1, 1}, {kMax, kMax, kMax, kMax},
      {kMin, kMin, kMin, kMin}};
  const Layer first = pattern(1);
  std::optional<SavedZone> zone;
  save_zone(first, 630, 470, 10, 10, zone);  // x + w = 640, y + h = 480 still pass
  ASSERT_TRUE(zone.has_value());
  const SavedZone previous = *zone;
  EXPECT_EQ(previous.bytes.size(), 100u);

  for (const auto& r : rejected) {
    save_zone(pattern(2), r.x, r.y, r.w, r.h, zone);
    EXPECT_EQ(zone, previous) << r.x << "," << r.y << "," << r.w << "," << r.h;
    Layer frame = paper();
    restore_zone(frame, r.x, r.y, r.w, r.h, zone);
    EXPECT_TRUE(same_picture(frame, paper())) << r.x << "," << r.y << "," << r.w << "," << r.h;
  }
  Layer frame = paper();
  restore_zone(frame, 0, 0, 1, 1, zone);  // the previous zone comes back
  Layer expected = paper();
  copy_zone(first, expected, 630, 470, 10, 10);
  EXPECT_TRUE(same_picture(frame, expected));
}

TEST(GfxZone, RestoreWritesOnlyWholeRowsItHolds) {
  Layer frame = paper();
  restore_zone(frame, 0, 0, 1, 1, std::nullopt);
  EXPECT_TRUE(same_picture(frame, paper()));

  // Seven bytes for a 3 x 3 rectangle: two whole rows.
  restore_zone(frame, 0, 0, 1, 1, SavedZone{{4, 5, 6, 7}, {2, 3, 4, 5, 6, 7, 8}});
  // A zone reaching past the screen is written where it is on screen, from its first bytes.
  restore_zone(frame, 0, 0, 1, 1, SavedZone{{638, 478, 641, 481}, {9, 10, 11, 12, 13, 14}});
  // An inverted rectangle writes nothing.
  restore_zone(frame, 0, 0, 1, 1, SavedZone{{5, 5, 4, 4}, {9, 9, 9}});
  Layer expected = paper_with(4, 5, {"234", "567"});
  paint(expected, 638, 478, {"9a", "bc"});
  EXPECT_TRUE(same_picture(frame, expected));
}

// ---------------------------------------------------------------------------------------------

TEST(GfxCopyZone, RowsLimitedToTheScreen) {
  const Layer source = pattern(4);
  Layer destination = paper();
  copy_zone(source, destination, -3, 470, 10, 20);    // columns 0..6, rows 470..479
  copy_zone(source, destination, 600, 100, kMax, 1);  // row 100 from 600 to the right edge
  Layer expected = paper();
  for (std::int32_t y = 470; y < 480; ++y) {
    for (std::int32_t x = 0; x <= 6; ++x) expected.at(x, y) = source.at(x, y);
  }
  for (std::int32_t x = 600; x < 640; ++x) expected.at(x, 100) = source.at(x, 100);
  EXPECT_TRUE(same_picture(destination, expected));

  Layer untouched = paper();
  for (auto [x, y, w, h] : std::vector<std::array<std::int32_t, 4>>{{0, 0, 0, 5},
                                                                    {0, 0, 5, -1},
                                                                    {640, 0, 5, 5},
                                                                    {0, 480, 5, 5},
                                                                    {-5, 0, 5, 5},
                                                                    {kMax, kMax, kMax, kMax},
                                                                    {kMin, 0, kMax, 5},
                                                                    {kMin, kMin, kMin, kMin}}) {
    copy_zone(source, untouched, x, y, w, h);
  }
  EXPECT_TRUE(same_picture(untouched, paper()));
}

TEST(GfxCopyZone, BetweenTheEngineLayers) {
  Layers layers;
  layers.shown = pattern(6);
  layers.frame = paper();
  copy_zone(layers.by_id(0), layers.by_id(1), 10, 10, 2, 1);  // last frame into the frame
  Layer expected = paper();
  expected.at(10, 10) = layers.shown.at(10, 10);
  expected.at(11, 10) = layers.shown.at(11, 10);
  EXPECT_TRUE(same_picture(layers.frame, expected));
  copy_zone(layers.by_id(1), layers.by_id(7), 0, 0, 640, 480);  // both are the frame
  EXPECT_TRUE(same_picture(layers.frame, expected));
}

// ---------------------------------------------------------------------------------------------

TEST(GfxPasteScreen, CopiesTheTopLeftOnly) {
  ScreenImage small{320, 200, std::vector<std::uint8_t>(320 * 200)};
  for (std::size_t i = 0; i < small.pixels.size(); ++i)
    small.pixels[i] = static_cast<std::uint8_t>(i % 251 + 2);
  Layer layer = paper();
  paste_screen(layer, small);
  Layer expected = paper();
  for (std::int32_t y = 0; y < 200; ++y) {
    for (std::int32_t x = 0; x < 320; ++x) {
      expected.at(x, y) = small.pixels[static_cast<std::size_t>(y * 320 + x)];
    }
  }
  EXPECT_TRUE(same_picture(layer, expected));

  ScreenImage big{641, 481, std::vector<std::uint8_t>(641 * 481)};
  for (std::size_t i = 0; i < big.pixels.size(); ++i)
    big.pixels[i] = static_cast<std::uint8_t>(i % 253);
  paste_screen(layer, big);
  for (std::int32_t y = 0; y < 480; ++y) {
    for (std::int32_t x = 0; x < 640; ++x) {
      expected.at(x, y) = big.pixels[static_cast<std::size_t>(y * 641 + x)];
    }
  }
  EXPECT_TRUE(same_picture(layer, expected));
}

TEST(GfxPasteScreen, ShortOrEmptyImages) {
  Layer layer = paper();
  paste_screen(layer, ScreenImage{});
  paste_screen(layer, ScreenImage{-4, 2, {5, 5, 5, 5, 5, 5, 5, 5}});
  paste_screen(layer, ScreenImage{4, kMax, {}});
  EXPECT_TRUE(same_picture(layer, paper()));
  paste_screen(layer, ScreenImage{3, 3, {2, 3, 4, 5, 6}});  // fewer bytes than it claims
  EXPECT_TRUE(same_picture(layer, paper_with(0, 0, {"234", "56"})));
}

// ---------------------------------------------------------------------------------------------

TEST(GfxOrigin, WhichArgumentsMove) {
  const OriginArgs none{}, first{0b0001, 0b0010}, both{0b0101, 0b1010};
  const std::pair<std::uint16_t, OriginArgs> cases[] = {
      {0xA0A4, both},  {0x4004, both},  {0x4204, first}, {0xA002, first}, {0xA104, first},
      {0xA114, first}, {0xA404, first}, {0xA424, first}, {0xA504, first}, {0xA534, first},
      {0xA054, first}, {0xA064, first}, {0xA000, first}, {0xAFFF, first}, {0xA601, none},
      {0xAF1F, none},  {0xAF2F, none},  {0xB606, none},  {0x2002, none},  {0xF01F, none},
      {0x4214, none},  {0x0000, none},  {0x9FFF, none},
  };
  for (const auto& [opcode, expected] : cases) {
    EXPECT_EQ(origin_arguments(opcode), expected) << std::hex << opcode;
  }
}

TEST(GfxOrigin, ApplyAddsAndSaturates) {
  std::vector<std::int32_t> args = {1, 2, 3, 4, 5, 6};
  apply_origin(0xA0A4, args, {100, 1000});
  EXPECT_EQ(args, (std::vector<std::int32_t>{101, 1002, 103, 1004, 5, 6}));

  args = {kMax - 1, kMin + 1};
  apply_origin(0xA002, args, {5, -5});
  EXPECT_EQ(args, (std::vector<std::int32_t>{kMax, kMin}));

  args = {7};  // a short argument list only gets what it has
  apply_origin(0x4004, args, {3, 4});
  EXPECT_EQ(args, (std::vector<std::int32_t>{10}));

  args = {1, 2, 3, 4, 5, 6};
  apply_origin(0xB606, args, {100, 1000});
  EXPECT_EQ(args, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace ot
