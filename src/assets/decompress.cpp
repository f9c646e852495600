#include "assets/decompress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace ot {

namespace {

// Output buffer with room past the end, so that short strings can be copied 16 bytes at a time.
constexpr std::size_t kSlack = 16;

std::size_t unpack_run_length(Bytes data, std::size_t unpacked, std::vector<std::uint8_t>& out) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < data.size() && n < unpacked) {
    const std::uint8_t c = data[i];
    if (c & 0x80) {
      const std::size_t count = std::min<std::size_t>(c & 0x7F, unpacked - n);
      const std::uint8_t fill = i + 1 < data.size() ? data[i + 1] : 0;
      std::memset(out.data() + n, fill, count);
      n += count;
      i += 2;
    } else {
      const std::size_t available = std::min<std::size_t>(c, data.size() - i - 1);
      const std::size_t count = std::min(available, unpacked - n);
      std::memcpy(out.data() + n, data.data() + i + 1, count);
      n += count;
      i += 1 + c;
    }
  }
  return n;
}

// Codes are read least-significant bit first from a bit position into the data.
class BitSource {
 public:
  explicit BitSource(Bytes data) : data_(data), total_(data.size() * 8) {}

  bool read(unsigned width, unsigned& code) {
    if (total_ - pos_ < width) return false;
    const std::size_t byte = pos_ >> 3;
    std::uint32_t v;
    if (data_.size() - byte >= 4) {
      v = static_cast<std::uint32_t>(data_[byte]) |
          static_cast<std::uint32_t>(data_[byte + 1]) << 8 |
          static_cast<std::uint32_t>(data_[byte + 2]) << 16 |
          static_cast<std::uint32_t>(data_[byte + 3]) << 24;
    } else {
      v = 0;
      for (std::size_t k = 0; byte + k < data_.size(); ++k) {
        v |= static_cast<std::uint32_t>(data_[byte + k]) << (8 * k);
      }
    }
    code = (v >> (pos_ & 7)) & ((1u << width) - 1);
    pos_ += width;
    return true;
  }

  // Skips `count` bits in steps of at most 16; when the data cannot supply a whole step,
  // skipping stops there and the remaining bits stay readable.
  void skip(std::size_t count) {
    while (count > 0) {
      const std::size_t step = std::min<std::size_t>(count, 16);
      if (total_ - pos_ < step) return;
      pos_ += step;
      count -= step;
    }
  }

 private:
  Bytes data_;
  std::size_t total_;
  std::size_t pos_ = 0;
};

// LZW with 9- to 12-bit codes; 256 resets. Every defined string is the previous string plus the
// first byte of the next one, so it already stands in the output: an entry is kept as the
// position and length of that earlier output, and decoding a code is a copy within the output.
std::size_t unpack_lzw(Bytes data, std::size_t unpacked, std::vector<std::uint8_t>& out) {
  constexpr unsigned kReset = 256;
  constexpr unsigned kTableSize = 4096;
  constexpr std::size_t kMaxString = 4098;  // the decoding stack holds 4,097 bytes plus the last

  if (data.size() < 2) return 0;
  BitSource bits(data);
  unsigned code = 0;
  bits.read(9, code);
  if (code >= 256) return 0;

  std::array<std::uint32_t, kTableSize> start{};
  std::array<std::uint16_t, kTableSize> length{};
  std::uint8_t* const o = out.data();

  o[0] = static_cast<std::uint8_t>(code);
  std::size_t n = 1;
  std::size_t prev_pos = 0;
  std::size_t prev_len = 1;
  unsigned width = 9;
  unsigned next = 257;
  std::size_t r = 0;  // code bits read since the last reset point

  while (n < unpacked) {
    if (!bits.read(width, code) || code > next) break;
    r += width;
    if (code == kReset) {
      const std::size_t span = 8 * width;
      bits.skip(span - 1 - ((r - 1) % span));
      r = 0;
      width = 9;
      next = 256;
      continue;
    }
    const std::size_t pos = n;
    std::size_t len;
    if (code < 256) {
      len = 1;
      o[n] = static_cast<std::uint8_t>(code);
      ++n;
    } else {
      const bool undefined = code == next;  // the previous string plus its own first byte
      const std::size_t src = undefined ? prev_pos : start[code];
      len = undefined ? prev_len + 1 : length[code];
      if (len > kMaxString) break;
      const std::size_t room = unpacked - n;
      if (len <= 16 && room >= 16 && !undefined) {
        std::uint8_t block[16];
        std::memcpy(block, o + src, 16);
        std::memcpy(o + n, block, 16);
      } else {
        const std::size_t copied = std::min(undefined ? prev_len : len, room);
        std::memcpy(o + n, o + src, copied);
        if (undefined && room > prev_len) o[n + prev_len] = o[src];
      }
      n += std::min(len, room);
    }
    if (next < kTableSize) {
      start[next] = static_cast<std::uint32_t>(prev_pos);
      length[next] = static_cast<std::uint16_t>(prev_len + 1);
      ++next;
      if ((next >> width) != 0 && width < 12) {
        ++width;
        r = 0;
      }
    }
    prev_pos = pos;
    prev_len = len;
  }
  return n;
}

}  // namespace

Result<std::vector<std::uint8_t>> decompress_chunk(Bytes payload) {
  if (payload.size() <= 4) return invalid("compressed chunk too small");
  const std::uint8_t method = payload[0];
  const std::size_t unpacked = *peek_le<std::uint32_t>(payload, 1);
  if (unpacked > kMaxUnpackedSize) return invalid("decompressed size too large");
  if (method != kMethodRunLength && method != kMethodLzw) {
    return invalid("unknown compression method " + std::to_string(method));
  }
  const Bytes data = payload.subspan(5);
  std::vector<std::uint8_t> out(unpacked + kSlack);
  const std::size_t produced = method == kMethodRunLength ? unpack_run_length(data, unpacked, out)
                                                          : unpack_lzw(data, unpacked, out);
  if (produced < unpacked) return invalid("decompressed size mismatch");
  out.resize(unpacked);
  return out;
}

}  // namespace ot
