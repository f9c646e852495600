#include "assets/data_files.h"

#include <gtest/gtest.h>

#include "support/printers.h"

#include <cstdlib>

#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_file;

std::vector<std::uint8_t> filled(std::size_t n, std::uint8_t v) {
  return std::vector<std::uint8_t>(n, v);
}

void write_set(const fs::path& dir, std::string_view scr, std::string_view map,
               std::string_view data, std::size_t data_size = 1024) {
  write_file(dir / scr, filled(10, 0x5A));
  write_file(dir / map, filled(21, 0));
  write_file(dir / data, filled(data_size, 0x01));
}

TEST(DataFiles, FindsAndReadsNamesInAnyLetterCase) {
  TempDir dir;
  write_set(dir.path(), "tobelund.scr", "Resource.Map", "resource.001");
  const std::vector<fs::path> candidates{dir.path()};
  auto loaded = load_data_files(candidates);
  ASSERT_TRUE(loaded) << loaded.error().display_text();
  EXPECT_EQ(loaded->data_directory, dir.path());
  EXPECT_EQ(loaded->files.executable, filled(10, 0x5A));
  EXPECT_EQ(loaded->files.map.size(), 21u);
  EXPECT_EQ(loaded->files.archive.size(), 1024u);
}

TEST(DataFiles, FirstCandidateHoldingTheExecutableWins) {
  TempDir a, b;
  write_set(b.path(), "TOBELUND.SCR", "RESOURCE.MAP", "RESOURCE.001");
  const std::vector<fs::path> only_second{a / "absent", a.path(), b.path()};
  EXPECT_EQ(find_data_directory(only_second).value(), b.path());
  write_set(a.path(), "TOBELUND.SCR", "RESOURCE.MAP", "RESOURCE.001");
  EXPECT_EQ(find_data_directory(only_second).value(), a.path());
}

TEST(DataFiles, NoCandidateNamesThemAll) {
  TempDir a;
  const std::vector<fs::path> one{a.path()};
  EXPECT_EQ(find_data_directory(one).error(),
            DataError::missing("TOBELUND.SCR in " + a.path().string()));
  const std::vector<fs::path> two{a.path(), a / "OpenTobelund"};
  EXPECT_EQ(find_data_directory(two).error().detail,
            "TOBELUND.SCR in " + a.path().string() + " or " + (a / "OpenTobelund").string());
}

TEST(DataFiles, ADirectoryNamedLikeTheExecutableIsFoundButNotRead) {
  TempDir dir;
  fs::create_directory(dir / "TOBELUND.SCR");
  write_file(dir / "RESOURCE.MAP", filled(21, 0));
  write_file(dir / "RESOURCE.001", filled(1024, 0));
  const std::vector<fs::path> candidates{dir.path()};
  EXPECT_EQ(find_data_directory(candidates).value(), dir.path());
  EXPECT_EQ(load_data_files(candidates).error(),
            DataError::invalid("TOBELUND.SCR is not a regular file of a plausible size"));
}

TEST(DataFiles, ReadFailures) {
  TempDir dir;
  write_file(dir / "tobelund.scr", filled(3, 0));
  EXPECT_EQ(read_data_file(dir.path(), "RESOURCE.MAP").error(),
            DataError::missing("RESOURCE.MAP in " + dir.path().string()));
  const auto unlisted = read_data_file(dir / "gone", "RESOURCE.MAP");
  ASSERT_FALSE(unlisted);
  EXPECT_EQ(unlisted.error().kind, DataErrorKind::Missing);
  EXPECT_TRUE(unlisted.error().detail.starts_with("screensaver directory " +
                                                  (dir / "gone").string() + " ("))
      << unlisted.error().detail;
  EXPECT_TRUE(unlisted.error().detail.ends_with(")"));
  // A link is followed: a dangling one cannot be queried.
  fs::create_symlink(dir / "nowhere", dir / "RESOURCE.001");
  EXPECT_EQ(read_data_file(dir.path(), "RESOURCE.001").error().kind, DataErrorKind::Io);
}

TEST(DataFiles, SizeLimits) {
  TempDir dir;
  const fs::path big = dir / "RESOURCE.001";
  write_file(big, filled(1, 7));
  fs::resize_file(big, kMaxDataFileSize);  // sparse
  auto read = read_data_file(dir.path(), "resource.001");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), kMaxDataFileSize);
  EXPECT_EQ((*read)[0], 7);
  fs::resize_file(big, kMaxDataFileSize + 1);
  EXPECT_EQ(read_data_file(dir.path(), "resource.001").error(),
            DataError::invalid("resource.001 is not a regular file of a plausible size"));
}

TEST(DataFiles, InstallerPlaceholderIsRejectedAfterAllThreeAreRead) {
  TempDir dir;
  write_set(dir.path(), "TOBELUND.SCR", "RESOURCE.MAP", "RESOURCE.001", 1023);
  const std::vector<fs::path> candidates{dir.path()};
  EXPECT_EQ(load_data_files(candidates).error(),
            DataError::invalid(
                "RESOURCE.001 is the installer placeholder; install the screensaver first"));
  fs::remove(dir / "RESOURCE.MAP");
  EXPECT_EQ(load_data_files(candidates).error().detail, "RESOURCE.MAP in " + dir.path().string());
}

TEST(DataFiles, CandidatesOfEachProgram) {
  const char* saved = std::getenv("APPDATA");
  const std::string saved_value = saved ? saved : "";
  setenv("APPDATA", "/somewhere/appdata", 1);
  const auto console = candidate_directories(ProgramKind::Console);
  const auto saver = candidate_directories(ProgramKind::Screensaver);
  unsetenv("APPDATA");
  const auto saver_without = candidate_directories(ProgramKind::Screensaver);
  if (saved) setenv("APPDATA", saved_value.c_str(), 1);

  const fs::path exe_dir = executable_directory();
  EXPECT_TRUE(fs::exists(exe_dir / "assets_tests")) << exe_dir;
  EXPECT_EQ(console, std::vector<fs::path>{exe_dir});
  EXPECT_EQ(saver, (std::vector<fs::path>{exe_dir, fs::path("/somewhere/appdata/OpenTobelund")}));
  EXPECT_EQ(saver_without, std::vector<fs::path>{exe_dir});
}

}  // namespace
}  // namespace ot
