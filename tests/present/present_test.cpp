#include "present/present.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace ot {
namespace {

using Indices = std::vector<std::uint8_t>;
using Image = std::vector<std::uint32_t>;

constexpr int kW = 640;
constexpr int kH = 480;

std::uint32_t next_random(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

// Channels chosen so that sums of two entries are often odd: rounding shows.
Palette test_palette() {
  Palette p;
  for (std::size_t i = 0; i < 256; ++i) {
    p.colours[i] =
        Colour{static_cast<std::uint8_t>(i * 37 + 11), static_cast<std::uint8_t>(i * 91 + 4),
               static_cast<std::uint8_t>(i * 53 + 7)};
  }
  return p;
}

std::uint32_t rgb(const Palette& p, int index) {
  const Colour c = p.colours[static_cast<std::size_t>(index)];
  return std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
}

std::uint32_t mean_up(const Palette& p, int a, int b) {
  const Colour x = p.colours[static_cast<std::size_t>(a)];
  const Colour y = p.colours[static_cast<std::size_t>(b)];
  const auto m = [](int u, int v) { return static_cast<std::uint32_t>((u + v + 1) / 2); };
  return m(x.r, y.r) << 16 | m(x.g, y.g) << 8 | m(x.b, y.b);
}

std::size_t at(int x, int y) {
  return static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x);
}

Indices flat_layer(std::uint8_t v) {
  return Indices(kFramePixels, v);
}

Indices random_layer(std::uint32_t seed, std::uint32_t colours) {
  Indices l(kFramePixels);
  for (auto& v : l) v = static_cast<std::uint8_t>(next_random(seed) % colours);
  return l;
}

// Bands of flat colour, checkerboards, horizontal and vertical stripes and noise, with a few
// stray pixels: roughly what a dithered frame looks like.
Indices dithered_layer(std::uint32_t seed) {
  Indices l(kFramePixels);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int band = (y / 37 + x / 91) % 5;
      const auto c = static_cast<std::uint8_t>(16 + (y / 37) % 7 * 2);
      std::uint8_t v = c;
      if (band == 1) v = static_cast<std::uint8_t>(c + (x + y) % 2);
      if (band == 2) v = static_cast<std::uint8_t>(c + x % 2);
      if (band == 3) v = static_cast<std::uint8_t>(c + y % 2);
      if (band == 4) v = static_cast<std::uint8_t>(c + next_random(seed) % 3);
      if (next_random(seed) % 50 == 0) v = static_cast<std::uint8_t>(next_random(seed));
      l[at(x, y)] = v;
    }
  }
  return l;
}

Image plain_lookup(const Indices& layer, const Palette& p) {
  Image out(kFramePixels);
  for (std::size_t i = 0; i < kFramePixels; ++i) out[i] = rgb(p, layer[i]);
  return out;
}

// The filter written straight from its rules: partner -1 means unpaired.
Image reference_dedither(const Indices& layer, const Palette& pal) {
  std::vector<int> partner(kFramePixels, -1);
  const auto P = [&](int x, int y) { return int{layer[at(x, y)]}; };
  const auto set = [&](int x, int y, int b) {
    if (partner[at(x, y)] < 0) partner[at(x, y)] = b;
  };
  for (int y = 0; y <= 478; ++y) {
    for (int x = 0; x <= 638; ++x) {
      const int a = P(x, y), b = P(x + 1, y);
      if (a != b && P(x, y + 1) == b && P(x + 1, y + 1) == a) {
        set(x, y, b);
        set(x + 1, y, a);
        set(x, y + 1, a);
        set(x + 1, y + 1, b);
      }
    }
  }
  const auto line = [](int n, auto Q, auto mark) {
    int start = 0, scan = 1;
    for (;;) {
      int pos = scan;
      while (pos < n && Q(pos) != Q(pos - 1) && (pos == 1 || Q(pos) == Q(pos - 2))) pos += 1;
      const int first = start + (start > 0 && Q(start) == Q(start - 1) ? 1 : 0);
      const int last = pos - (pos < n && Q(pos) == Q(pos - 1) ? 1 : 0);
      if (last - first >= 4 && last > first) {
        for (int k = first; k < last; ++k) mark(k, k == first ? Q(k + 1) : Q(k - 1));
      }
      if (pos >= n) return;
      start = pos - 1;
      scan = pos + 1;
    }
  };
  for (int y = 0; y < kH; ++y) {
    line(
        kW, [&](int i) { return P(i, y); }, [&](int i, int b) { set(i, y, b); });
  }
  for (int x = 0; x < kW; ++x) {
    line(
        kH, [&](int i) { return P(x, i); }, [&](int i, int b) { set(x, i, b); });
  }
  Image out(kFramePixels);
  for (std::size_t i = 0; i < kFramePixels; ++i) {
    out[i] = partner[i] < 0 ? rgb(pal, layer[i]) : mean_up(pal, layer[i], partner[i]);
  }
  return out;
}

std::uint32_t reference_blend(std::uint32_t p, std::uint32_t q, std::uint32_t w) {
  const std::uint32_t rb = (((p & 0xFF00FFu) * (256 - w) + (q & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
  const std::uint32_t g = (((p & 0xFF00u) * (256 - w) + (q & 0xFF00u) * w) >> 8) & 0xFF00u;
  return rb | g;
}

struct Tap {
  int t, u, w;
};

Tap reference_tap(int i, double s, int size) {
  const double o = (i + 0.5) / s;
  int t = o < 0 ? 0 : static_cast<int>(o);
  int u = 0;
  double distance = 0;
  if (t < size - 1) {
    const double f = o - t;
    if (f < 0.5) {
      u = t == 0 ? 0 : t - 1;
      distance = f;
    } else {
      u = t + 1;
      distance = 1 - f;
    }
  } else {
    t = size - 1;
    const double f = o - (size - 1);
    if (f < 0.5) {
      u = size - 2;
      distance = f;
    } else {
      u = size - 1;
      distance = 1 - f;
    }
  }
  return {t, u, static_cast<int>(std::clamp(0.5 - distance * s, 0.0, 0.5) * 256)};
}

// The scaler without tables or caches: every window pixel computed on its own.
Image reference_scale(const Image& image, int width, int height) {
  Image out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  const double s = std::min(width / 640.0, height / 480.0);
  const int sw = std::max(0, static_cast<int>(640 * s));
  const int sh = std::max(0, static_cast<int>(480 * s));
  if (sw == 0 || sh == 0) return out;
  const int top = (height - sh) >> 1, left = (width - sw) >> 1;
  std::vector<Tap> cols, rows;
  for (int i = 0; i < sw; ++i) cols.push_back(reference_tap(i, s, 640));
  for (int j = 0; j < sh; ++j) rows.push_back(reference_tap(j, s, 480));
  const auto across = [&](int r, int i) {
    const Tap c = cols[static_cast<std::size_t>(i)];
    const std::uint32_t p = image[at(c.t, r)];
    return c.w > 0 ? reference_blend(p, image[at(c.u, r)], static_cast<std::uint32_t>(c.w)) : p;
  };
  for (int j = 0; j < sh; ++j) {
    const Tap r = rows[static_cast<std::size_t>(j)];
    for (int i = 0; i < sw; ++i) {
      std::uint32_t v = across(r.t, i);
      if (r.w > 0) v = reference_blend(v, across(r.u, i), static_cast<std::uint32_t>(r.w));
      out[static_cast<std::size_t>(top + j) * static_cast<std::size_t>(width) +
          static_cast<std::size_t>(left + i)] = v;
    }
  }
  return out;
}

Image varied_image() {
  Image image(kFramePixels);
  std::uint32_t seed = 0x1234;
  for (auto& v : image) v = next_random(seed) & 0xFFFFFF;
  return image;
}

Image colour(const Indices& layer, bool dedither) {
  Image out(kFramePixels, 0xDEADBEEF);
  Presenter().to_colour(layer, test_palette(), dedither, out);
  return out;
}

Image scale(const Image& image, int width, int height, std::size_t span) {
  Image window(span, 0xDEADBEEF);
  Presenter().scale_into(image, window, width, height);
  return window;
}

Image scale(const Image& image, int width, int height) {
  return scale(image, width, height,
               static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

// ---- Colour conversion ----------------------------------------------------------------------

TEST(PresentColour, PlainLookupAndDeditherOffAgree) {
  const Palette pal = test_palette();
  const Indices layer = dithered_layer(7);
  const Image plain = colour(layer, false);
  EXPECT_EQ(plain, plain_lookup(layer, pal));
  EXPECT_EQ(to_colour(layer, pal, false), plain);
}

TEST(PresentColour, ShortInputIsBlackAndNothingOutsideIsTouched) {
  Presenter presenter;
  Image image(kFramePixels, 0xDEADBEEF);
  presenter.to_colour(Indices(kFramePixels - 1, 3), test_palette(), true, image);
  EXPECT_EQ(image, Image(kFramePixels, 0));
  Image small(10, 0xDEADBEEF);
  presenter.to_colour(flat_layer(3), test_palette(), false, small);
  EXPECT_EQ(small, Image(10, 0));
}

TEST(PresentDedither, AlternatingRowsBecomeOneSolidColour) {
  Indices layer(kFramePixels);
  for (std::size_t i = 0; i < kFramePixels; ++i) layer[i] = static_cast<std::uint8_t>(1 + i % 2);
  Palette pal;
  pal.colours[1] = Colour{10, 21, 200};
  pal.colours[2] = Colour{13, 24, 101};
  Image out(kFramePixels);
  Presenter().to_colour(layer, pal, true, out);
  EXPECT_EQ(out, Image(kFramePixels, 0x0C1797));  // 23/2, 45/2, 301/2 rounded up
}

// One line of pixels set into a flat background of 9; `partners` gives the expected partner of
// each pixel of the pattern, -1 for unpaired.
struct LineCase {
  std::string name;
  bool vertical;
  int start;
  std::vector<int> pattern;
  std::vector<int> partners;
};

TEST(PresentDedither, RunsAlongLines) {
  const std::vector<LineCase> cases = {
      {"three alternating keep their colours",
       false,
       10,
       {5, 5, 1, 2, 1, 7, 7},
       {-1, -1, -1, -1, -1, -1, -1}},
      {"four alternating pair", false, 10, {5, 5, 1, 2, 1, 2, 7, 7}, {-1, -1, 2, 1, 2, 1, -1, -1}},
      {"at the row start", false, 0, {1, 2, 1, 2}, {2, 1, 2, 1}},
      {"up to the row end", false, 636, {1, 2, 1, 2}, {2, 1, 2, 1}},
      {"flat pair end dropped", false, 20, {1, 1, 2, 1, 2, 1}, {-1, -1, 1, 2, 1, 2}},
      {"down a column", true, 300, {4, 1, 4, 1, 4}, {1, 4, 1, 4, 1}},
      {"to the column end", true, 475, {3, 4, 3, 4, 3}, {4, 3, 4, 3, 4}},
      {"three down a column keep", true, 0, {4, 1, 4}, {-1, -1, -1}},
  };
  const Palette pal = test_palette();
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    Indices layer = flat_layer(9);
    const int fixed = 100;
    const auto pos = [&](std::size_t k) {
      const int along = c.start + static_cast<int>(k);
      return c.vertical ? at(fixed, along) : at(along, fixed);
    };
    for (std::size_t k = 0; k < c.pattern.size(); ++k) {
      layer[pos(k)] = static_cast<std::uint8_t>(c.pattern[k]);
    }
    Image expected = plain_lookup(layer, pal);
    for (std::size_t k = 0; k < c.pattern.size(); ++k) {
      if (c.partners[k] >= 0) expected[pos(k)] = mean_up(pal, c.pattern[k], c.partners[k]);
    }
    EXPECT_EQ(colour(layer, true), expected);
    EXPECT_EQ(reference_dedither(layer, pal), expected);
  }
}

TEST(PresentDedither, CheckerboardSquareAndFirstWriterWins) {
  const Palette pal = test_palette();
  Indices layer = flat_layer(9);
  // A lone 2 x 2 square: 1 2 over 2 1.
  layer[at(50, 10)] = 1;
  layer[at(51, 10)] = 2;
  layer[at(50, 11)] = 2;
  layer[at(51, 11)] = 1;
  // A square whose top-left pixel (20, 50) also ends the horizontal run 3 1 3 1: the square
  // paired it first, with 2.
  const int run[] = {3, 1, 3, 1, 2};
  for (int k = 0; k < 5; ++k) layer[at(17 + k, 50)] = static_cast<std::uint8_t>(run[k]);
  layer[at(20, 51)] = 2;
  layer[at(21, 51)] = 1;
  // (200, 200) starts both a horizontal run 1 3 1 3 and a vertical run 1 4 1 4: the row wins.
  for (int k = 0; k < 4; ++k) {
    layer[at(200 + k, 200)] = static_cast<std::uint8_t>(k % 2 ? 3 : 1);
    layer[at(200, 200 + k)] = static_cast<std::uint8_t>(k % 2 ? 4 : 1);
  }

  Image expected = plain_lookup(layer, pal);
  for (const auto& [x, y] :
       {std::pair{50, 10}, {51, 10}, {50, 11}, {51, 11}, {20, 50}, {21, 50}, {20, 51}, {21, 51}}) {
    expected[at(x, y)] = mean_up(pal, 1, 2);
  }
  for (int x = 17; x < 20; ++x) expected[at(x, 50)] = mean_up(pal, 1, 3);
  for (int x = 200; x < 204; ++x) expected[at(x, 200)] = mean_up(pal, 1, 3);
  for (int y = 201; y < 204; ++y) expected[at(200, y)] = mean_up(pal, 1, 4);

  EXPECT_EQ(colour(layer, true), expected);
  EXPECT_EQ(reference_dedither(layer, pal), expected);
}

TEST(PresentDedither, MatchesReferenceOnRandomAndDitheredLayers) {
  const Palette pal = test_palette();
  const std::vector<std::pair<std::string, Indices>> layers = {
      {"two colours", random_layer(1, 2)},   {"three colours", random_layer(2, 3)},
      {"all colours", random_layer(3, 256)}, {"dithered", dithered_layer(4)},
      {"dithered again", dithered_layer(5)},
  };
  Presenter presenter;  // one presenter throughout: nothing may leak from one call to the next
  for (int round = 0; round < 2; ++round) {
    for (const auto& [name, layer] : layers) {
      SCOPED_TRACE(name);
      Palette shifted = pal;
      std::rotate(shifted.colours.begin(), shifted.colours.begin() + round * 5,
                  shifted.colours.end());
      Image out(kFramePixels);
      presenter.to_colour(layer, shifted, true, out);
      EXPECT_EQ(out, reference_dedither(layer, shifted));
    }
  }
}

// ---- Scaling --------------------------------------------------------------------------------

TEST(PresentScale, DoubleSizeRepeatsEveryPixel) {
  const Image image = varied_image();
  const Image out = scale(image, 1280, 960);
  for (int y = 0; y < 960; ++y) {
    for (int x = 0; x < 1280; ++x) {
      ASSERT_EQ(out[static_cast<std::size_t>(y) * 1280 + static_cast<std::size_t>(x)],
                image[at(x / 2, y / 2)])
          << x << "," << y;
    }
  }
}

TEST(PresentScale, WideWindowGetsBarsLeftAndRight) {
  const Image image(kFramePixels, 0x00808080);
  const Image out = scale(image, 1920, 1080);
  for (int y = 0; y < 1080; ++y) {
    for (int x = 0; x < 1920; ++x) {
      const bool bar = x < 240 || x >= 1680;
      ASSERT_EQ(out[static_cast<std::size_t>(y) * 1920 + static_cast<std::size_t>(x)],
                bar ? 0u : 0x00808080u)
          << x << "," << y;
    }
  }
}

TEST(PresentScale, NothingToDrawIsAllBlack) {
  struct Case {
    int width, height;
    std::size_t span;
  };
  const Image image = varied_image();
  for (const Case c : {Case{1, 1, 1},
                       {1, 1000, 1000},
                       {800, 0, 16},
                       {0, 600, 16},
                       {0, 0, 0},
                       {-640, -480, 16},
                       {800, 600, 100},
                       {2, 2, 3}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    EXPECT_EQ(scale(image, c.width, c.height, c.span), Image(c.span, 0));
  }
  // A short image draws nothing either.
  EXPECT_EQ(scale(Image(100, 0x123456), 640, 480), Image(kFramePixels, 0));
}

TEST(PresentScale, OnlyTheWindowPartOfALongerSpanIsWritten) {
  const Image out = scale(varied_image(), 64, 48, 64 * 48 + 5);
  EXPECT_EQ(Image(out.end() - 5, out.end()), Image(5, 0xDEADBEEF));
}

// At 800 x 600 (s = 1.25) output column 1 takes source 1 softened by a quarter towards source 0,
// and column 2 is the even mix of sources 2 and 1; rows the same way.
TEST(PresentScale, FractionalScaleSoftensSteps) {
  const std::uint32_t c0 = 0x000000, c1 = 0x204060, c2 = 0xC08040;
  const std::uint32_t expected[] = {c0, 0x183048, 0x706050, c2, c2};
  Image by_column(kFramePixels, c2), by_row(kFramePixels, c2);
  for (int y = 0; y < kH; ++y) {
    by_column[at(0, y)] = c0;
    by_column[at(1, y)] = c1;
  }
  for (int x = 0; x < kW; ++x) {
    by_row[at(x, 0)] = c0;
    by_row[at(x, 1)] = c1;
  }
  const Image across = scale(by_column, 800, 600);
  const Image down = scale(by_row, 800, 600);
  for (std::size_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(across[300 * 800 + k], expected[k]);
    EXPECT_EQ(down[k * 800 + 400], expected[k]);
  }
}

TEST(PresentScale, MatchesReferenceForManySizes) {
  const Image image = varied_image();
  Presenter presenter;  // reused, so tables and row cache carry over between sizes
  for (const auto& [w, h] : {std::pair{1, 1},
                             {2, 2},
                             {639, 479},
                             {640, 480},
                             {641, 481},
                             {800, 600},
                             {1000, 300},
                             {300, 1000},
                             {1366, 768},
                             {1920, 1080},
                             {320, 240},
                             {97, 1013},
                             {1280, 960},
                             {2000, 1500},
                             {640, 480}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    Image window(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0xDEADBEEF);
    presenter.scale_into(image, window, w, h);
    const Image expected = reference_scale(image, w, h);
    ASSERT_EQ(window.size(), expected.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < window.size() && mismatches < 5; ++i) {
      if (window[i] != expected[i]) {
        ++mismatches;
        ADD_FAILURE() << "pixel " << i % static_cast<std::size_t>(w) << ","
                      << i / static_cast<std::size_t>(w) << ": " << std::hex << window[i]
                      << " != " << expected[i];
      }
    }
  }
}

}  // namespace
}  // namespace ot
