// Text taken from data files and file systems: lossy UTF-8 / UTF-16 decoding and ASCII case
// folding.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ot {

// Bytes as UTF-8 text; every invalid sequence (maximal subpart) becomes U+FFFD.
std::string to_text(std::span<const std::uint8_t> bytes);
std::string to_text(std::string_view bytes);

// UTF-16 code units as UTF-8 text; unpaired surrogates become U+FFFD.
std::string utf16_to_text(std::u16string_view units);

// Appends code point cp (a Unicode scalar value) to out as UTF-8.
void append_utf8(std::string& out, char32_t cp);

// Decodes the next scalar value of valid UTF-8 text at pos and advances pos.
char32_t next_scalar(std::string_view text, std::size_t& pos);

constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string ascii_upper(std::string_view text);

// Equal length in bytes and equal after folding A-Z to lower case.
bool ascii_iequal(std::string_view a, std::string_view b);

}  // namespace ot
