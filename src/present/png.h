// Our own PNG writer: stored (uncompressed) deflate blocks, so no compression library is needed.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ot {

inline constexpr std::uint32_t kPictureWidth = 640;
inline constexpr std::uint32_t kPictureHeight = 480;

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::span<const std::uint8_t> bytes);

// Appends one chunk: length, type, data, CRC-32 of type and data.
void write_png_chunk(std::vector<std::uint8_t>& out, std::string_view type,
                     std::span<const std::uint8_t> data);

enum class PngColour : std::uint8_t { Rgb = 2, Rgba = 6 };

// A PNG of any size from rows of 3 (RGB) or 4 (RGBA) bytes a pixel.
std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, PngColour colour,
                                     std::span<const std::uint8_t> samples);

// A 640 x 480 colour image of 0x00RRGGBB pixels as an RGB PNG of 922,218 bytes.
std::vector<std::uint8_t> encode_png(std::span<const std::uint32_t> image);

}  // namespace ot
