#include "app/startup_resources.h"

#include <algorithm>

#include "platform/clock.h"

namespace ot {

Settings merge_overrides(const Settings& file, const SettingsOverrides& overrides) {
  Settings merged = file;
  merged.background = overrides.background.value_or(file.background);
  merged.clouds = overrides.clouds.value_or(file.clouds);
  merged.waves = overrides.waves.value_or(file.waves);
  merged.sounds = overrides.sounds.value_or(file.sounds);
  merged.dedither = overrides.dedither || file.dedither;
  merged.soft_audio = overrides.soft_audio || file.soft_audio;
  return merged;
}

namespace {

Result<std::shared_ptr<const SpriteSheet>> shared_sheet(const ResourceArchive& archive,
                                                        std::string_view name) {
  auto sheet = load_sprite_sheet(archive, name);
  if (!sheet) return std::unexpected(std::move(sheet.error()));
  return std::make_shared<const SpriteSheet>(std::move(*sheet));
}

}  // namespace

Result<StartupData> try_load_startup_resources(LoadedData data,
                                               const std::filesystem::path& settings_file,
                                               const SettingsOverrides& overrides) {
  StartupData out;
  out.data_directory = std::move(data.data_directory);
  out.archive = std::move(data.archive);

  auto tables = read_executable(data.executable);
  if (!tables) return std::unexpected(std::move(tables.error()));
  out.tables = std::move(*tables);
  data.executable = {};

  out.clock_reading = platform::wall_clock_file_time();

  out.file_settings = read_settings(settings_file);
  out.settings = merge_overrides(out.file_settings, overrides);

  // Sound output opens here once the sound player exists.

  const bool has_final =
      std::any_of(out.tables.catalog.begin(), out.tables.catalog.end(),
                  [](const CatalogEntry& e) { return (e.flags & kFinalSceneFlag) != 0; });
  if (!has_final) return invalid("scene catalog has no final scene");

  auto palette = load_palette(out.archive, "ZEBOHUES.PAL");
  if (!palette) return std::unexpected(std::move(palette.error()));
  out.palette = *palette;

  const std::pair<std::string_view, std::shared_ptr<const SpriteSheet>*> sheets[] = {
      {"ZEBOWALK.BMP", &out.walk_sheet},
      {"BACKGRND.BMP", &out.background_sheet},
      {"MRAFT.BMP", &out.raft_sheet},
      {"HOLIDAY.BMP", &out.holiday_sheet},
  };
  for (const auto& [name, target] : sheets) {
    auto sheet = shared_sheet(out.archive, name);
    if (!sheet) return std::unexpected(std::move(sheet.error()));
    *target = std::move(*sheet);
  }

  auto intro = load_screen_image(out.archive, "INTRO.SCR");
  if (!intro) return std::unexpected(std::move(intro.error()));
  paste_screen(out.initial_picture, *intro);
  return out;
}

StartupData load_startup_resources(LoadedData data, ProgramKind program, FatalStyle style,
                                   const SettingsOverrides& overrides, bool want_sound) {
  static_cast<void>(want_sound);  // the sound output joins with the sound player
  auto startup = try_load_startup_resources(std::move(data), settings_path(program), overrides);
  if (!startup) fail_startup(style, startup.error(), false);
  return std::move(*startup);
}

}  // namespace ot
