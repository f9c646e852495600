#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "support/temp_dir.h"

namespace ot {

void PrintTo(const Settings& s, std::ostream* os) {
  *os << "{days " << s.calendar_day_count << ", story " << s.story_day << ", mark "
      << s.story_day_mark << ", date " << s.stored_year << '-' << s.stored_month << '-'
      << s.stored_day << ", start " << s.start_time << ", switches " << s.background << s.clouds
      << s.waves << s.sounds << s.dedither << s.soft_audio << '}';
}

namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view kDefaultText =
    "[ScreenSaver.Driftrevel]\nBackground=1\nClouds=1\nWaves=1\nSounds=1\nDedither=0\n"
    "SoftAudio=0\nNumDays=0\nIntroduction=0\nCurrentYear=0\nCurrentMonth=0\nCurrentDay=0\n"
    "StartTime=900\n";

std::string read_text(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = test::read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

class SettingsFile : public testing::Test {
 protected:
  fs::path path() const { return dir_ / "TOBELUND.INI"; }
  fs::path temp() const { return dir_ / "TOBELUND.INI.tmp"; }

  TempDir dir_;
};

TEST_F(SettingsFile, MissingFileIsCreatedWithTheDefaults) {
  EXPECT_EQ(read_settings(path()), Settings{});
  EXPECT_EQ(read_text(path()), kDefaultText);
  EXPECT_FALSE(fs::exists(temp()));
}

TEST_F(SettingsFile, UsableFilesAreReadAndLeftAlone) {
  std::string full_size = "[ScreenSaver.Driftrevel]\nSounds=0\n";
  full_size.resize(4096, '\n');
  const struct {
    const char* name;
    std::string text;
    Settings expected;
  } cases[] = {
      {"only other sections", "[Other]\nSounds=0\n[Options]\nNumDays=3\n", {}},
      {"header and key case, spaces, signs",
       "[screensaver.DRIFTREVEL]\n  sOuNdS = 0 \nnumdays\t=\t3\n\n   \nStartTime=+930\n"
       "CurrentDay=-0\nCurrentMonth=007\n",
       {.calendar_day_count = 3, .stored_month = 7, .start_time = 930, .sounds = false}},
      {"byte-order mark, CRLF, no final line feed",
       "\xEF\xBB\xBF[ScreenSaver.Driftrevel]\r\nClouds=0\r\nWaves=0",
       {.clouds = false, .waves = false}},
      {"Unicode white space",
       "\xE3\x80\x80[ScreenSaver.Driftrevel]\xC2\x85\n\xE1\x9A\x80"
       "Dedither\xC2\xA0=\xE2\x80\x82"
       "1\xE2\x80\xA9\xE2\x80\xAF\n",
       {.dedither = true}},
      {"last occurrence wins, other keys ignored",
       "[ScreenSaver.Driftrevel]\nWaves=0\nWaves=1\nNumDays=2\nNUMDAYS=5\nColour=red\n"
       "Limit=99999999999\n=7\n = x\nName=\xEF\xBF\xBD\nNum Days=1\n",
       {.calendar_day_count = 5}},
      {"only the exact header opens the section",
       "Sounds=2\n[Other]\nx\n[ScreenSaver.Driftrevel] extra\nNumDays=99\n"
       "[ScreenSaver.Driftrevel]\nSoftAudio=1\n[Other]\nSoftAudio=7\n",
       {.soft_audio = true}},
      {"upper bounds",
       "[ScreenSaver.Driftrevel]\nBackground=0\nClouds=0\nWaves=0\nSounds=0\nDedither=1\n"
       "SoftAudio=1\nNumDays=11\nIntroduction=12\nCurrentYear=9999\nCurrentMonth=12\n"
       "CurrentDay=31\nStartTime=2359\n",
       {.calendar_day_count = 11,
        .story_day = 12,
        .stored_year = 9999,
        .stored_month = 12,
        .stored_day = 31,
        .start_time = 2359,
        .background = false,
        .clouds = false,
        .waves = false,
        .sounds = false,
        .dedither = true,
        .soft_audio = true}},
      {"4096 bytes", full_size, {.sounds = false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file(path(), c.text);
    EXPECT_EQ(read_settings(path()), c.expected);
    EXPECT_EQ(read_text(path()), c.text);
    EXPECT_FALSE(fs::exists(temp()));
  }
}

TEST_F(SettingsFile, BadLineRevertsTheSectionButNotOtherSections) {
  const char* const bad_lines[] = {
      "Sounds=2",
      "Background=-1",
      "NumDays=12",
      "Introduction=13",
      "CurrentYear=10000",
      "CurrentMonth=13",
      "CurrentDay=32",
      "StartTime=960",   // 60 minutes
      "StartTime=2400",  // minutes fine, hours not
      "StartTime=-1",
      "x",
      "; a comment",
      "Sounds=1.0",
      "Sounds=+",
      "Sounds=-",
      "Sounds=",
      "Sounds=1 1",
      "Sounds=0x1",
      "Sounds=\xE2\x80\x8B"
      "1",                // zero-width space is not white space
      "Sounds=\xD9\xA1",  // a digit, but not an ASCII one
      "CurrentYear=2147483648",
      "CurrentYear=-2147483649",
      "StartTime=4294968226",            // 930 modulo 2^32
      "StartTime=18446744073709552546",  // 930 modulo 2^64
  };
  for (const char* line : bad_lines) {
    SCOPED_TRACE(line);
    test::write_file(path(),
                     std::string("[ScreenSaver.Driftrevel]\nClouds=0\n") + line + "\nWaves=0\n");
    EXPECT_EQ(read_settings(path()), Settings{});
    EXPECT_EQ(read_text(path()), kDefaultText);

    const std::string outside =
        std::string(line) + "\n[ScreenSaver.Driftrevel]\nClouds=0\n[Other]\n" + line + "\n";
    test::write_file(path(), outside);
    EXPECT_EQ(read_settings(path()), Settings{.clouds = false});
    EXPECT_EQ(read_text(path()), outside);
    EXPECT_FALSE(fs::exists(temp()));
  }
}

TEST_F(SettingsFile, OversizedOrNonUtf8FileIsReplaced) {
  std::string oversized = "[ScreenSaver.Driftrevel]\nSounds=0\n";
  oversized.resize(4097, '\n');
  const std::string cases[] = {
      oversized,
      "[Other]\nName=\xFF\n",
      "[Other]\nName=\xC0\xAF\n",      // overlong '/'
      "[Other]\nName=\xED\xA0\x80\n",  // surrogate
      "[Other]\nName=\xE2\x82",        // cut short at the end
      "\xEF\xBB[Other]\n",             // half a byte-order mark
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(testing::PrintToString(text));
    test::write_file(path(), text);
    EXPECT_EQ(read_settings(path()), Settings{});
    EXPECT_EQ(read_text(path()), kDefaultText);
  }
}

TEST_F(SettingsFile, FailedRewriteIsReportedAndTouchesNothing) {
  // A directory where the file belongs: not readable, and the rename cannot replace it.
  fs::create_directory(path());
  test::write_file(path() / "keep", "mine");
  testing::internal::CaptureStderr();
  const Settings settings = read_settings(path());
  const std::string stderr_text = testing::internal::GetCapturedStderr();
  EXPECT_EQ(settings, Settings{});
  EXPECT_EQ(stderr_text, "warning: cannot write " + display_path(path()) + ": " +
                             std::make_error_code(std::errc::is_a_directory).message() + "\n");
  EXPECT_FALSE(fs::exists(temp()));
  EXPECT_EQ(read_text(path() / "keep"), "mine");
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFile) {
  const std::string old = "[ScreenSaver.Driftrevel]\nNumDays=4\n";
  test::write_file(path(), old);

  // The temporary name is taken by a directory that is not ours to remove.
  fs::create_directory(temp());
  EXPECT_FALSE(write_settings(Settings{}, path()));
  EXPECT_EQ(read_text(path()), old);
  EXPECT_TRUE(fs::is_directory(temp()));

  // The directory cannot be created: a file is in the way.
  const auto not_a_directory = write_settings(Settings{}, dir_ / "TOBELUND.INI" / "sub" / "X.INI");
  ASSERT_FALSE(not_a_directory);
  EXPECT_TRUE(not_a_directory.error());
  EXPECT_EQ(read_text(path()), old);
}

TEST_F(SettingsFile, WriteCreatesTheDirectoryAndReadsBack) {
  const Settings settings{.calendar_day_count = 10,
                          .story_day = 7,
                          .stored_year = 1992,
                          .stored_month = 7,
                          .stored_day = 4,
                          .start_time = 1234,
                          .clouds = false,
                          .dedither = true};
  const fs::path nested = dir_ / "a" / "b" / "TOBELUND.INI";
  ASSERT_TRUE(write_settings(settings, nested));
  EXPECT_EQ(read_text(nested), settings_text(settings));
  EXPECT_EQ(read_settings(nested), settings);
  EXPECT_FALSE(fs::exists(dir_ / "a" / "b" / "TOBELUND.INI.tmp"));
}

TEST_F(SettingsFile, LeftoverTemporaryLinkIsReplacedNotFollowed) {
  // Writing through a leftover link would change the file it points at before the rename.
  test::write_file(path(), "[Other]\nmine\n");
  fs::create_symlink(path(), temp());
  ASSERT_TRUE(write_settings(Settings{}, path()));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path())));
  EXPECT_EQ(read_text(path()), kDefaultText);
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp())));
}

TEST(SettingsText, IntroductionIsTheMarkWhenThereIsOne) {
  const struct {
    std::int32_t mark;
    const char* introduction;
  } cases[] = {{5, "5"}, {0, "7"}};
  for (const auto& c : cases) {
    const Settings settings{.calendar_day_count = 10,
                            .story_day = 7,
                            .story_day_mark = c.mark,
                            .stored_year = 1992,
                            .stored_month = 8,
                            .stored_day = 31,
                            .start_time = 2359,
                            .clouds = false,
                            .sounds = false,
                            .dedither = true};
    EXPECT_EQ(settings_text(settings),
              std::string("[ScreenSaver.Driftrevel]\nBackground=1\nClouds=0\nWaves=1\nSounds=0\n"
                          "Dedither=1\nSoftAudio=0\nNumDays=10\nIntroduction=") +
                  c.introduction +
                  "\nCurrentYear=1992\nCurrentMonth=8\nCurrentDay=31\nStartTime=2359\n");
  }
}

TEST(SettingsStoredState, ComparesTheSevenStoredValuesOnly) {
  const Settings base{.calendar_day_count = 1,
                      .story_day = 2,
                      .story_day_mark = 3,
                      .stored_year = 4,
                      .stored_month = 5,
                      .stored_day = 6,
                      .start_time = 7};
  for (std::int32_t Settings::*value :
       {&Settings::calendar_day_count, &Settings::story_day, &Settings::story_day_mark,
        &Settings::stored_year, &Settings::stored_month, &Settings::stored_day,
        &Settings::start_time}) {
    Settings changed = base;
    ++(changed.*value);
    EXPECT_FALSE(same_stored_state(base, changed)) << changed.*value;
  }
  for (bool Settings::*flag : {&Settings::background, &Settings::clouds, &Settings::waves,
                               &Settings::sounds, &Settings::dedither, &Settings::soft_audio}) {
    Settings changed = base;
    changed.*flag = !(changed.*flag);
    EXPECT_TRUE(same_stored_state(base, changed));
  }
}

// The path is kept for the whole process, so each case runs in a fresh child process.
TEST(SettingsPathDeathTest, FirstAnswerIsKept) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto check = [](const fs::path& got, const fs::path& want) {
    if (got == want) return true;
    std::fprintf(stderr, "got %s, want %s\n", got.c_str(), want.c_str());
    return false;
  };
  // Found in APPDATA first; later searches would find nothing, but none runs.
  EXPECT_EXIT(
      {
        const bool ok = [&] {
          TempDir appdata;
          fs::create_directory(appdata / "OpenTobelund");
          test::write_file(appdata / "OpenTobelund" / "TOBELUND.SCR", "MZ");
          setenv("APPDATA", appdata.path().c_str(), 1);
          const fs::path& first = settings_path(ProgramKind::Screensaver);
          unsetenv("APPDATA");
          const fs::path& again = settings_path(ProgramKind::Console);
          return check(first, appdata / "OpenTobelund" / "TOBELUND.INI") && &again == &first;
        }();
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  // Found nowhere: the program's directory, kept even once the data turns up.
  EXPECT_EXIT(
      {
        const bool ok = [&] {
          unsetenv("APPDATA");
          const fs::path& first = settings_path(ProgramKind::Screensaver);
          TempDir appdata;
          fs::create_directory(appdata / "OpenTobelund");
          test::write_file(appdata / "OpenTobelund" / "TOBELUND.SCR", "MZ");
          setenv("APPDATA", appdata.path().c_str(), 1);
          return check(first, executable_directory() / "TOBELUND.INI") &&
                 check(settings_path(ProgramKind::Screensaver), first);
        }();
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ot
