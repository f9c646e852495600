// Decoding PNG files with libpng, to check our writer against a standard reader.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ot::test {

struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool has_alpha = false;
  std::vector<std::uint8_t> rgba;  // 4 bytes a pixel, whatever the file's format
};

std::optional<DecodedPng> decode_png(std::span<const std::uint8_t> file);

}  // namespace ot::test
