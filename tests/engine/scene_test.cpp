// Whole scenes written in the script text form, assembled, stored in an archive, loaded and run
// tick by tick the way the engine runs them: the ADS pass, then the TTM pass on real layers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/script_assembler.h"
#include "engine/ads.h"
#include "engine/scene.h"
#include "engine/ttm.h"

namespace ot {
namespace {

constexpr std::uint8_t kBackdrop = 3;  // every pixel of the background layer

// A generator whose first draw gives `value`.
RandomGenerator rng_giving(std::uint16_t value) {
  std::array<std::uint16_t, 56> words{};
  words[1] = value;
  return RandomGenerator(words, 1, 0);
}

// Four tags, one page each: the thread of tag t plots (t, t) once and finishes.
constexpr std::string_view kFourTags = R"(
  tag 1
  plot 1 1
  end_animation
  end_page
  tag 2
  plot 2 2
  end_animation
  end_page
  tag 3
  plot 3 3
  end_animation
  end_page
  tag 4
  plot 4 4
  end_animation
  end_page
)";

class Scene : public ::testing::Test {
 protected:
  Scene() {
    background.fill(kBackdrop);
    SpriteSheet walk;
    walk.frames.push_back({2, 1, {9, 10}});
    walk_sheet = std::make_shared<const SpriteSheet>(std::move(walk));
  }

  // The ADS text (its res lines name the TTMs) with the TTM texts, stored and loaded; then the
  // scheduler's start of `section`.
  void load(std::string_view ads, std::vector<std::pair<std::string, std::string_view>> ttms,
            std::uint16_t section = 1) {
    std::vector<authoring::ArchiveResource> resources;
    for (const auto& [name, text] : ttms) {
      const auto source = authoring::assemble_ttm(text);
      ASSERT_TRUE(source) << name << " line " << source.error().line << ": "
                          << source.error().message;
      resources.push_back({name, authoring::ttm_resource(*source)});
    }
    const auto source = authoring::assemble_ads(ads);
    ASSERT_TRUE(source) << "line " << source.error().line << ": " << source.error().message;
    resources.push_back({"TEST.ADS", authoring::ads_resource(*source)});
    auto files = authoring::write_archive(resources);
    auto opened = open_archive(files.map, std::move(files.data));
    ASSERT_TRUE(opened) << opened.error().display_text();
    archive = std::move(*opened);
    auto loaded = load_scene(archive, 7, "TEST.ADS");
    ASSERT_TRUE(loaded) << loaded.error().display_text();
    scene = std::move(*loaded);
    start_section(*scene, section);
  }

  // One engine tick at `clock`; the finished picture is in `shown` afterwards.
  void tick(std::uint32_t clock) {
    frame.copy_from(background);
    run_ads_pass(*scene, clock, rng);
    TtmContext context{
        *scene,       frame,
        background,   shown,
        DrawOrigin{}, rng,
        archive,      walk_sheet,
        sounds,       [this](std::string_view text) { warnings.emplace_back(text); }};
    run_ttm_pass(context);
    frame.swap(shown);
  }

  TtmThread& thread(std::uint16_t slot, std::uint16_t tag) {
    for (TtmThread& t : scene->threads) {
      if (t.slot == slot && t.tag == tag) return t;
    }
    ADD_FAILURE() << "no thread " << slot << ", " << tag;
    return scene->threads.at(0);
  }

  std::uint8_t pixel(std::int32_t x, std::int32_t y) const { return shown.at(x, y); }

  Layer frame, background, shown;
  RandomGenerator rng = rng_giving(0);
  ResourceArchive archive;
  std::shared_ptr<const SpriteSheet> walk_sheet;
  std::vector<std::int32_t> sounds;
  std::vector<std::string> warnings;
  std::optional<AdsScene> scene;
};

// ---- TTM threads ------------------------------------------------------------------------------

// Plays tag 1 of slot 1 once, on the section's first pass only.
constexpr std::string_view kPlayOnce = R"(
  res 1 "A.TTM"
  section 1
    play 1 1 0 0
    later_passes
    end
)";

TEST_F(Scene, DelayedPageIsDrawnEveryTickAndQueuesItsSoundOnce) {
  load(kPlayOnce, {{"A.TTM", R"(
    tag 1
    delay 10
    sound 7
    plot 5 5
    end_page
    plot 6 6
    end_page
  )"}});
  for (const std::uint32_t clock : {100u, 104u, 109u, 110u}) {
    SCOPED_TRACE(clock);
    tick(clock);
    EXPECT_EQ(pixel(5, 5), 15);
    EXPECT_EQ(pixel(6, 6), kBackdrop);
    EXPECT_EQ(thread(1, 1).current_page, clock < 110 ? 0 : 1);
  }
  tick(111);
  EXPECT_EQ(pixel(5, 5), kBackdrop);
  EXPECT_EQ(pixel(6, 6), 15);
  EXPECT_EQ(sounds, std::vector<std::int32_t>{7});
}

TEST_F(Scene, RepeatTwoPlaysThreeTimesThenFinishes) {
  load(R"(
    res 1 "A.TTM"
    section 1
      play 1 1 3 0    # two repeats after the first play
      later_passes
      end
  )",
       {{"A.TTM", R"(
    tag 1
    sound 7
    end_page
    end_animation
    end_page
  )"}});
  std::vector<std::uint16_t> states;
  for (std::uint32_t clock = 100; clock < 108; ++clock) {
    tick(clock);
    states.push_back(thread(1, 1).state);
  }
  EXPECT_EQ(states, (std::vector<std::uint16_t>{2, 2, 2, 2, 2, 4, 0, 0}));
  EXPECT_EQ(sounds, (std::vector<std::int32_t>{7, 7, 7}));
}

TEST_F(Scene, RandomDelayDrawsOnlyWhenTheBoundsDiffer) {
  const struct {
    std::string_view ttm;
    std::int32_t delay;
    bool draws;
  } cases[] = {
      {"tag 1\n random_delay 4 4\n end_page\n", 4, false},
      // 0x1235 modulo 5 is 1.
      {"tag 1\n random_delay 4 9\n end_page\n", 5, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ttm);
    load(kPlayOnce, {{"A.TTM", c.ttm}});
    rng = rng_giving(0x1235);
    tick(100);
    EXPECT_EQ(thread(1, 1).delay, c.delay);
    EXPECT_EQ(rng.a() != 1, c.draws);
  }
}

TEST_F(Scene, JumpToAMissingTagKeepsThePageOrder) {
  const struct {
    std::string_view jump;
    std::uint8_t page1, page2;  // the pixels of pages 1 and 2 after the second tick
  } cases[] = {
      {"jump 9", 15, kBackdrop},
      {"jump 5", kBackdrop, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.jump);
    const std::string ttm = "tag 1\n" + std::string(c.jump) +
                            "\n plot 0 0\n end_page\n"
                            " plot 1 1\n end_page\n"
                            " mark 5\n plot 2 2\n end_page\n";
    load(kPlayOnce, {{"A.TTM", ttm}});
    tick(100);
    tick(101);
    EXPECT_EQ(pixel(1, 1), c.page1);
    EXPECT_EQ(pixel(2, 2), c.page2);
  }
}

TEST_F(Scene, WalkSheetIsSharedWhateverTheCaseOfItsName) {
  load(kPlayOnce, {{"A.TTM", R"(
    tag 1
    select_slot 2
    load_bitmap "ZeboWalk.Bmp"
    blit 20 30 0 2
    end_page
    load_bitmap "zebowalk.bm"
    blit 20 40 0 2
    end_page
  )"}});
  tick(100);
  EXPECT_EQ(scene->scripts[0].slots[2], walk_sheet);
  EXPECT_EQ(pixel(20, 30), 9);
  EXPECT_EQ(pixel(21, 30), 10);
  EXPECT_TRUE(warnings.empty());

  tick(101);  // a name one byte short is not the walk sheet: it is looked for and not found
  EXPECT_EQ(scene->scripts[0].slots[2], nullptr);
  EXPECT_EQ(pixel(20, 40), kBackdrop);
  EXPECT_EQ(warnings, std::vector<std::string>{"missing screensaver file: zebowalk.bm"});
  EXPECT_EQ(walk_sheet.use_count(), 1);
}

TEST_F(Scene, HeldThreadKeepsItsPageUntilAnEndOfAnimationPassesTheDelay) {
  load(R"(
    res 1 "A.TTM"
    section 1
      play 1 1 0 0
      play 1 2 0 0
      hold 1 1 0
      hold 1 2 0
      later_passes
      end
  )",
       {{"A.TTM", R"(
    tag 1
    plot 1 1
    end_page
    plot 9 9
    end_page
    tag 2
    delay 5
    plot 2 2
    end_animation
    end_page
  )"}});
  for (std::uint32_t clock = 100; clock < 105; ++clock) {
    SCOPED_TRACE(clock);
    tick(clock);
    EXPECT_EQ(pixel(1, 1), 15);
    EXPECT_EQ(pixel(2, 2), 15);
    EXPECT_EQ(thread(1, 1).current_page, 0);
    EXPECT_EQ(thread(1, 2).state, kThreadHeld);
  }
  tick(105);
  EXPECT_EQ(thread(1, 1).state, kThreadHeld);
  EXPECT_EQ(thread(1, 1).current_page, 0);
  EXPECT_EQ(thread(1, 2).state, kThreadFinished);
}

// ---- ADS sections -----------------------------------------------------------------------------

using Counts = std::vector<std::uint16_t>;

class SceneCounts : public Scene {
 protected:
  // The start counts of threads (1, 1) to (1, 4) after each of `ticks` ticks.
  std::vector<Counts> run(std::string_view ads, int ticks) {
    load(ads, {{"A.TTM", kFourTags}});
    std::vector<Counts> out;
    for (int i = 0; i < ticks; ++i) {
      tick(100 + static_cast<std::uint32_t>(i));
      Counts counts;
      for (std::uint16_t tag = 1; tag <= 4; ++tag) counts.push_back(thread(1, tag).start_count);
      out.push_back(counts);
    }
    return out;
  }
};

TEST_F(SceneCounts, IfFinishedStartsTheNextThreadOnce) {
  const auto counts = run(R"(
    res 1 "A.TTM"
    section 1
      play 1 3 0 0
      later_passes
      if_finished 1 3
        play 1 4 0 0
      end_if
      end
  )",
                          4);
  EXPECT_EQ(counts, (std::vector<Counts>{{0, 0, 1, 0}, {0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}}));
  EXPECT_EQ(thread(1, 3).state, kThreadIdle);
}

TEST_F(SceneCounts, CounterLoopRunsThreePassesThenSkipsItsBody) {
  const auto counts = run(R"(
    res 1 "A.TTM"
    section 1
      while_counter 2
        play 1 1 0 0
      end_loop
      play 1 2 0 0
      end
  )",
                          4);
  EXPECT_EQ(counts, (std::vector<Counts>{{1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}, {3, 1, 0, 0}}));
  EXPECT_EQ(scene->sections[0].counter, 0);
  EXPECT_FALSE(scene->sections[0].resume);
}

TEST_F(Scene, StopSectionMinusOneEndsThePassAndTheSection) {
  load(R"(
    res 1 "A.TTM"
    section 1
      play 1 1 0 0
      stop_section 2
      stop_section -1
      play 1 2 0 0
      end
    section 2
      play 1 3 0 0
      end
  )",
       {{"A.TTM", kFourTags}});
  start_section(*scene, 2);
  tick(100);
  tick(101);
  for (const std::uint16_t tag : {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{3}}) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(thread(1, tag).start_count, tag == 1 ? 1 : 0);
  }
  EXPECT_EQ(scene->sections[0].state, 2);
  EXPECT_EQ(scene->sections[1].state, 2);
}

TEST_F(SceneCounts, CommandsBeforeLaterPassesRunOnlyOnTheFirstPassAfterLoading) {
  constexpr std::string_view kAds = R"(
    res 1 "A.TTM"
    section 1
      play 1 1 0 0
      later_passes
      play 1 2 0 0
      end
  )";
  EXPECT_EQ(run(kAds, 3), (std::vector<Counts>{{1, 1, 0, 0}, {1, 2, 0, 0}, {1, 3, 0, 0}}));
  // A restart resets the section's threads but starts at the later-pass entry again.
  start_section(*scene, 1);
  tick(200);
  EXPECT_EQ(thread(1, 1).start_count, 0);
  EXPECT_EQ(thread(1, 2).start_count, 1);
}

TEST_F(SceneCounts, RandomBlockPicksByWeight) {
  constexpr std::string_view kAds = R"(
    res 1 "A.TTM"
    section 1
      random
        play 1 1 0 1
        nothing 3
      end_random
      end
  )";
  // below(4) is the generator's word modulo 4: only a 0 picks the play.
  for (const std::uint16_t word : std::array<std::uint16_t, 4>{0x1234, 0x1235, 0x1236, 0x1237}) {
    SCOPED_TRACE(word);
    load(kAds, {{"A.TTM", kFourTags}});
    rng = rng_giving(word);
    tick(100);
    EXPECT_EQ(thread(1, 1).start_count, word == 0x1234 ? 1 : 0);
    EXPECT_EQ(pixel(1, 1), word == 0x1234 ? 15 : kBackdrop);
  }
}

TEST_F(SceneCounts, NestingStopsAtDepthThirtyTwo) {
  for (const int ifs : {31, 32}) {
    SCOPED_TRACE(ifs);
    std::string ads = "res 1 \"A.TTM\"\n section 1\n";
    for (int i = 0; i < ifs; ++i) ads += "if_counter 5\n nop\n";  // nop: one if each, no chain
    ads += "play 1 1 0 0\n";
    for (int i = 0; i < ifs; ++i) ads += "end_if\n";
    ads += "play 1 2 0 0\n end\n";
    const std::uint16_t started = ifs == 31 ? 1 : 0;
    EXPECT_EQ(run(ads, 1), std::vector<Counts>{(Counts{started, started, 0, 0})});
  }
}

TEST_F(Scene, DrawLastChangesTheDrawingOrder) {
  load(R"(
    res 1 "A.TTM"
    section 1
      play 1 1 0 0
      play 1 2 0 0
      play 1 3 0 0
      later_passes
      end
    section 2
      draw_last 1 1 0
      end
  )",
       {{"A.TTM", R"(
    tag 1
    delay 1000
    colours 1 1
    box 10 10 20 20
    end_page
    tag 2
    delay 1000
    colours 2 2
    box 20 20 20 20
    end_page
    tag 3
    delay 1000
    end_page
  )"}});
  tick(100);
  EXPECT_EQ(pixel(25, 25), 2);
  EXPECT_EQ(pixel(15, 15), 1);
  start_section(*scene, 2);
  tick(101);
  EXPECT_EQ(scene->order, (std::vector<std::size_t>{1, 2, 0}));
  EXPECT_EQ(pixel(25, 25), 1);
  EXPECT_EQ(pixel(35, 35), 2);
}

}  // namespace
}  // namespace ot
