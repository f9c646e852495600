#include "present/png.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace ot {

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr auto kCrcTable = make_crc_table();

void put_u32_be(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// The zlib stream of `data` in stored blocks of at most 65,535 bytes.
std::vector<std::uint8_t> stored_zlib(std::span<const std::uint8_t> data) {
  constexpr std::size_t kBlock = 65535;
  const std::size_t blocks = std::max<std::size_t>(1, (data.size() + kBlock - 1) / kBlock);
  std::vector<std::uint8_t> out;
  out.reserve(2 + blocks * 5 + data.size() + 4);
  out.push_back(0x78);
  out.push_back(0x01);
  std::size_t pos = 0;
  do {
    const std::size_t len = std::min(kBlock, data.size() - pos);
    const bool last = pos + len == data.size();
    out.push_back(last ? 0x01 : 0x00);
    out.push_back(static_cast<std::uint8_t>(len));
    out.push_back(static_cast<std::uint8_t>(len >> 8));
    out.push_back(static_cast<std::uint8_t>(~len));
    out.push_back(static_cast<std::uint8_t>(~len >> 8));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
               data.begin() + static_cast<std::ptrdiff_t>(pos + len));
    pos += len;
  } while (pos < data.size());
  put_u32_be(out, adler32(data));
  return out;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  std::uint32_t c = ~crc;
  for (const std::uint8_t b : bytes) c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
  return ~c;
}

std::uint32_t adler32(std::span<const std::uint8_t> bytes) {
  constexpr std::uint32_t kMod = 65521;
  constexpr std::size_t kRun = 5552;  // the longest run whose sums cannot overflow 32 bits
  std::uint32_t a = 1, b = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += kRun) {
    const std::size_t end = std::min(bytes.size(), pos + kRun);
    for (std::size_t i = pos; i < end; ++i) {
      a += bytes[i];
      b += a;
    }
    a %= kMod;
    b %= kMod;
  }
  return (b << 16) | a;
}

void write_png_chunk(std::vector<std::uint8_t>& out, std::string_view type,
                     std::span<const std::uint8_t> data) {
  assert(type.size() == 4);
  put_u32_be(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put_u32_be(out, crc32(std::span(out).subspan(type_at)));
}

std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, PngColour colour,
                                     std::span<const std::uint8_t> samples) {
  const std::size_t channels = colour == PngColour::Rgba ? 4 : 3;
  const std::size_t row = static_cast<std::size_t>(width) * channels;
  assert(samples.size() == row * height);
  std::vector<std::uint8_t> scanlines;
  scanlines.reserve((row + 1) * height);
  for (std::size_t y = 0; y < height; ++y) {
    scanlines.push_back(0);  // filter type: none
    const auto line = samples.subspan(y * row, row);
    scanlines.insert(scanlines.end(), line.begin(), line.end());
  }
  const auto stream = stored_zlib(scanlines);

  std::vector<std::uint8_t> header;
  put_u32_be(header, width);
  put_u32_be(header, height);
  header.insert(header.end(), {8, static_cast<std::uint8_t>(colour), 0, 0, 0});

  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  out.reserve(8 + 25 + 12 + stream.size() + 12);
  write_png_chunk(out, "IHDR", header);
  write_png_chunk(out, "IDAT", stream);
  write_png_chunk(out, "IEND", {});
  return out;
}

std::vector<std::uint8_t> encode_png(std::span<const std::uint32_t> image) {
  assert(image.size() == static_cast<std::size_t>(kPictureWidth) * kPictureHeight);
  std::vector<std::uint8_t> rgb;
  rgb.reserve(image.size() * 3);
  for (const std::uint32_t p : image) {
    rgb.push_back(static_cast<std::uint8_t>(p >> 16));
    rgb.push_back(static_cast<std::uint8_t>(p >> 8));
    rgb.push_back(static_cast<std::uint8_t>(p));
  }
  return encode_png(kPictureWidth, kPictureHeight, PngColour::Rgb, rgb);
}

}  // namespace ot
