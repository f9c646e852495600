// Unpacking of compressed chunk payloads (run-length and LZW).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/bytes.h"
#include "assets/data_error.h"

namespace ot {

inline constexpr std::size_t kMaxUnpackedSize = 0x1000000;  // 16 MiB, inclusive
inline constexpr std::uint8_t kMethodRunLength = 1;
inline constexpr std::uint8_t kMethodLzw = 2;

// Payload: method byte, u32 unpacked size U, compressed data. The result holds exactly U bytes.
Result<std::vector<std::uint8_t>> decompress_chunk(Bytes payload);

}  // namespace ot
