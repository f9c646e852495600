// The settings file TOBELUND.INI: switches and the story's progress across runs.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <system_error>

#include "assets/data_files.h"

namespace ot {

struct Settings {
  // The engine's stored state.
  std::int32_t calendar_day_count = 0;  // NumDays
  std::int32_t story_day = 0;           // Introduction
  std::int32_t story_day_mark = 0;      // not stored; 0 after reading
  std::int32_t stored_year = 0;         // CurrentYear
  std::int32_t stored_month = 0;        // CurrentMonth
  std::int32_t stored_day = 0;          // CurrentDay
  std::int32_t start_time = 900;        // StartTime, hhmm
  // Switches.
  bool background = true;
  bool clouds = true;
  bool waves = true;
  bool sounds = true;
  bool dedither = false;
  bool soft_audio = false;

  bool operator==(const Settings&) const = default;
};

// True when the seven stored-state values are equal (the switches are not compared).
bool same_stored_state(const Settings& a, const Settings& b);

// "TOBELUND.INI" in the data directory (the program's own directory when no candidate holds the
// data files), searched once per run and remembered: the first call decides.
const std::filesystem::path& settings_path(ProgramKind program);

// Never fails: an unusable file gives the defaults and is rewritten with them (a failed rewrite
// prints "warning: cannot write {}: {}").
Settings read_settings(const std::filesystem::path& path);

// The whole file through "TOBELUND.INI.tmp" and a replacing rename.
std::expected<void, std::error_code> write_settings(const Settings& settings,
                                                    const std::filesystem::path& path);

// The file's text for `settings`.
std::string settings_text(const Settings& settings);

}  // namespace ot
