#include "engine/gfx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace ot {

namespace {

using i64 = std::int64_t;

constexpr i64 kWidth = kLayerWidth;
constexpr i64 kHeight = kLayerHeight;

// A clip rectangle limited to the screen as half-open ranges; empty ranges have begin >= end.
struct Bounds {
  i64 x_begin, x_end, y_begin, y_end;
};

Bounds bounds_of(const ClipRect& clip) {
  return {std::max<i64>(clip.x0, 0), std::min<i64>(clip.x1, kWidth - 1) + 1,
          std::max<i64>(clip.y0, 0), std::min<i64>(clip.y1, kHeight - 1) + 1};
}

// Row `y` (0..479) of the layer.
std::uint8_t* row_of(Layer& layer, i64 y) {
  return layer.data() + static_cast<std::size_t>(y * kWidth);
}
const std::uint8_t* row_of(const Layer& layer, i64 y) {
  return layer.data() + static_cast<std::size_t>(y * kWidth);
}

std::size_t to_size(i64 v) {
  return static_cast<std::size_t>(v);
}

// The minor-axis offset after k steps of the line walk along an axis of length `major` (0 <= k <
// major): floor((2 k minor + major) / (2 major)), formed without overflowing 64 bits. This is where
// the error-term walk (err = dx - dy, e2 = 2 err, e2 >= -dy steps x, e2 <= dx steps y) stands
// after k steps; computing it directly lets the walk start and stop at the clip.
i64 minor_offset(i64 k, i64 major, i64 minor) {
  const auto product = static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(minor);
  const auto m = static_cast<std::uint64_t>(major);
  const std::uint64_t q = product / m;
  const std::uint64_t r = product % m;
  return static_cast<i64>(q + (2 * r >= m ? 1 : 0));
}

void draw_rectangle(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                    std::uint8_t border, std::optional<std::uint8_t> fill, const ClipRect& clip) {
  if (w < 1 || h < 1) return;
  const Bounds b = bounds_of(clip);
  const i64 right = i64{x} + w - 1;
  const i64 bottom = i64{y} + h - 1;
  const i64 r0 = std::max<i64>(y, b.y_begin), r1 = std::min(b.y_end, bottom + 1);
  const i64 c0 = std::max<i64>(x, b.x_begin), c1 = std::min(b.x_end, right + 1);
  if (r0 >= r1 || c0 >= c1) return;
  for (i64 row = r0; row < r1; ++row) {
    std::uint8_t* p = row_of(layer, row);
    if (row == y || row == bottom) {
      std::fill(p + c0, p + c1, border);
      continue;
    }
    if (fill) std::fill(p + c0, p + c1, *fill);
    if (x == c0) p[c0] = border;
    if (right == c1 - 1) p[right] = border;
  }
}

std::int32_t saturated(i64 v) {
  return static_cast<std::int32_t>(std::clamp<i64>(v, std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void Layer::fill(std::uint8_t value) {
  std::fill(pixels_.begin(), pixels_.end(), value);
}

void Layer::copy_from(const Layer& other) {
  if (this != &other) pixels_ = other.pixels_;
}

namespace {

template <class Set>
auto& layer_of(Set& set, LayerRole role) {
  switch (role) {
    case LayerRole::Shown:
      return set.shown;
    case LayerRole::Background:
      return set.background;
    case LayerRole::Frame:
      break;
  }
  return set.frame;
}

}  // namespace

Layer& Layers::get(LayerRole role) {
  return layer_of(*this, role);
}
const Layer& Layers::get(LayerRole role) const {
  return layer_of(*this, role);
}

ClipRect limit_to_screen(const ClipRect& rect) {
  return {std::max(rect.x0, 0), std::max(rect.y0, 0), std::min(rect.x1, kLayerWidth - 1),
          std::min(rect.y1, kLayerHeight - 1)};
}

ClipRect effective_clip(const DrawState& state) {
  return limit_to_screen(state.clip_set ? state.clip : ClipRect{});
}

void plot(Layer& layer, std::int32_t x, std::int32_t y, std::uint8_t colour, const ClipRect& clip) {
  const Bounds b = bounds_of(clip);
  if (x >= b.x_begin && x < b.x_end && y >= b.y_begin && y < b.y_end) layer.at(x, y) = colour;
}

void draw_line(Layer& layer, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
               std::uint8_t colour, const ClipRect& clip) {
  if (x1 == x2 && y1 == y2) return;
  const Bounds b = bounds_of(clip);
  if (b.x_begin >= b.x_end || b.y_begin >= b.y_end) return;

  const i64 dx = std::abs(i64{x2} - x1), dy = std::abs(i64{y2} - y1);
  const i64 sx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
  const i64 sy = y2 > y1 ? 1 : (y2 < y1 ? -1 : 0);
  // The walk steps the major axis every time (the x axis on ties) and the minor one now and then.
  const bool x_major = dx >= dy;
  const i64 major = x_major ? dx : dy, minor = x_major ? dy : dx;
  const i64 major_start = x_major ? x1 : y1, minor_start = x_major ? y1 : x1;
  const i64 major_step = x_major ? sx : sy, minor_step = x_major ? sy : sx;
  const i64 lo = x_major ? b.x_begin : b.y_begin, hi = (x_major ? b.x_end : b.y_end) - 1;
  const i64 minor_lo = x_major ? b.y_begin : b.x_begin;
  const i64 minor_hi = (x_major ? b.y_end : b.x_end) - 1;

  // Steps 0..major-1 are drawn (step `major` is the end point); keep those inside the clip's
  // range on the major axis.
  i64 k_first = 0, k_last = major - 1;
  if (major_step > 0) {
    k_first = std::max(k_first, lo - major_start);
    k_last = std::min(k_last, hi - major_start);
  } else {
    k_first = std::max(k_first, major_start - hi);
    k_last = std::min(k_last, major_start - lo);
  }
  for (i64 k = k_first; k <= k_last; ++k) {
    const i64 m = minor_start + minor_step * minor_offset(k, major, minor);
    if (m < minor_lo || m > minor_hi) continue;
    const i64 a = major_start + major_step * k;
    const i64 px = x_major ? a : m, py = x_major ? m : a;
    row_of(layer, py)[px] = colour;
  }
}

void draw_box(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
              std::uint8_t border, std::uint8_t fill, const ClipRect& clip) {
  draw_rectangle(layer, x, y, w, h, border, fill, clip);
}

void draw_outline(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                  std::uint8_t colour, const ClipRect& clip) {
  draw_rectangle(layer, x, y, w, h, colour, std::nullopt, clip);
}

void draw_disc(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t d, std::uint8_t rim,
               std::uint8_t fill, const ClipRect& clip) {
  const std::int32_t r = d >> 1;
  if (r <= 0) return;
  const Bounds b = bounds_of(clip);
  const i64 r0 = std::max<i64>(y, b.y_begin), r1 = std::min(b.y_end, i64{y} + 2 * i64{r});
  const i64 c0 = std::max<i64>(x, b.x_begin), c1 = std::min(b.x_end, i64{x} + 2 * i64{r});
  if (r0 >= r1 || c0 >= c1) return;

  // Single precision on purpose: the rim falls where this arithmetic puts it.
  const float cx = static_cast<float>(i64{x} + r);
  const float cy = static_cast<float>(i64{y} + r);
  const float radius2 = static_cast<float>(r) * static_cast<float>(r);
  const auto inside = [&](i64 c, i64 row) {
    const float ex = static_cast<float>(c) + 0.5f - cx;
    const float ey = static_cast<float>(row) + 0.5f - cy;
    return ex * ex + ey * ey <= radius2;
  };
  for (i64 row = r0; row < r1; ++row) {
    std::uint8_t* p = row_of(layer, row);
    for (i64 c = c0; c < c1; ++c) {
      if (!inside(c, row)) continue;
      // The neighbours are tested whether or not the clip shows them, so a cut gets no rim.
      const bool interior =
          inside(c - 1, row) && inside(c, row - 1) && inside(c + 1, row) && inside(c, row + 1);
      p[c] = interior ? fill : rim;
    }
  }
}

void blit(Layer& layer, const Sprite& sprite, std::int32_t x, std::int32_t y, std::uint32_t flags,
          const ClipRect& clip) {
  if (sprite.width <= 0 || sprite.height <= 0) return;
  const i64 w = sprite.width, h = sprite.height;
  if (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > sprite.pixels.size()) return;
  const Bounds b = bounds_of(clip);
  const i64 r0 = std::max<i64>(y, b.y_begin), r1 = std::min(b.y_end, i64{y} + h);
  const i64 c0 = std::max<i64>(x, b.x_begin), c1 = std::min(b.x_end, i64{x} + w);
  if (r0 >= r1 || c0 >= c1) return;

  const bool upside_down = (flags & kBlitUpsideDown) != 0;
  const bool mirrored = (flags & kBlitMirrored) != 0;
  const std::size_t n = to_size(c1 - c0);
  for (i64 row = r0; row < r1; ++row) {
    const i64 source_row = upside_down ? (i64{y} + h - 1) - row : row - y;
    const std::uint8_t* src = sprite.pixels.data() + to_size(source_row * w);
    std::uint8_t* dst = row_of(layer, row) + c0;
    if (!mirrored) {
      src += to_size(c0 - x);
      for (std::size_t i = 0; i < n; ++i) {
        if (src[i] != 0) dst[i] = src[i];
      }
    } else {
      // Source column (x + w - 1) - c runs down from here.
      const std::size_t first = to_size((i64{x} + w - 1) - c0);
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t v = src[first - i];
        if (v != 0) dst[i] = v;
      }
    }
  }
}

bool zone_arguments_valid(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  return w > 0 && h > 0 && i64{x} + w <= kWidth && i64{y} + h <= kHeight;
}

void save_zone(const Layer& frame, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
               std::optional<SavedZone>& zone) {
  if (!zone_arguments_valid(x, y, w, h)) return;
  // The guard keeps the far edges on screen; only the near ones can lie off it.
  const i64 right = i64{x} + w - 1, bottom = i64{y} + h - 1;
  const i64 c0 = std::max<i64>(x, 0), r0 = std::max<i64>(y, 0);
  const i64 columns = std::max<i64>(right - c0 + 1, 0), rows = std::max<i64>(bottom - r0 + 1, 0);

  SavedZone& z = zone ? *zone : zone.emplace();
  z.rect = {x, y, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
  z.bytes.resize(to_size(columns * rows));
  for (i64 i = 0; i < rows; ++i) {
    const std::uint8_t* src = row_of(frame, r0 + i) + c0;
    std::memcpy(z.bytes.data() + to_size(i * columns), src, to_size(columns));
  }
}

void restore_zone(Layer& frame, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                  const std::optional<SavedZone>& zone) {
  if (!zone_arguments_valid(x, y, w, h) || !zone) return;
  const ClipRect r = limit_to_screen(zone->rect);
  if (r.x0 > r.x1 || r.y0 > r.y1) return;
  const i64 length = i64{r.x1} - r.x0 + 1;
  const i64 rows =
      std::min<i64>(i64{r.y1} - r.y0 + 1, static_cast<i64>(zone->bytes.size()) / length);
  for (i64 i = 0; i < rows; ++i) {
    std::memcpy(row_of(frame, r.y0 + i) + r.x0, zone->bytes.data() + to_size(i * length),
                to_size(length));
  }
}

void copy_zone(const Layer& source, Layer& destination, std::int32_t x, std::int32_t y,
               std::int32_t w, std::int32_t h) {
  if (&source == &destination) return;
  const i64 c0 = std::max<i64>(x, 0), c1 = std::min<i64>(i64{x} + w - 1, kWidth - 1);
  const i64 r0 = std::max<i64>(y, 0), r1 = std::min<i64>(i64{y} + h - 1, kHeight - 1);
  if (c0 > c1 || r0 > r1) return;
  const std::size_t n = to_size(c1 - c0 + 1);
  for (i64 row = r0; row <= r1; ++row) {
    std::memcpy(row_of(destination, row) + c0, row_of(source, row) + c0, n);
  }
}

void paste_screen(Layer& layer, const ScreenImage& image) {
  if (image.width <= 0 || image.height <= 0) return;
  const i64 stride = image.width;
  const i64 rows = std::min<i64>(image.height, kHeight);
  const i64 columns = std::min<i64>(image.width, kWidth);
  const i64 available = static_cast<i64>(image.pixels.size());
  for (i64 row = 0; row < rows; ++row) {
    // An image shorter than its size claims gives what it has.
    const i64 start = row * stride;
    if (start >= available) break;
    const i64 n = std::min(columns, available - start);
    std::memcpy(row_of(layer, row), image.pixels.data() + to_size(start), to_size(n));
  }
}

OriginArgs origin_arguments(std::uint16_t opcode) {
  constexpr OriginArgs kNone{};
  constexpr OriginArgs kFirstPoint{0b0001, 0b0010};             // a0 += dx, a1 += dy
  constexpr OriginArgs kTwoPoints{0b0101, 0b1010};              // and a2 += dx, a3 += dy
  if (opcode == 0xA0A4 || opcode == 0x4004) return kTwoPoints;  // line, clip rectangle
  if (opcode == 0x4204) return kFirstPoint;                     // zone copy into the background
  if ((opcode & 0xF000) == 0xA000) {
    if (opcode == 0xA601 || opcode == 0xAF1F || opcode == 0xAF2F) return kNone;
    return kFirstPoint;
  }
  return kNone;
}

void apply_origin(std::uint16_t opcode, std::span<std::int32_t> args, DrawOrigin origin) {
  const OriginArgs which = origin_arguments(opcode);
  const std::size_t count = std::min<std::size_t>(args.size(), 6);
  for (std::size_t i = 0; i < count; ++i) {
    if ((which.x_mask >> i) & 1) args[i] = saturated(i64{args[i]} + origin.dx);
    if ((which.y_mask >> i) & 1) args[i] = saturated(i64{args[i]} + origin.dy);
  }
}

}  // namespace ot
