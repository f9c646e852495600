// The resources every run needs, loaded in a fixed order after the data files are read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "assets/archive.h"
#include "assets/exe.h"
#include "assets/images.h"
#include "engine/gfx.h"

namespace ot {

// What the program front changes for this run only.
struct SettingsOverrides {
  std::optional<bool> background;
  std::optional<bool> clouds;
  std::optional<bool> waves;
  std::optional<bool> sounds;
  bool dedither = false;    // forced on
  bool soft_audio = false;  // forced on
};

struct StartupData {
  std::filesystem::path data_directory;
  ResourceArchive archive;
  ExecutableTables tables;
  std::uint64_t clock_reading = 0;  // wall clock as a Windows file time
  Settings settings;                // as merged with the overrides
  Settings file_settings;           // as read from the file
  Palette palette;
  std::shared_ptr<const SpriteSheet> walk_sheet;        // ZEBOWALK.BMP
  std::shared_ptr<const SpriteSheet> background_sheet;  // BACKGRND.BMP
  std::shared_ptr<const SpriteSheet> raft_sheet;        // MRAFT.BMP
  std::shared_ptr<const SpriteSheet> holiday_sheet;     // HOLIDAY.BMP
  Layer initial_picture;                                // INTRO.SCR pasted onto zeros
};

Settings merge_overrides(const Settings& file, const SettingsOverrides& overrides);

// On any loading failure ends through fail_startup.
StartupData load_startup_resources(LoadedData data, ProgramKind program, FatalStyle style,
                                   const SettingsOverrides& overrides, bool want_sound);

// The steps that can fail, for callers that report errors themselves. `settings_file` is read
// (and repaired) on the way.
Result<StartupData> try_load_startup_resources(LoadedData data,
                                               const std::filesystem::path& settings_file,
                                               const SettingsOverrides& overrides);

}  // namespace ot
