// Encoders for the two chunk compression methods. Their payloads carry the method byte and the
// unpacked size in front, ready to stand as a chunk payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ot::authoring {

std::vector<std::uint8_t> rle_compress(std::span<const std::uint8_t> input);

struct LzwOptions {
  // Input offsets before which a reset code is written (with the padding the decoder skips).
  // Offset 0 is ignored: the stream must start with a literal code.
  std::vector<std::size_t> reset_at;
  // Also reset whenever the code table has just filled up.
  bool reset_when_full = false;
};

std::vector<std::uint8_t> lzw_compress(std::span<const std::uint8_t> input,
                                       const LzwOptions& options = {});

// Only the compressed data, without the 5-byte header.
std::vector<std::uint8_t> rle_encode(std::span<const std::uint8_t> input);
std::vector<std::uint8_t> lzw_encode(std::span<const std::uint8_t> input,
                                     const LzwOptions& options = {});

// Method byte and unpacked size in front of compressed data.
std::vector<std::uint8_t> compressed_payload(std::uint8_t method, std::uint32_t unpacked_size,
                                             std::span<const std::uint8_t> data);

}  // namespace ot::authoring
