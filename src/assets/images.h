// Palettes, bitmaps (sprite sheets) and screens of the resource archive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "assets/archive.h"
#include "assets/bytes.h"
#include "assets/data_error.h"

namespace ot {

inline constexpr std::size_t kMaxSheetPixels = 0x200000;     // all frames of one bitmap
inline constexpr std::size_t kMaxUnpackNibbles = 0x2000000;  // one unpacking, from nibble 0

struct Colour {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Colour&) const = default;
};

struct Palette {
  std::array<Colour, 256> colours{};
  bool operator==(const Palette&) const = default;
};

// One frame: palette indices 0..15, row-major; index 0 is transparent.
struct Sprite {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
  bool operator==(const Sprite&) const = default;
};

struct SpriteSheet {
  std::vector<Sprite> frames;
};

struct ScreenImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

Result<Palette> load_palette(const ResourceArchive& archive, std::string_view name);
Result<SpriteSheet> load_sprite_sheet(const ResourceArchive& archive, std::string_view name);
Result<ScreenImage> load_screen_image(const ResourceArchive& archive, std::string_view name);

// `count` pixels from nibble `first` on (even nibbles are high halves); nibbles past the end of
// the stream are 0.
Result<std::vector<std::uint8_t>> unpack_nibbles(Bytes stream, std::size_t first, std::size_t count,
                                                 std::string_view name);

}  // namespace ot
