#include "assets/data_error.h"

#include <cstdio>

#include "assets/text.h"

namespace ot {

std::string DataError::display_text() const {
  switch (kind) {
    case DataErrorKind::Io:
      return "I/O error: " + detail;
    case DataErrorKind::Missing:
      return "missing screensaver file: " + sanitize_detail(detail);
    case DataErrorKind::Invalid:
      break;
  }
  return "invalid screensaver data: " + sanitize_detail(detail);
}

std::string sanitize_detail(std::string_view detail) {
  constexpr std::size_t kShown = 256;
  std::string out;
  out.reserve(detail.size() + 8);
  std::size_t pos = 0;
  std::size_t count = 0;
  while (pos < detail.size()) {
    if (count == kShown) {
      out += "...";
      break;
    }
    const char32_t cp = next_scalar(detail, pos);
    ++count;
    if (cp == U'\t') {
      out += "\\t";
    } else if (cp == U'\n') {
      out += "\\n";
    } else if (cp == U'\r') {
      out += "\\r";
    } else if (cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F)) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(cp));
      out += buf;
    } else {
      append_utf8(out, cp);  // stray invalid bytes come out as U+FFFD
    }
  }
  return out;
}

}  // namespace ot
