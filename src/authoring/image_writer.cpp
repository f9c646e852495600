#include "authoring/image_writer.h"

#include "authoring/archive_writer.h"
#include "authoring/byte_writer.h"
#include "authoring/compress.h"

namespace ot::authoring {

namespace {

std::vector<std::uint8_t> packed(std::span<const std::uint8_t> bytes, Packing packing) {
  return packing == Packing::Lzw ? lzw_compress(bytes) : rle_compress(bytes);
}

}  // namespace

std::vector<std::uint8_t> palette_resource(std::span<const std::array<std::uint8_t, 3>> entries) {
  ByteWriter w;
  for (const auto& e : entries) w.u8(e[0]).u8(e[1]).u8(e[2]);
  return chunk("VGA:", w.view());
}

std::vector<std::uint8_t> pack_nibbles(std::span<const std::uint8_t> pixels) {
  std::vector<std::uint8_t> out((pixels.size() + 1) / 2, 0);
  for (std::size_t k = 0; k < pixels.size(); ++k) {
    const unsigned v = pixels[k] & 0x0Fu;
    out[k / 2] = static_cast<std::uint8_t>(out[k / 2] | (k % 2 == 0 ? v << 4 : v));
  }
  return out;
}

std::vector<std::uint8_t> bitmap_resource(std::span<const Frame> frames, Packing packing) {
  ByteWriter info;
  info.u16(static_cast<std::uint32_t>(frames.size()));
  for (const Frame& f : frames) info.u16(f.width);
  for (const Frame& f : frames) info.u16(f.height);
  std::vector<std::uint8_t> all;
  for (const Frame& f : frames) all.insert(all.end(), f.pixels.begin(), f.pixels.end());
  const auto nibbles = pack_nibbles(all);
  return container_chunk(
      "BMP:", concat({chunk("INF:", info.view()), chunk("BIN:", packed(nibbles, packing))}));
}

std::vector<std::uint8_t> screen_resource(const Frame& picture, Packing packing) {
  ByteWriter dim;
  dim.u16(picture.width).u16(picture.height);
  const auto nibbles = pack_nibbles(picture.pixels);
  return container_chunk(
      "SCR:", concat({chunk("DIM:", dim.view()), chunk("BIN:", packed(nibbles, packing))}));
}

}  // namespace ot::authoring
