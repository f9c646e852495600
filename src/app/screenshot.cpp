#include "app/screenshot.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "app/messages.h"
#include "assets/data_files.h"
#include "present/png.h"
#include "present/present.h"

namespace ot {

namespace fs = std::filesystem;

namespace {

// Creates (or replaces) the file and writes all bytes in one write; the error's text on failure.
std::string write_whole(const fs::path& path, std::span<const std::uint8_t> bytes) {
#ifdef _WIN32
  std::FILE* file = _wfopen(path.c_str(), L"wb");
#else
  std::FILE* file = std::fopen(path.c_str(), "wb");
#endif
  if (file == nullptr) return std::generic_category().message(errno != 0 ? errno : EIO);
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return {};
  const int code = !written ? write_errno : errno;
  return std::generic_category().message(code != 0 ? code : EIO);
}

}  // namespace

std::string screenshot_stem(const LocalTime& time, std::uint64_t tick_count) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "screenshot-%04d%02d%02d-%02d%02d-%llu", time.year, time.month,
                time.day, time.hour, time.minute, static_cast<unsigned long long>(tick_count));
  return buf;
}

void save_screenshot(const fs::path& directory, std::span<const std::uint8_t> shown_layer,
                     const Palette& palette, bool dedither, const LocalTime& time,
                     std::uint64_t tick_count) {
  const std::string stem = screenshot_stem(time, tick_count);
  const std::vector<std::uint32_t> view = to_colour(shown_layer, palette, dedither);
  const std::vector<std::uint32_t> raw = dedither ? to_colour(shown_layer, palette, false) : view;
  for (const auto& [kind, image] : {std::pair{"raw", &raw}, std::pair{"view", &view}}) {
    const fs::path path = directory / (stem + "-" + kind + ".png");
    const std::string error = write_whole(path, encode_png(*image));
    if (error.empty()) {
      print_line("saved " + display_path(path));
    } else {
      print_warning("cannot save " + display_path(path) + ": " + error);
    }
  }
}

void save_screenshot(std::span<const std::uint8_t> shown_layer, const Palette& palette,
                     bool dedither, const LocalTime& time, std::uint64_t tick_count) {
  save_screenshot(executable_directory(), shown_layer, palette, dedither, time, tick_count);
}

}  // namespace ot
