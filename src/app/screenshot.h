// F12 screenshots: the raw palette picture and the presented one, as PNG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "assets/images.h"
#include "engine/local_time.h"

namespace ot {

// "screenshot-YYYYMMDD-HHMM-TICK".
std::string screenshot_stem(const LocalTime& time, std::uint64_t tick_count);

// Writes "{stem}-raw.png" and "{stem}-view.png" into `directory`, reporting each on standard
// error ("saved {}" or "warning: cannot save {}: {}"). Never fails toward the caller.
void save_screenshot(const std::filesystem::path& directory,
                     std::span<const std::uint8_t> shown_layer, const Palette& palette,
                     bool dedither, const LocalTime& time, std::uint64_t tick_count);

// The same into the executable's directory.
void save_screenshot(std::span<const std::uint8_t> shown_layer, const Palette& palette,
                     bool dedither, const LocalTime& time, std::uint64_t tick_count);

}  // namespace ot
