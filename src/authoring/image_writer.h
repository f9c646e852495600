// Writers of palette, bitmap and screen resources (chunk streams ready for the archive writer).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ot::authoring {

// 256 entries of 6-bit red, green, blue (0..63) as a "VGA:" chunk.
std::vector<std::uint8_t> palette_resource(std::span<const std::array<std::uint8_t, 3>> entries);

// Pixels (0..15) as nibbles, high half first; an odd count leaves the last low half 0.
std::vector<std::uint8_t> pack_nibbles(std::span<const std::uint8_t> pixels);

struct Frame {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::vector<std::uint8_t> pixels;  // width * height values 0..15
};

enum class Packing { RunLength = 1, Lzw = 2 };

// A container "BMP:" with "INF:" (count, widths, heights) and "BIN:" (all frames' nibbles one
// after the other, not byte-aligned between frames).
std::vector<std::uint8_t> bitmap_resource(std::span<const Frame> frames,
                                          Packing packing = Packing::Lzw);

// A container "SCR:" with "DIM:" and "BIN:".
std::vector<std::uint8_t> screen_resource(const Frame& picture, Packing packing = Packing::Lzw);

}  // namespace ot::authoring
