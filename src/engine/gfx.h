// The picture layers and the drawing primitives of the engine.
//
// Every primitive runs to completion and never fails: whatever falls outside the screen or the
// clip rectangle is silently left alone. Coordinates and sizes are signed 32-bit values that come
// straight from scripts, so every sum is formed in 64 bits. Nothing here allocates except
// save_zone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "assets/images.h"

namespace ot {

inline constexpr std::int32_t kLayerWidth = 640;
inline constexpr std::int32_t kLayerHeight = 480;
inline constexpr std::size_t kLayerSize = 640 * 480;

// 640 x 480 palette indices, row-major, top row first: pixel (x, y) is byte y * 640 + x.
// The buffer is allocated once and never resized; swap exchanges two layers without copying.
// A moved-from layer may only be assigned to or destroyed.
class Layer {
 public:
  Layer() : pixels_(kLayerSize, 0) {}

  std::span<std::uint8_t, kLayerSize> pixels() {
    return std::span<std::uint8_t, kLayerSize>(pixels_);
  }
  std::span<const std::uint8_t, kLayerSize> pixels() const {
    return std::span<const std::uint8_t, kLayerSize>(pixels_);
  }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }

  // Unchecked access; x in 0..639, y in 0..479.
  std::uint8_t& at(std::int32_t x, std::int32_t y) { return pixels_[index(x, y)]; }
  std::uint8_t at(std::int32_t x, std::int32_t y) const { return pixels_[index(x, y)]; }

  void fill(std::uint8_t value);
  // The whole of `other` copied in; no allocation.
  void copy_from(const Layer& other);

  void swap(Layer& other) noexcept { pixels_.swap(other.pixels_); }
  friend void swap(Layer& a, Layer& b) noexcept { a.swap(b); }

  bool operator==(const Layer&) const = default;

 private:
  static std::size_t index(std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(kLayerWidth) +
           static_cast<std::size_t>(x);
  }

  std::vector<std::uint8_t> pixels_;
};

// Which of the engine's three layers a zone-copy layer number names.
enum class LayerRole : std::uint8_t { Shown, Background, Frame };

// 0 = shown, 2 = background, any other value = frame.
constexpr LayerRole layer_role(std::int32_t id) {
  if (id == 0) return LayerRole::Shown;
  if (id == 2) return LayerRole::Background;
  return LayerRole::Frame;
}

// The engine's three planes: a tick draws into `frame`, `background` is the static picture of the
// moment, `shown` is the last finished frame.
struct Layers {
  Layer frame;
  Layer background;
  Layer shown;

  Layer& get(LayerRole role);
  const Layer& get(LayerRole role) const;
  Layer& by_id(std::int32_t id) { return get(layer_role(id)); }
};

// Inclusive rectangle. Its default is the whole screen.
struct ClipRect {
  std::int32_t x0 = 0;
  std::int32_t y0 = 0;
  std::int32_t x1 = kLayerWidth - 1;
  std::int32_t y1 = kLayerHeight - 1;
  bool operator==(const ClipRect&) const = default;
};

// The drawing settings of one animation thread.
struct DrawState {
  ClipRect clip{};
  bool clip_set = true;
  std::uint8_t foreground = 15;
  std::uint8_t background = 15;
  bool once_only = false;  // set once the thread's current instruction range has run

  void reset() { *this = DrawState{}; }
  bool operator==(const DrawState&) const = default;
};

// The rectangle limited to the screen (it may come out empty: x0 > x1 or y0 > y1).
ClipRect limit_to_screen(const ClipRect& rect);

// The thread's clip while its clip-set flag is on, the default one otherwise; limited to the
// screen.
ClipRect effective_clip(const DrawState& state);

// Pixels kept by save_zone: the rectangle as computed (not limited to the screen) and the bytes of
// its on-screen part, row by row.
struct SavedZone {
  ClipRect rect;
  std::vector<std::uint8_t> bytes;
  bool operator==(const SavedZone&) const = default;
};

// The primitives. `clip` may be any rectangle; it is always limited to the screen again.
void plot(Layer& layer, std::int32_t x, std::int32_t y, std::uint8_t colour, const ClipRect& clip);

// From (x1, y1) towards (x2, y2); the end point itself is not drawn, equal points draw nothing.
void draw_line(Layer& layer, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
               std::uint8_t colour, const ClipRect& clip);

// Filled rectangle with a one-pixel border; where the clip cuts it no new border appears.
void draw_box(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
              std::uint8_t border, std::uint8_t fill, const ClipRect& clip);

// The one-pixel border of the rectangle only.
void draw_outline(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                  std::uint8_t colour, const ClipRect& clip);

// Disc of diameter 2 * (d >> 1) in the square with top-left corner (x, y): inside pixels whose four
// neighbours are inside too get `fill`, the others `rim`.
void draw_disc(Layer& layer, std::int32_t x, std::int32_t y, std::int32_t d, std::uint8_t rim,
               std::uint8_t fill, const ClipRect& clip);

inline constexpr std::uint32_t kBlitUpsideDown = 1;
inline constexpr std::uint32_t kBlitMirrored = 2;

// The sprite with its top-left corner at (x, y); value 0 is transparent. A sprite whose pixels do
// not cover width x height draws nothing.
void blit(Layer& layer, const Sprite& sprite, std::int32_t x, std::int32_t y, std::uint32_t flags,
          const ClipRect& clip);

// The guard of save_zone and restore_zone: w > 0, h > 0, x + w <= 640, y + h <= 480.
bool zone_arguments_valid(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

// Replaces `zone` with the layer's pixels of the rectangle (when the guard passes).
void save_zone(const Layer& frame, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
               std::optional<SavedZone>& zone);

// Writes `zone` back at its own rectangle when the guard passes for x, y, w, h (which are not
// used otherwise): as many whole rows as the bytes hold and the rectangle allows.
void restore_zone(Layer& frame, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                  const std::optional<SavedZone>& zone);

// Copies the rectangle's on-screen rows between two different layers; no clip.
void copy_zone(const Layer& source, Layer& destination, std::int32_t x, std::int32_t y,
               std::int32_t w, std::int32_t h);

// The image's top-left 640 x 480 (or less) into the layer from pixel (0, 0); the rest stays.
void paste_screen(Layer& layer, const ScreenImage& image);

// The drawing origin: scene drawing is relative to the island.
struct DrawOrigin {
  std::int32_t dx = 0;
  std::int32_t dy = 0;
  bool operator==(const DrawOrigin&) const = default;
};

// Which of a script command's arguments a0..a5 get dx and which get dy (bit i = argument i).
struct OriginArgs {
  std::uint8_t x_mask = 0;
  std::uint8_t y_mask = 0;
  bool operator==(const OriginArgs&) const = default;
};

OriginArgs origin_arguments(std::uint16_t opcode);

// Adds the origin to the arguments that take it (saturating at the 32-bit range); arguments past
// the end of `args` are ignored.
void apply_origin(std::uint16_t opcode, std::span<std::int32_t> args, DrawOrigin origin);

}  // namespace ot
