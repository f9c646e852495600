// Little-endian byte composition for the writers of every format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ot::authoring {

class ByteWriter {
 public:
  ByteWriter& u8(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  ByteWriter& u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
  ByteWriter& u32(std::uint32_t v) { return u16(v).u16(v >> 16); }
  ByteWriter& bytes(std::span<const std::uint8_t> b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& text(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  // `s` cut or zero-padded to exactly `width` bytes.
  ByteWriter& fixed_text(std::string_view s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    return *this;
  }
  ByteWriter& zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  void put_u16_at(std::size_t offset, std::uint32_t v) {
    bytes_[offset] = static_cast<std::uint8_t>(v);
    bytes_[offset + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void put_u32_at(std::size_t offset, std::uint32_t v) {
    put_u16_at(offset, v);
    put_u16_at(offset + 2, v >> 16);
  }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& view() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace ot::authoring
