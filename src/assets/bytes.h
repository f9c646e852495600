// The one bounds-checked little-endian reader over data-file bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>

#include "assets/data_error.h"

namespace ot {

using Bytes = std::span<const std::uint8_t>;

// Reads an unsigned or signed little-endian integer of sizeof(T) bytes at offset, if it fits.
template <class T>
requires std::is_integral_v<T>
constexpr std::optional<T> peek_le(Bytes bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
  std::make_unsigned_t<T> v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    v = static_cast<std::make_unsigned_t<T>>(
        v | (static_cast<std::make_unsigned_t<T>>(bytes[offset + i]) << (8 * i)));
  }
  return static_cast<T>(v);
}

template <class T>
Result<T> read_le(Bytes bytes, std::size_t offset) {
  if (auto v = peek_le<T>(bytes, offset)) return *v;
  return invalid(std::string(kTruncatedData));
}

// A cursor over a byte slice: peek, try-read (position unchanged on failure), read (an error on
// a short read), skip.
class ByteReader {
 public:
  explicit ByteReader(Bytes bytes, std::size_t position = 0) : bytes_(bytes), pos_(position) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
  bool at_end() const { return remaining() == 0; }
  Bytes bytes() const { return bytes_; }

  template <class T>
  std::optional<T> peek() const {
    return peek_le<T>(bytes_, pos_);
  }

  template <class T>
  std::optional<T> try_read() {
    auto v = peek_le<T>(bytes_, pos_);
    if (v) pos_ += sizeof(T);
    return v;
  }

  template <class T>
  Result<T> read() {
    if (auto v = try_read<T>()) return *v;
    return invalid(std::string(kTruncatedData));
  }

  std::optional<Bytes> try_read_bytes(std::size_t n) {
    if (remaining() < n) return std::nullopt;
    Bytes out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
  }

  Result<Bytes> read_bytes(std::size_t n) {
    if (auto b = try_read_bytes(n)) return *b;
    return invalid(std::string(kTruncatedData));
  }

  Result<void> skip(std::size_t n) {
    if (remaining() < n) return invalid(std::string(kTruncatedData));
    pos_ += n;
    return {};
  }

 private:
  Bytes bytes_;
  std::size_t pos_;
};

}  // namespace ot
