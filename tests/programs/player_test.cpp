// Black-box runs of the console player: exit statuses and exact output.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "authoring/archive_writer.h"
#include "authoring/byte_writer.h"
#include "support/data_set.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;
using test::run_program;
using test::TempDir;
using test::write_file;

std::vector<std::uint8_t> valid_map_and_data(std::vector<std::uint8_t>* data) {
  const std::vector<authoring::ArchiveResource> resources{
      {"ZEBOHUES.PAL", authoring::chunk("VGA:", {})}};
  auto files = authoring::write_archive(resources);
  *data = std::move(files.data);
  return files.map;
}

// A directory holding the player and (some of) its data files.
struct Install {
  TempDir dir;
  fs::path player = test::install_program(OT_PLAYER_PATH, dir.path());

  void write_data(std::string_view scr = "TOBELUND.SCR", std::string_view map = "RESOURCE.MAP",
                  std::string_view data = "RESOURCE.001", const test::DataSet& set = {}) {
    const auto archive = set.archive();
    write_file(dir / scr, authoring::write_executable(set.executable).bytes);
    write_file(dir / map, archive.map);
    write_file(dir / data, archive.data);
  }
  void write_data(const test::DataSet& set) {
    write_data("TOBELUND.SCR", "RESOURCE.MAP", "RESOURCE.001", set);
  }
  test::ProgramRun run(std::vector<std::string> args = {}) { return run_program(player, args); }
};

TEST(Player, CommandLineStops) {
  Install install;
  const std::string usage(usage_text());
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--help"}, 0, usage + "\n", ""},
      {{"-h"}, 0, usage + "\n", ""},
      {{"--version"}, 0, "open-tobelund 0.5.0\n", ""},
      {{"--version", "--bogus"}, 0, "open-tobelund 0.5.0\n", ""},
      {{"--colour"}, 2, "", "unknown argument --colour\n\n" + usage + "\n"},
      {{"--bogus", "--version"}, 2, "", "unknown argument --bogus\n\n" + usage + "\n"},
      {{"--sounds=yes"}, 2, "", "--sounds takes 0 or 1, not yes\n\n" + usage + "\n"},
      {{"--waves="}, 2, "", "--waves takes 0 or 1, not \n\n" + usage + "\n"},
  };
  for (const auto& c : cases) {
    const auto run = install.run(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_EQ(run.out, c.out) << c.args[0];
    EXPECT_EQ(run.err, c.err) << c.args[0];
  }
}

constexpr std::string_view kDefaultSettings =
    "[ScreenSaver.Driftrevel]\nBackground=1\nClouds=1\nWaves=1\nSounds=1\nDedither=0\nSoftAudio=0\n"
    "NumDays=0\nIntroduction=0\nCurrentYear=0\nCurrentMonth=0\nCurrentDay=0\nStartTime=900\n";

std::string text_of(const fs::path& path) {
  const auto bytes = test::read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Player, LoadsTheDataAndEnds) {
  Install install;
  install.write_data("tobelund.scr", "resource.map", "Resource.001");
  const auto run = install.run({"--fullscreen", "--cover-others", "--sounds=0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  // No settings file yet: the defaults are written.
  EXPECT_EQ(text_of(install.dir / "TOBELUND.INI"), kDefaultSettings);
}

TEST(Player, SettingsFileIsKeptOrRepaired) {
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"[Other]\nSounds=7\n", "[Other]\nSounds=7\n"},  // nothing of ours: left alone
      {"[screensaver.driftrevel]\n NumDays = 3 \nStartTime=+930\n",
       "[screensaver.driftrevel]\n NumDays = 3 \nStartTime=+930\n"},
      {"[ScreenSaver.Driftrevel]\nSounds=2\n", std::string(kDefaultSettings)},
      {"[ScreenSaver.Driftrevel]\n; a comment\n", std::string(kDefaultSettings)},
  };
  for (const auto& c : cases) {
    Install install;
    install.write_data();
    write_file(install.dir / "TOBELUND.INI", c.before);
    const auto run = install.run({"--sounds=0"});  // an override is not written back
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(text_of(install.dir / "TOBELUND.INI"), c.after) << c.before;
  }
}

TEST(Player, StartupErrors) {
  authoring::ExecutableSpec wrong_build = authoring::default_executable_spec();
  wrong_build.ads_names.at(1).name = "ACTIVITY.ADX";
  authoring::ExecutableSpec no_final = authoring::default_executable_spec();
  for (auto& record : no_final.catalog) record.flags &= ~0x4u;

  std::vector<std::uint8_t> not_ne(64, 0);
  not_ne[0] = 'M';
  not_ne[1] = 'Z';
  not_ne[60] = 62;  // "NE" would have to be at 62: the file ends there

  const struct {
    std::optional<std::vector<std::uint8_t>> executable;
    std::optional<authoring::ExecutableSpec> plan;
    std::string missing_resource;
    std::string err;
    bool settings_read;  // the settings file is read (here: written) before the catalog check
  } cases[] = {
      {std::vector<std::uint8_t>{'M', 'Z'},
       {},
       "",
       "invalid screensaver data: TOBELUND is not an executable",
       false},
      {not_ne, {}, "", "invalid screensaver data: TOBELUND is not a Win16 NE executable", false},
      {{},
       wrong_build,
       "",
       "invalid screensaver data: unsupported TOBELUND.SCR build (expected the 1992 release)",
       false},
      {{}, no_final, "", "invalid screensaver data: scene catalog has no final scene", true},
      {{}, {}, "HOLIDAY.BMP", "missing screensaver file: HOLIDAY.BMP", true},
      {{}, {}, "ZEBOHUES.PAL", "missing screensaver file: ZEBOHUES.PAL", true},
      {{}, {}, "INTRO.SCR", "missing screensaver file: INTRO.SCR", true},
  };
  for (const auto& c : cases) {
    Install install;
    test::DataSet set;
    if (c.plan) set.executable = *c.plan;
    if (!c.missing_resource.empty()) set.without(c.missing_resource);
    install.write_data(set);
    if (c.executable) write_file(install.dir / "TOBELUND.SCR", *c.executable);
    const auto run = install.run();
    EXPECT_EQ(run.status, 1) << c.err;
    EXPECT_EQ(run.err, "error: " + c.err + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(fs::exists(install.dir / "TOBELUND.INI"), c.settings_read) << c.err;
  }
}

TEST(Player, MissingFiles) {
  Install install;
  const std::string dir = install.dir.path().string();
  auto run = install.run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: missing screensaver file: TOBELUND.SCR in " + dir + "\n");
  EXPECT_EQ(run.out, "");

  install.write_data();
  fs::remove(install.dir / "RESOURCE.001");
  run = install.run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: missing screensaver file: RESOURCE.001 in " + dir + "\n");
}

TEST(Player, DataErrors) {
  std::vector<std::uint8_t> data;
  const auto map = valid_map_and_data(&data);
  authoring::ByteWriter out_of_range;
  out_of_range.zeros(19).u16(1).u32(0).u32(2000);
  authoring::ByteWriter data_out_of_range;
  data_out_of_range.fixed_text("big.bmp", 13).u32(5000).zeros(1100);

  const struct {
    std::vector<std::uint8_t> map, data;
    std::string err;
  } cases[] = {
      {map, std::vector<std::uint8_t>(1023, 0),
       "invalid screensaver data: RESOURCE.001 is the installer placeholder; install the "
       "screensaver first"},
      {{},
       std::vector<std::uint8_t>(1023, 0),  // the placeholder is reported before the index
       "invalid screensaver data: RESOURCE.001 is the installer placeholder; install the "
       "screensaver first"},
      {std::vector<std::uint8_t>(20, 0), data, "invalid screensaver data: RESOURCE.MAP too small"},
      {[] {
         authoring::ByteWriter w;
         w.zeros(19).u16(3).zeros(8);
         return w.take();
       }(),
       data, "invalid screensaver data: truncated data"},
      {out_of_range.view(), data, "invalid screensaver data: RESOURCE.MAP entry out of range"},
      {[] {
         authoring::ByteWriter w;
         w.zeros(19).u16(1).u32(0).u32(0);
         return w.take();
       }(),
       data_out_of_range.view(), "invalid screensaver data: BIG.BMP: data out of range"},
  };
  for (const auto& c : cases) {
    Install install;
    write_file(install.dir / "TOBELUND.SCR", "MZ");
    write_file(install.dir / "RESOURCE.MAP", c.map);
    write_file(install.dir / "RESOURCE.001", c.data);
    const auto run = install.run();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "error: " + c.err + "\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST(Player, ImplausibleFiles) {
  Install install;
  install.write_data();
  fs::remove(install.dir / "TOBELUND.SCR");
  fs::create_directory(install.dir / "Tobelund.Scr");
  auto run = install.run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err,
      "error: invalid screensaver data: TOBELUND.SCR is not a regular file of a plausible size\n");

  fs::remove(install.dir / "Tobelund.Scr");
  write_file(install.dir / "TOBELUND.SCR", "MZ");
  fs::resize_file(install.dir / "RESOURCE.MAP", 0x4000001);
  run = install.run();
  EXPECT_EQ(
      run.err,
      "error: invalid screensaver data: RESOURCE.MAP is not a regular file of a plausible size\n");
}

TEST(Player, DetailsAreSanitisedForDisplay) {
  Install install;
  // A data directory whose name carries a control character shows it escaped.
  const fs::path odd = install.dir / "tab\there";
  fs::create_directory(odd);
  const fs::path player = test::install_program(OT_PLAYER_PATH, odd);
  const auto run = run_program(player, {});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: missing screensaver file: TOBELUND.SCR in " +
                         install.dir.path().string() + "/tab\\there\n");
}

}  // namespace
}  // namespace ot
