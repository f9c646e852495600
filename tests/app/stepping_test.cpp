#include "app/stepping.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;

// Runs the stepping at `elapsed_ms` and records, per step, the fine count at its tick.
struct Recorder {
  StepClock clock;
  std::uint64_t fine_calls = 0;
  std::vector<std::uint64_t> fine_at_tick;

  std::uint64_t at(std::uint64_t elapsed_ms) {
    return run_due_steps(
        clock, elapsed_ms, [&] { ++fine_calls; },
        [&] { fine_at_tick.push_back(clock.fine_count); });
  }
};

TEST(Stepping, FirstStepAndFineCounts) {
  Recorder r;
  EXPECT_EQ(r.at(0), 0u);
  EXPECT_EQ(r.at(54), 0u);  // the start instant is 2 s after the window: 2.054 s runs nothing
  EXPECT_EQ(r.at(55), 1u);  // the first step at 2.055 s
  EXPECT_EQ(r.clock.fine_count, 3u);  // 16, 32, 48 <= 55
  EXPECT_EQ(r.at(110), 1u);
  EXPECT_EQ(r.clock.fine_count, 6u);  // 96 <= 110 < 112
  EXPECT_EQ(r.at(16 * 55), 14u);
  EXPECT_EQ(r.clock.fine_count, 55u);  // 880 <= 880
  EXPECT_EQ(r.fine_calls, 55u);
  EXPECT_EQ(r.fine_at_tick.front(), 3u);
  EXPECT_EQ(next_step_due(r.clock), 17u * 55);
}

TEST(Stepping, StallsAreCaughtUpToALimit) {
  const struct {
    std::uint64_t freeze_ms;
    std::uint64_t steps;
  } cases[] = {
      {1000, 18},  // 18 missed steps all run
      {1100, 20},  // 20 is the most that is caught up
      {1155, 1},   // 21 missed: past the limit, one step runs and the rest is dropped
      {10000, 1},
  };
  for (const auto& c : cases) {
    Recorder r;
    r.at(55 * 100);
    const std::uint64_t before = r.clock.tick_count;
    const std::uint64_t steps = r.at(55 * 100 + c.freeze_ms);
    EXPECT_EQ(steps, c.steps) << c.freeze_ms;
    EXPECT_EQ(r.clock.tick_count, before + c.freeze_ms / 55);
    // After a dropped stretch the fine clock is rebased, not run through.
    EXPECT_EQ(r.clock.fine_count, r.clock.tick_count * 55 / 16);
  }
}

TEST(Stepping, WriteBackOnlyOnStoredStateChanges) {
  test::TempDir dir;
  const fs::path file = dir / "TOBELUND.INI";
  Settings last;
  last.background = false;  // the file's own switch, whatever the run overrides
  Settings engine = last;
  engine.background = true;  // an override of this run: not a change to write
  write_back_settings(engine, last, file);
  EXPECT_FALSE(fs::exists(file));

  engine.story_day = 3;
  engine.story_day_mark = 5;
  write_back_settings(engine, last, file);
  const auto bytes = test::read_file(file);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("Background=0\n"), std::string::npos);
  EXPECT_NE(text.find("Introduction=5\n"), std::string::npos);
  EXPECT_EQ(last.story_day, 3);
  EXPECT_FALSE(last.background);

  // A failed write warns once and is not retried until the state changes again.
  const fs::path blocked = dir / "blocked" / "TOBELUND.INI";
  fs::create_directories(blocked);  // a directory where the file should be
  engine.calendar_day_count = 4;
  testing::internal::CaptureStderr();
  write_back_settings(engine, last, blocked);
  write_back_settings(engine, last, blocked);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.starts_with("warning: cannot save settings: ")) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1);  // one line
  EXPECT_EQ(last.calendar_day_count, 4);
}

}  // namespace
}  // namespace ot
