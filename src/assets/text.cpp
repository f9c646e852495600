#include "assets/text.h"

namespace ot {

void append_utf8(std::string& out, char32_t cp) {
  auto put = [&](std::uint32_t v) { out.push_back(static_cast<char>(v)); };
  const auto c = static_cast<std::uint32_t>(cp);
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one sequence starting at bytes[i]. Returns the scalar value, or kReplacement for
// an ill-formed maximal subpart; `length` is the number of bytes consumed (at least 1).
char32_t decode_one(std::span<const std::uint8_t> bytes, std::size_t i, std::size_t& length) {
  const std::uint8_t b0 = bytes[i];
  length = 1;
  if (b0 < 0x80) return b0;
  std::size_t need = 0;
  std::uint8_t lo = 0x80, hi = 0xBF;
  char32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return kReplacement;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= bytes.size()) return kReplacement;
    const std::uint8_t b = bytes[i + k];
    if (b < lo || b > hi) return kReplacement;
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3Fu);
    length = k + 1;
  }
  return cp;
}

}  // namespace

std::string to_text(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t length = 1;
    const char32_t cp = decode_one(bytes, i, length);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else {
      append_utf8(out, cp);
    }
    i += length;
  }
  return out;
}

std::string to_text(std::string_view bytes) {
  return to_text(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string utf16_to_text(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (static_cast<char32_t>(units[i + 1]) - 0xDC00);
      append_utf8(out, cp);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      append_utf8(out, kReplacement);
    } else {
      append_utf8(out, u);
    }
  }
  return out;
}

char32_t next_scalar(std::string_view text, std::size_t& pos) {
  std::size_t length = 1;
  const char32_t cp = decode_one(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), pos, length);
  pos += length;
  return cp;
}

std::string ascii_upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

bool ascii_iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

}  // namespace ot
