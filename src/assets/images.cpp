#include "assets/images.h"

#include <algorithm>
#include <optional>
#include <string>

#include "assets/decompress.h"

namespace ot {

namespace {

std::unexpected<DataError> too_large(std::string_view name) {
  return invalid(std::string(name) + ": image too large");
}

// Frame sizes from "INF:": count n, then n widths, then n heights.
struct FrameTable {
  Bytes info;
  std::size_t count = 0;

  // Width and height of frame i, or nullopt when the table is too short for it.
  std::optional<std::pair<std::uint16_t, std::uint16_t>> size(std::size_t i) const {
    auto w = peek_le<std::uint16_t>(info, 2 + 2 * i);
    auto h = peek_le<std::uint16_t>(info, 2 + 2 * count + 2 * i);
    if (!w || !h) return std::nullopt;
    return std::pair{*w, *h};
  }
};

}  // namespace

Result<Palette> load_palette(const ResourceArchive& archive, std::string_view name) {
  auto chunks = read_chunks(archive, name);
  if (!chunks) return std::unexpected(std::move(chunks.error()));
  auto vga = get_chunk(*chunks, name, "VGA:");
  if (!vga) return std::unexpected(std::move(vga.error()));
  Palette palette;
  auto component = [&](std::size_t j) -> std::uint8_t {
    const unsigned v = j < vga->size() ? ((*vga)[j] & 0x3Fu) : 0u;
    return static_cast<std::uint8_t>((v << 2) | (v >> 4));
  };
  for (std::size_t i = 0; i < 256; ++i) {
    palette.colours[i] = {component(3 * i), component(3 * i + 1), component(3 * i + 2)};
  }
  return palette;
}

Result<SpriteSheet> load_sprite_sheet(const ResourceArchive& archive, std::string_view name) {
  auto chunks = read_chunks(archive, name);
  if (!chunks) return std::unexpected(std::move(chunks.error()));
  auto info = get_chunk(*chunks, name, "INF:");
  if (!info) return std::unexpected(std::move(info.error()));
  auto count = peek_le<std::uint16_t>(*info, 0);
  if (!count) return invalid(std::string(kTruncatedData));
  const FrameTable table{*info, *count};

  // The size limit holds before anything is decompressed or allocated.
  std::size_t total = 0;
  for (std::size_t i = 0; i < table.count; ++i) {
    const auto size = table.size(i);
    if (!size) return invalid(std::string(kTruncatedData));
    total += static_cast<std::size_t>(size->first) * size->second;
    if (total > kMaxSheetPixels) return too_large(name);
  }

  auto bin = get_chunk(*chunks, name, "BIN:");
  if (!bin) return std::unexpected(std::move(bin.error()));
  auto stream = decompress_chunk(*bin);
  if (!stream) return std::unexpected(std::move(stream.error()));

  SpriteSheet sheet;
  sheet.frames.reserve(table.count);
  std::size_t first = 0;
  for (std::size_t i = 0; i < table.count; ++i) {
    const auto size = table.size(i);
    if (!size) return invalid(std::string(kTruncatedData));
    const std::size_t pixels = static_cast<std::size_t>(size->first) * size->second;
    auto frame = unpack_nibbles(*stream, first, pixels, name);
    if (!frame) return std::unexpected(std::move(frame.error()));
    sheet.frames.push_back(Sprite{size->first, size->second, std::move(*frame)});
    first += pixels;
  }
  return sheet;
}

Result<ScreenImage> load_screen_image(const ResourceArchive& archive, std::string_view name) {
  auto chunks = read_chunks(archive, name);
  if (!chunks) return std::unexpected(std::move(chunks.error()));
  auto dim = get_chunk(*chunks, name, "DIM:");
  if (!dim) return std::unexpected(std::move(dim.error()));
  const auto width = peek_le<std::uint16_t>(*dim, 0);
  const auto height = peek_le<std::uint16_t>(*dim, 2);
  if (!width || !height) return invalid(std::string(kTruncatedData));
  auto bin = get_chunk(*chunks, name, "BIN:");
  if (!bin) return std::unexpected(std::move(bin.error()));
  auto stream = decompress_chunk(*bin);
  if (!stream) return std::unexpected(std::move(stream.error()));
  auto pixels = unpack_nibbles(*stream, 0, static_cast<std::size_t>(*width) * *height, name);
  if (!pixels) return std::unexpected(std::move(pixels.error()));
  return ScreenImage{*width, *height, std::move(*pixels)};
}

Result<std::vector<std::uint8_t>> unpack_nibbles(Bytes stream, std::size_t first, std::size_t count,
                                                 std::string_view name) {
  if (first > kMaxUnpackNibbles || count > kMaxUnpackNibbles - first) return too_large(name);
  std::vector<std::uint8_t> out(count, 0);
  // Nibbles that the stream holds; the rest stay 0.
  const std::size_t available = stream.size() * 2 > first ? stream.size() * 2 - first : 0;
  const std::size_t n = std::min(count, available);
  std::size_t k = 0;
  std::size_t nibble = first;
  if (n > 0 && (nibble & 1)) {
    out[k++] = stream[nibble / 2] & 0x0F;
    ++nibble;
  }
  for (; k + 1 < n; k += 2, nibble += 2) {
    const std::uint8_t b = stream[nibble / 2];
    out[k] = static_cast<std::uint8_t>(b >> 4);
    out[k + 1] = b & 0x0F;
  }
  if (k < n) out[k] = static_cast<std::uint8_t>(stream[nibble / 2] >> 4);
  return out;
}

}  // namespace ot
