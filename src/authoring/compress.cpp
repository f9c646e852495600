#include "authoring/compress.h"

#include <algorithm>

#include "authoring/byte_writer.h"

namespace ot::authoring {

std::vector<std::uint8_t> compressed_payload(std::uint8_t method, std::uint32_t unpacked_size,
                                             std::span<const std::uint8_t> data) {
  ByteWriter w;
  w.u8(method).u32(unpacked_size).bytes(data);
  return w.take();
}

std::vector<std::uint8_t> rle_encode(std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  std::size_t literal_start = 0;
  auto flush_literals = [&](std::size_t end) {
    while (literal_start < end) {
      const std::size_t n = std::min<std::size_t>(end - literal_start, 0x7F);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), input.begin() + static_cast<std::ptrdiff_t>(literal_start),
                 input.begin() + static_cast<std::ptrdiff_t>(literal_start + n));
      literal_start += n;
    }
  };
  while (i < input.size()) {
    std::size_t run = 1;
    while (i + run < input.size() && run < 0x7F && input[i + run] == input[i]) ++run;
    if (run >= 3) {
      flush_literals(i);
      out.push_back(static_cast<std::uint8_t>(0x80 | run));
      out.push_back(input[i]);
      i += run;
      literal_start = i;
    } else {
      i += run;
    }
  }
  flush_literals(input.size());
  return out;
}

namespace {

class BitSink {
 public:
  void put(std::uint32_t value, unsigned width) {
    acc_ |= static_cast<std::uint64_t>(value) << fill_;
    fill_ += width;
    while (fill_ >= 8) {
      out_.push_back(static_cast<std::uint8_t>(acc_));
      acc_ >>= 8;
      fill_ -= 8;
    }
  }
  std::vector<std::uint8_t> finish() {
    if (fill_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_));
    acc_ = 0;
    fill_ = 0;
    return std::move(out_);
  }

 private:
  std::vector<std::uint8_t> out_;
  std::uint64_t acc_ = 0;
  unsigned fill_ = 0;
};

// Mirrors the decoder: the decoder defines each table entry one code later than the encoder
// learns it, so the code width and the reset padding follow the decoder's own count.
class LzwEncoder {
 public:
  void emit(unsigned code) {
    if (first_) {
      sink_.put(code, 9);
      first_ = false;
      return;
    }
    sink_.put(code, width_);
    bits_since_reset_point_ += width_;
    if (decoder_next_ < kTableSize) {
      ++decoder_next_;
      if ((decoder_next_ >> width_) != 0 && width_ < 12) {
        ++width_;
        bits_since_reset_point_ = 0;
      }
    }
  }

  void emit_reset() {
    sink_.put(kReset, width_);
    bits_since_reset_point_ += width_;
    const std::size_t span = 8 * width_;
    std::size_t pad = span - 1 - ((bits_since_reset_point_ - 1) % span);
    while (pad > 0) {
      const unsigned step = static_cast<unsigned>(std::min<std::size_t>(pad, 16));
      sink_.put(0, step);
      pad -= step;
    }
    bits_since_reset_point_ = 0;
    width_ = 9;
    decoder_next_ = 256;
    for (std::size_t slot : used_slots_) child_[slot] = 0;
    used_slots_.clear();
    encoder_next_ = 257;
  }

  // The code of string `prefix` + byte, or 0 when there is none.
  unsigned child(unsigned prefix, std::uint8_t byte) const { return child_[slot(prefix, byte)]; }

  // Learns `prefix` + byte; false when the table is full.
  bool learn(unsigned prefix, std::uint8_t byte) {
    if (encoder_next_ >= kTableSize) return false;
    const std::size_t s = slot(prefix, byte);
    child_[s] = static_cast<std::uint16_t>(encoder_next_++);
    used_slots_.push_back(s);
    return true;
  }

  bool table_full() const { return encoder_next_ >= kTableSize; }
  std::vector<std::uint8_t> finish() { return sink_.finish(); }

 private:
  static constexpr unsigned kReset = 256;
  static constexpr unsigned kTableSize = 4096;
  static std::size_t slot(unsigned prefix, std::uint8_t byte) {
    return static_cast<std::size_t>(prefix) * 256 + byte;
  }

  BitSink sink_;
  std::vector<std::uint16_t> child_ = std::vector<std::uint16_t>(kTableSize * 256, 0);
  std::vector<std::size_t> used_slots_;
  bool first_ = true;
  unsigned width_ = 9;
  unsigned decoder_next_ = 257;
  unsigned encoder_next_ = 257;
  std::size_t bits_since_reset_point_ = 0;
};

}  // namespace

std::vector<std::uint8_t> lzw_encode(std::span<const std::uint8_t> input,
                                     const LzwOptions& options) {
  std::vector<std::size_t> resets = options.reset_at;
  std::sort(resets.begin(), resets.end());
  auto next_reset = std::upper_bound(resets.begin(), resets.end(), std::size_t{0});

  LzwEncoder enc;
  constexpr int kNone = -1;
  int current = kNone;  // code of the string matched so far
  for (std::size_t i = 0; i < input.size(); ++i) {
    for (; next_reset != resets.end() && *next_reset <= i; ++next_reset) {
      if (current != kNone) {
        enc.emit(static_cast<unsigned>(current));
        current = kNone;
      }
      enc.emit_reset();
    }
    const std::uint8_t byte = input[i];
    if (current == kNone) {
      current = byte;
      continue;
    }
    if (const unsigned code = enc.child(static_cast<unsigned>(current), byte); code != 0) {
      current = static_cast<int>(code);
      continue;
    }
    enc.emit(static_cast<unsigned>(current));
    enc.learn(static_cast<unsigned>(current), byte);
    current = byte;
    if (options.reset_when_full && enc.table_full()) enc.emit_reset();
  }
  if (current != kNone) enc.emit(static_cast<unsigned>(current));
  if (!input.empty()) {
    for (; next_reset != resets.end(); ++next_reset) enc.emit_reset();
  }
  return enc.finish();
}

std::vector<std::uint8_t> rle_compress(std::span<const std::uint8_t> input) {
  return compressed_payload(1, static_cast<std::uint32_t>(input.size()), rle_encode(input));
}

std::vector<std::uint8_t> lzw_compress(std::span<const std::uint8_t> input,
                                       const LzwOptions& options) {
  return compressed_payload(2, static_cast<std::uint32_t>(input.size()),
                            lzw_encode(input, options));
}

}  // namespace ot::authoring
