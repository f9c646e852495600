// The error value of every data reader.
#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace ot {

enum class DataErrorKind { Io, Missing, Invalid };

struct DataError {
  DataErrorKind kind = DataErrorKind::Invalid;
  std::string detail;  // Io: the operating system's description; else the stored detail

  static DataError io(std::string description) {
    return {DataErrorKind::Io, std::move(description)};
  }
  static DataError missing(std::string detail) {
    return {DataErrorKind::Missing, std::move(detail)};
  }
  static DataError invalid(std::string detail) {
    return {DataErrorKind::Invalid, std::move(detail)};
  }

  // "I/O error: {}", "missing screensaver file: {}" or "invalid screensaver data: {}".
  std::string display_text() const;

  bool operator==(const DataError&) const = default;
};

template <class T>
using Result = std::expected<T, DataError>;

inline std::unexpected<DataError> invalid(std::string detail) {
  return std::unexpected(DataError::invalid(std::move(detail)));
}
inline std::unexpected<DataError> missing(std::string detail) {
  return std::unexpected(DataError::missing(std::move(detail)));
}

inline constexpr std::string_view kTruncatedData = "truncated data";

// Control characters escaped (\t, \n, \r, \u{h}); at most 256 characters, then "...".
std::string sanitize_detail(std::string_view detail);

}  // namespace ot
