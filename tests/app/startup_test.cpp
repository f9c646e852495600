#include "app/startup.h"
#include "app/startup_resources.h"

#include <gtest/gtest.h>

#include "support/printers.h"

#include <cstdlib>

#include "authoring/archive_writer.h"
#include "support/data_set.h"
#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class AppdataEnv {
 public:
  explicit AppdataEnv(const char* value) {
    if (const char* old = std::getenv("APPDATA")) saved_ = old;
    if (value) {
      setenv("APPDATA", value, 1);
    } else {
      unsetenv("APPDATA");
    }
  }
  ~AppdataEnv() {
    if (saved_) {
      setenv("APPDATA", saved_->c_str(), 1);
    } else {
      unsetenv("APPDATA");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST(ErrorBoxText, SetupHintOnlyForMissingDataFilesWithAppdata) {
  TempDir dir;
  const fs::path appdata = dir / "Roaming" / "deep";
  const DataError missing = DataError::missing("TOBELUND.SCR in /a or /b");
  {
    AppdataEnv env(appdata.c_str());
    EXPECT_EQ(
        error_box_text(missing, true),
        "missing screensaver file: TOBELUND.SCR in /a or /b\n\nCopy TOBELUND.SCR, RESOURCE.MAP and "
        "RESOURCE.001 of the original screensaver to:\n" +
            (appdata / "OpenTobelund").string());
    EXPECT_TRUE(fs::is_directory(appdata / "OpenTobelund"));  // missing parents too

    EXPECT_EQ(error_box_text(missing, false), missing.display_text());
    const DataError placeholder = DataError::invalid(
        "RESOURCE.001 is the installer placeholder; install the screensaver first");
    EXPECT_EQ(error_box_text(placeholder, true),
              "invalid screensaver data: RESOURCE.001 is the installer placeholder; install the "
              "screensaver first");
  }
  {
    AppdataEnv env(nullptr);
    EXPECT_EQ(error_box_text(missing, true), missing.display_text());
  }
  {
    // A folder that cannot be created still gives the advice.
    test::write_file(dir / "file", "x");
    AppdataEnv env((dir / "file").c_str());
    EXPECT_TRUE(
        error_box_text(missing, true).ends_with("\n" + (dir / "file" / "OpenTobelund").string()));
  }
}

TEST(LoadData, FailuresAreMarkedByTheirStep) {
  TempDir dir;
  const std::vector<fs::path> candidates{dir.path()};
  auto none = try_load_data(candidates);
  ASSERT_FALSE(none);
  EXPECT_TRUE(none.error().from_data_files);
  EXPECT_EQ(none.error().error.kind, DataErrorKind::Missing);

  test::write_file(dir / "TOBELUND.SCR", "MZ");
  test::write_file(dir / "RESOURCE.MAP", std::string(20, '\0'));
  test::write_file(dir / "RESOURCE.001", std::string(1024, '\0'));
  auto small_map = try_load_data(candidates);
  ASSERT_FALSE(small_map);
  EXPECT_FALSE(small_map.error().from_data_files);
  EXPECT_EQ(small_map.error().error, DataError::invalid("RESOURCE.MAP too small"));

  const ot::authoring::ArchiveResource res{"A.PAL", {}};
  const auto files = authoring::write_archive(std::span(&res, 1));
  test::write_file(dir / "RESOURCE.MAP", files.map);
  test::write_file(dir / "RESOURCE.001", files.data);
  auto loaded = try_load_data(candidates);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->data_directory, dir.path());
  EXPECT_EQ(loaded->executable, (std::vector<std::uint8_t>{'M', 'Z'}));
  EXPECT_TRUE(loaded->archive.index.contains("A.PAL"));
}

}  // namespace
}  // namespace ot

namespace ot {
namespace {

TEST(FailStartupDeathTest, EachStyleEndsWithStatusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DataError error = DataError::invalid("RESOURCE.MAP too small");
  EXPECT_EXIT(fail_startup(FatalStyle::Console, error, false), testing::ExitedWithCode(1),
              "^error: invalid screensaver data: RESOURCE\\.MAP too small\n$");
  EXPECT_EXIT(fail_startup(FatalStyle::Silent, error, false), testing::ExitedWithCode(1), "^$");
  // Without a window system the box's text goes to standard error, without "error: ".
  EXPECT_EXIT(fail_startup(FatalStyle::MessageBox, error, false), testing::ExitedWithCode(1),
              "^invalid screensaver data: RESOURCE\\.MAP too small\n$");
  EXPECT_EXIT(fail_startup(FatalStyle::Console, "cannot create the event loop"),
              testing::ExitedWithCode(1), "^error: cannot create the event loop\n$");
}

}  // namespace
}  // namespace ot

namespace ot {
namespace {

TEST(StartupResources, MergeOverrides) {
  Settings file;
  file.background = false;
  file.sounds = true;
  file.dedither = true;
  SettingsOverrides none;
  EXPECT_EQ(merge_overrides(file, none), file);

  SettingsOverrides some;
  some.background = true;
  some.sounds = false;
  some.soft_audio = true;
  Settings expected = file;
  expected.background = true;
  expected.sounds = false;
  expected.soft_audio = true;
  EXPECT_EQ(merge_overrides(file, some), expected);  // Dedither stays on: it cannot be forced off
}

TEST(StartupResources, LoadsTheFixedSetAndTheInitialPicture) {
  TempDir dir;
  test::write_data_set(dir.path());
  const std::vector<fs::path> candidates{dir.path()};
  auto loaded = try_load_data(candidates);
  ASSERT_TRUE(loaded);
  SettingsOverrides overrides;
  overrides.clouds = false;
  auto startup = try_load_startup_resources(std::move(*loaded), dir / "TOBELUND.INI", overrides);
  ASSERT_TRUE(startup) << startup.error().display_text();
  EXPECT_EQ(startup->walk_sheet->frames.size(), 3u);
  EXPECT_EQ(startup->background_sheet->frames.size(), 3u);
  EXPECT_EQ(startup->raft_sheet->frames.size(), 2u);
  EXPECT_EQ(startup->holiday_sheet->frames.size(), 1u);
  EXPECT_FALSE(startup->tables.catalog.empty());
  EXPECT_TRUE(startup->file_settings.clouds);
  EXPECT_FALSE(startup->settings.clouds);
  EXPECT_GT(startup->clock_reading, 116444736000000000ull);

  // INTRO.SCR of the set is 320 x 200: its pixels at the top left, zeros elsewhere.
  auto intro = load_screen_image(startup->archive, "INTRO.SCR");
  ASSERT_TRUE(intro);
  ASSERT_EQ(intro->width, 320);
  const auto picture = startup->initial_picture.pixels();
  for (std::size_t y = 0; y < 480; ++y) {
    for (std::size_t x = 0; x < 640; ++x) {
      const std::uint8_t expected = (x < 320 && y < 200) ? intro->pixels[y * 320 + x] : 0;
      ASSERT_EQ(picture[y * 640 + x], expected) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace ot
