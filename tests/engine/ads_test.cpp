#include "engine/ads.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace ot {
namespace {

using Words = std::vector<std::uint16_t>;

std::vector<std::uint8_t> bytes_of(const Words& words) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint16_t w : words) {
    bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return bytes;
}

Words cat(std::initializer_list<Words> parts) {
  Words all;
  for (const Words& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Words repeat(const Words& part, int times) {
  Words all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), part.begin(), part.end());
  return all;
}

constexpr std::uint16_t w(int value) {
  return static_cast<std::uint16_t>(value);
}

// Commands.
Words play(std::uint16_t tag, int a2 = 0, int weight = 0) {
  return {0x2005, 1, tag, w(a2), w(weight)};
}
const Words kTrue = {0x1380, 5};  // 5 >= the section counter (0)
const Words kFalse = {0x1380, w(-1)};
const Words kAnd = {0x1420};
const Words kOr = {0x1430};
const Words kElse = {0x1500};
const Words kEndIf = {0x1510};
const Words kEndLoop = {0x1520};
const Words kEnd = {0xFFFF};
const Words kNop = {0x0001};  // keeps a following condition out of the chain before it

// A scene whose threads are (1, 1), (1, 2), (1, 3), (1, 4) unless given, start pages 10, 11, ...
AdsScene make_scene(const Words& program,
                    std::vector<std::pair<std::uint16_t, std::uint16_t>> names = {
                        {1, 1}, {1, 2}, {1, 3}, {1, 4}}) {
  AdsScene scene;
  scene.program = bytes_of(program);
  for (const auto& [slot, tag] : names) {
    TtmThread thread;
    thread.slot = slot;
    thread.tag = tag;
    thread.start_page = static_cast<std::int32_t>(10 + scene.threads.size());
    thread.current_page = thread.start_page;
    scene.order.push_back(scene.threads.size());
    scene.threads.push_back(thread);
  }
  scene.sections = cut_sections(scene.program, scene.threads, scene.order);
  return scene;
}

// A generator whose next draw gives `value`.
RandomGenerator rng_giving(std::uint16_t value) {
  std::array<std::uint16_t, 56> words{};
  words[1] = value;
  return RandomGenerator(words, 1, 0);
}

std::array<std::uint16_t, 4> start_counts(const AdsScene& scene) {
  std::array<std::uint16_t, 4> counts{};
  for (std::size_t i = 0; i < counts.size() && i < scene.threads.size(); ++i)
    counts[i] = scene.threads[i].start_count;
  return counts;
}

// One pass over section 1 made of `body`, started by the scheduler; the start count of each thread.
std::array<std::uint16_t, 4> run_once(const Words& body, std::uint16_t next16 = 0) {
  AdsScene scene = make_scene(cat({{1}, body, kEnd}));
  start_section(scene, 1);
  RandomGenerator rng = rng_giving(next16);
  run_ads_pass(scene, 100, rng);
  return start_counts(scene);
}

struct BodyCase {
  std::string name;
  Words body;
  std::array<std::uint16_t, 4> started;
};

void expect_cases(const std::vector<BodyCase>& cases) {
  for (const BodyCase& c : cases) EXPECT_EQ(run_once(c.body), c.started) << c.name;
}

TEST(AdsSections, CutsAtEndWordsAndListsNamedThreadsOnce) {
  const Words program = cat({{1},
                             play(3),
                             play(3),
                             {0x2000, 1, 4, 0, 0},
                             {0x2005, 9, 9, 0, 0},
                             kEnd,
                             {0x1234},
                             {0x2000, 1, 3, 0, 0},
                             kEnd});
  const AdsScene scene = make_scene(program, {{1, 4}, {1, 3}});
  ASSERT_EQ(scene.sections.size(), 2u);
  EXPECT_EQ(scene.sections[0].number, 1);
  EXPECT_EQ(scene.sections[0].start, 2u);
  EXPECT_EQ(scene.sections[0].threads, (std::vector<std::size_t>{1, 0}));
  EXPECT_EQ(scene.sections[0].state, kSectionFirstPass);
  EXPECT_EQ(scene.sections[1].number, 0x1234);
  EXPECT_EQ(scene.sections[1].start, 46u);
  EXPECT_EQ(scene.sections[1].threads, (std::vector<std::size_t>{1}));
}

TEST(AdsPass, LaterPassesBeginAfterTheMarker) {
  // Start (1,3) once; later passes start (1,4) when they find (1,3) finished.
  AdsScene scene = make_scene(cat({{1}, play(3), {0x0005}, {0x1350, 1, 3}, play(4), kEndIf, kEnd}));
  RandomGenerator rng = rng_giving(0);
  start_section(scene, 1);
  run_ads_pass(scene, 0, rng);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{0, 0, 1, 0}));
  EXPECT_EQ(scene.threads[2].state, kThreadPlayOnce);
  run_ads_pass(scene, 1, rng);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{0, 0, 1, 0}));

  scene.threads[2].state = kThreadFinished;
  run_ads_pass(scene, 2, rng);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{0, 0, 1, 1}));
  scene.threads[2].state = kThreadIdle;  // what the TTM pass of that tick does
  run_ads_pass(scene, 3, rng);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{0, 0, 1, 1}));
  EXPECT_EQ(scene.sections[0].state, 1);
}

TEST(AdsPass, EntryPointOverThreePasses) {
  const struct {
    std::string name;
    Words body;
    std::array<std::uint16_t, 4> started;
  } cases[] = {
      {"no marker", cat({play(3), play(4)}), {0, 0, 3, 3}},
      {"marker first", cat({{0x0005}, play(3), play(4)}), {0, 0, 3, 3}},
      {"marker between", cat({play(3), {0x0005}, play(4)}), {0, 0, 1, 3}},
      {"marker behind an argument-carrying command",
       cat({play(3), {0x0001}, {0x0005}, play(4), {0x0005}, play(2)}),
       {0, 3, 1, 3}},
  };
  for (const auto& c : cases) {
    AdsScene scene = make_scene(cat({{1}, c.body, kEnd}));
    RandomGenerator rng = rng_giving(0);
    start_section(scene, 1);
    for (std::uint32_t clock = 0; clock < 3; ++clock) run_ads_pass(scene, clock, rng);
    EXPECT_EQ(start_counts(scene), c.started) << c.name;
  }
}

TEST(AdsPass, FirstPassFlagIsClearedEvenForIdleSections) {
  // A section not yet started when the first pass comes later begins after its marker.
  AdsScene scene = make_scene(cat({{1}, play(3), {0x0005}, play(4), kEnd}));
  RandomGenerator rng = rng_giving(0);
  run_ads_pass(scene, 0, rng);
  EXPECT_EQ(scene.sections[0].state, 0);
  start_section(scene, 1);
  run_ads_pass(scene, 1, rng);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{0, 0, 0, 1}));
}

TEST(AdsStartSection, RequestsARestartAndResetsThreadsAtTheNextPass) {
  AdsScene scene =
      make_scene(cat({{1}, play(3), {0x0005}, {0x0001}, kEnd, {1}, play(4), kEnd, {2}, kEnd}));
  RandomGenerator rng = rng_giving(0);
  scene.sections[0].resume = 4;
  start_section(scene, 1);
  start_section(scene, 7);  // no such section
  EXPECT_EQ(scene.sections[0].state, kSectionFirstPass | 3);
  EXPECT_FALSE(scene.sections[0].resume);
  EXPECT_EQ(scene.sections[1].state, kSectionFirstPass);  // only the first section numbered 1
  EXPECT_EQ(scene.sections[2].state, kSectionFirstPass);

  run_ads_pass(scene, 0, rng);
  EXPECT_EQ(scene.threads[2].state, kThreadPlayOnce);
  EXPECT_EQ(scene.threads[3].start_count, 0);

  TtmThread& thread = scene.threads[2];
  thread.state = kThreadHeld;
  thread.current_page = 99;
  thread.end_time = 1234;
  run_ads_pass(scene, 1, rng);  // no restart requested: nothing is reset
  EXPECT_EQ(thread.state, kThreadHeld);

  start_section(scene, 1);
  EXPECT_EQ(scene.sections[0].state, 3);
  run_ads_pass(scene, 2, rng);  // reset, then resumed after the marker
  EXPECT_EQ(thread.state, kThreadIdle);
  EXPECT_EQ(thread.current_page, thread.start_page);
  EXPECT_EQ(thread.start_count, 0);
  EXPECT_EQ(thread.end_time, 1234);
  EXPECT_EQ(scene.sections[0].state, 1);
}

TEST(AdsThreads, StartStopHoldAndReset) {
  AdsScene scene = make_scene(cat({{1},
                                   {0x2005, 1, 1, 3, 0},
                                   {0x2000, 1, 2, w(-5), 0},
                                   {0x2005, 1, 3, 0, 0},
                                   {0x2015, 1, 3, 0},
                                   {0x2010, 1, 4, 0},
                                   {0x2020, 1, 5, 0},
                                   kEnd}),
                              {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}});
  for (TtmThread& thread : scene.threads) thread.current_page = 42;
  scene.threads[3].state = kThreadRepeat;
  scene.threads[4].state = kThreadRepeat;
  scene.threads[4].start_count = 9;
  RandomGenerator rng = rng_giving(0);
  scene.sections[0].state = kSectionFirstPass | 4;  // started with its threads as they are
  run_ads_pass(scene, 0x10000, rng);

  const TtmThread& repeat = scene.threads[0];
  EXPECT_EQ(repeat.state, kThreadRepeat);
  EXPECT_EQ(repeat.repeat_count, 2);
  EXPECT_EQ(repeat.current_page, 42);  // 0x2005 plays on from where it stands
  EXPECT_EQ(repeat.start_count, 1);
  const TtmThread& timed = scene.threads[1];
  EXPECT_EQ(timed.state, kThreadUntilTime);
  EXPECT_EQ(timed.end_time, 0x10005);
  EXPECT_EQ(timed.current_page, timed.start_page);
  EXPECT_EQ(scene.threads[2].state, kThreadHeld);
  EXPECT_EQ(scene.threads[2].start_count, 1);
  EXPECT_EQ(scene.threads[3].state, kThreadIdle);
  EXPECT_EQ(scene.threads[3].current_page, 42);
  EXPECT_EQ(scene.threads[4].state, kThreadIdle);
  EXPECT_EQ(scene.threads[4].start_count, 0);
  EXPECT_EQ(scene.threads[4].current_page, scene.threads[4].start_page);
}

TEST(AdsThreads, NamedThroughTheOrderListAsSignedWords) {
  // Two threads named (1, 3): the one drawn first is meant.
  AdsScene twins = make_scene(cat({{1}, play(3), kEnd}), {{1, 3}, {1, 3}});
  twins.order = {1, 0};
  RandomGenerator rng = rng_giving(0);
  start_section(twins, 1);
  run_ads_pass(twins, 0, rng);
  EXPECT_EQ(twins.threads[0].start_count, 0);
  EXPECT_EQ(twins.threads[1].start_count, 1);

  // A word of 0x8000 or more names no thread, even one with those fields.
  AdsScene high = make_scene(cat({{1}, {0x2005, 0xFFFF, 0x8000, 0, 0}, kEnd}), {{0xFFFF, 0x8000}});
  start_section(high, 1);
  run_ads_pass(high, 0, rng);
  EXPECT_EQ(high.threads[0].start_count, 0);
}

TEST(AdsThreads, UnreadableArgumentsReadAsMinusOne) {
  // Cut after a1; then a2 lies half beyond the end.
  for (const bool half_word : {false, true}) {
    AdsScene scene = make_scene({1, 0x2005, 1, 3});
    if (half_word) scene.program.push_back(0);
    scene.sections = cut_sections(scene.program, scene.threads, scene.order);
    RandomGenerator rng = rng_giving(0);
    start_section(scene, 1);
    run_ads_pass(scene, 50, rng);
    EXPECT_EQ(scene.threads[2].state, kThreadUntilTime) << half_word;
    EXPECT_EQ(scene.threads[2].end_time, 51) << half_word;
  }
  // With the name itself cut off nothing is named.
  AdsScene cut = make_scene({1, 0x2005, 1});
  RandomGenerator rng = rng_giving(0);
  start_section(cut, 1);
  run_ads_pass(cut, 0, rng);
  EXPECT_EQ(start_counts(cut), (std::array<std::uint16_t, 4>{0, 0, 0, 0}));
}

TEST(AdsThreads, OrderListMoves) {
  const struct {
    Words command;
    std::vector<std::size_t> before;
    std::vector<std::size_t> after;
  } cases[] = {
      {{0x4000, 1, 1, 0}, {0, 1, 2}, {1, 2, 0}},
      {{0x4010, 1, 3, 0}, {0, 1, 2}, {2, 0, 1}},
      {{0x4000, 1, 1, 0}, {0, 1, 0, 2}, {1, 2, 0}},  // every occurrence goes
      {{0x4010, 1, 1, 0}, {1, 0, 2, 0}, {0, 1, 2}},
      {{0x4000, 1, 9, 0}, {0, 1, 2}, {0, 1, 2}},  // names no thread
  };
  for (const auto& c : cases) {
    AdsScene scene = make_scene(cat({{1}, c.command, play(2), kEnd}), {{1, 1}, {1, 2}, {1, 3}});
    scene.order = c.before;
    RandomGenerator rng = rng_giving(0);
    start_section(scene, 1);
    run_ads_pass(scene, 0, rng);
    EXPECT_EQ(scene.order, c.after) << c.command[0] << " " << c.command[2];
    EXPECT_EQ(scene.threads[1].start_count, 1);  // goes on after the move
  }
}

TEST(AdsConditions, KindsAgainstThreadStates) {
  const struct {
    std::uint16_t opcode;
    std::uint16_t tag;  // 9: names no thread
    std::uint16_t state;
    std::uint16_t start_count;
    bool holds;
  } cases[] = {
      {0x1310, 3, kThreadHeld, 0, true},      {0x1310, 3, kThreadPlayOnce, 0, false},
      {0x1310, 9, kThreadHeld, 0, false},     {0x1320, 3, kThreadHeld, 0, false},
      {0x1320, 3, kThreadIdle, 0, true},      {0x1320, 9, kThreadHeld, 0, true},
      {0x1330, 3, kThreadIdle, 0, true},      {0x1330, 3, kThreadIdle, 2, false},
      {0x1330, 9, kThreadIdle, 2, true},      {0x1340, 3, kThreadIdle, 2, true},
      {0x1340, 3, kThreadIdle, 0, false},     {0x1340, 9, kThreadIdle, 2, false},
      {0x1350, 3, kThreadFinished, 0, true},  {0x1350, 3, kThreadIdle, 0, false},
      {0x1350, 9, kThreadFinished, 0, false}, {0x1360, 3, kThreadIdle, 0, true},
      {0x1360, 3, kThreadFinished, 0, true},  {0x1360, 3, kThreadUntilTime, 0, false},
      {0x1360, 9, kThreadUntilTime, 0, true}, {0x1370, 3, kThreadPlayOnce, 0, true},
      {0x1370, 3, kThreadRepeat, 0, true},    {0x1370, 3, kThreadUntilTime, 0, true},
      {0x1370, 3, kThreadFinished, 0, false}, {0x1370, 9, kThreadPlayOnce, 0, false},
      {0x1390, 3, kThreadPlayOnce, 0, false}, {0x1355, 3, kThreadFinished, 0, false},
      {0x1050, 3, kThreadFinished, 0, true},  {0x1050, 3, kThreadIdle, 0, false},
  };
  for (const auto& c : cases) {
    Words condition = {c.opcode, 1};
    if (c.opcode != 0x1390) condition.push_back(c.tag);
    AdsScene scene = make_scene(cat({{1}, condition, play(4), kEndIf, kEndLoop, kEnd}));
    scene.threads[2].state = c.state;
    scene.threads[2].start_count = c.start_count;
    RandomGenerator rng = rng_giving(0);
    start_section(scene, 1);
    run_ads_pass(scene, 0, rng);
    EXPECT_EQ(scene.threads[3].start_count, c.holds ? 1 : 0)
        << std::hex << c.opcode << " tag " << c.tag;
  }
}

TEST(AdsConditions, AndBindsTighterThanOr) {
  const Words& T = kTrue;
  const Words& F = kFalse;
  const struct {
    Words chain;
    bool holds;
  } cases[] = {
      {T, true},
      {F, false},
      {cat({T, kAnd, F}), false},
      {cat({F, kOr, T}), true},
      {cat({T, kOr, F, kAnd, F}), true},
      {cat({F, kAnd, T, kOr, T}), true},
      {cat({T, kOr, T, kAnd, F}), true},
      {cat({F, kOr, T, kAnd, F}), false},
      {cat({T, kAnd, F, kOr, F, kAnd, T}), false},
      {cat({F, kAnd, F, kOr, T, kAnd, T}), true},
      {cat({T, kAnd, T, kAnd, F, kOr, F}), false},
      {cat({T, F}), false},                    // side by side: joined as by "and"
      {cat({F, kOr, {0x1050, 9, 9}}), false},  // a loop condition in an if's chain
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run_once(cat({c.chain, play(3), kEndIf, play(4)})),
              (std::array<std::uint16_t, 4>{0, 0, w(c.holds), 1}))
        << ::testing::PrintToString(c.chain);
  }
}

TEST(AdsIf, BranchesAndInnerBlocks) {
  expect_cases({
      {"true skips the else body",
       cat({kTrue, play(1), kElse, play(2), kEndIf, play(4)}),
       {1, 0, 0, 1}},
      {"false runs the else body",
       cat({kFalse, play(1), kElse, play(2), kEndIf, play(4)}),
       {0, 1, 0, 1}},
      {"false without else goes on after the end-if",
       cat({kFalse, play(1), kEndIf, play(4)}),
       {0, 0, 0, 1}},
      {"nested if skipped whole",
       cat({kFalse, kNop, kTrue, play(1), kElse, play(2), kEndIf, kElse, play(3), kEndIf, play(4)}),
       {0, 0, 1, 1}},
      {"nested if run",
       cat({kTrue, kNop, kFalse, play(1), kElse, play(2), kEndIf, play(3), kEndIf, play(4)}),
       {0, 1, 1, 1}},
      {"end of loop inside an if body ends the pass",
       cat({kTrue, play(1), kEndLoop, play(2), kEndIf, play(4)}),
       {1, 0, 0, 0}},
      {"no matching end-if stops", cat({kFalse, play(1), {0x0000}, kEndIf, play(4)}), {0, 0, 0, 0}},
      {"else without end-if stops", cat({kTrue, play(1), kElse, play(2)}), {1, 0, 0, 0}},
      {"joiner run directly stops", cat({kAnd, play(1)}), {0, 0, 0, 0}},
      {"unknown opcode stops", cat({{0x7777}, play(1)}), {0, 0, 0, 0}},
  });
}

TEST(AdsIf, NestingStopsAtTheDepthLimit) {
  // Executed ifs: the 32nd level cannot run its body.
  for (const int levels : {31, 32}) {
    const bool fits = levels < 32;
    const auto started = run_once(
        cat({repeat(cat({kTrue, kNop}), levels), play(3), repeat(kEndIf, levels), play(4)}));
    EXPECT_EQ(started, (std::array<std::uint16_t, 4>{0, 0, w(fits), w(fits)})) << levels;
  }
  // Skipped ifs: each level of the search for the else counts.
  for (const int levels : {30, 31}) {
    const bool fits = levels < 31;
    const auto started = run_once(cat({kFalse, repeat(cat({kNop, kTrue}), levels), play(1),
                                       repeat(kEndIf, levels), kElse, play(3), kEndIf, play(4)}));
    EXPECT_EQ(started, (std::array<std::uint16_t, 4>{0, 0, w(fits), w(fits)})) << levels;
  }
}

TEST(AdsLoop, CounterLoopRunsThreePassesThenSkipsItsBody) {
  AdsScene scene = make_scene(cat({{1}, play(1), {0x1080, 2}, play(3), kEndLoop, play(4), kEnd}));
  RandomGenerator rng = rng_giving(0);
  start_section(scene, 1);
  for (std::uint16_t pass = 1; pass <= 3; ++pass) {
    run_ads_pass(scene, pass, rng);
    EXPECT_EQ(scene.sections[0].counter, pass);
    EXPECT_EQ(scene.sections[0].resume, std::optional<std::size_t>{12});
    EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{1, 0, pass, 0}));
  }
  run_ads_pass(scene, 4, rng);
  EXPECT_EQ(scene.sections[0].counter, 0);
  EXPECT_FALSE(scene.sections[0].resume);
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{1, 0, 3, 1}));
  run_ads_pass(scene, 5, rng);  // from the section start again
  EXPECT_EQ(start_counts(scene), (std::array<std::uint16_t, 4>{2, 0, 4, 1}));
}

TEST(AdsLoop, FalseConditionSkipsToTheEndOfTheLoop) {
  expect_cases({
      {"skips past the end of the loop",
       cat({{0x1080, w(-1)}, play(1), kEndLoop, play(4)}),
       {0, 0, 0, 1}},
      {"a zero word first stops",
       cat({{0x1080, w(-1)}, play(1), {0x0000}, kEndLoop, play(4)}),
       {0, 0, 0, 0}},
      {"no end of loop stops", cat({{0x1080, w(-1)}, play(1)}), {0, 0, 0, 0}},
      {"true body ends the pass",
       cat({{0x1050, 9, 9}, kOr, {0x1080, 0}, play(1), kEndLoop, play(4)}),
       {1, 0, 0, 0}},
  });
}

TEST(AdsRandom, PicksByWeight) {
  const Words one_vs_three = cat({play(1, 0, 1), {0x3020, 3}});
  const struct {
    std::string name;
    Words block;
    std::uint16_t next16;
    bool draws;
    std::array<std::uint16_t, 4> started;
  } cases[] = {
      {"draw 0 picks weight 1", one_vs_three, 0, true, {1, 0, 0, 1}},
      {"draw 1 picks nothing", one_vs_three, 1, true, {0, 0, 0, 1}},
      {"draw 3 picks nothing", one_vs_three, 3, true, {0, 0, 0, 1}},
      {"draw 4 is 0 modulo 4", one_vs_three, 4, true, {1, 0, 0, 1}},
      {"a pick above 32767 counts as signed",
       cat({play(1, 0, 30000), {0x3020, 10000}}),
       39000,
       true,
       {1, 0, 0, 1}},
      {"other commands weigh their third argument",
       cat({{0x2010, 1, 3, 2}, play(2, 0, 2)}),
       2,
       true,
       {0, 1, 0, 1}},
      {"zero total draws nothing", cat({{0x3020, 0}, play(1, 0, 0)}), 0, false, {0, 0, 0, 1}},
      {"a total of 65536 draws nothing",
       cat({play(1, 0, 32767), {0x3020, 32767}, {0x3020, 2}}),
       5,
       false,
       {1, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    AdsScene scene = make_scene(cat({{1}, {0x3010}, c.block, {0x30FF}, play(4), kEnd}));
    RandomGenerator rng = rng_giving(c.next16);
    start_section(scene, 1);
    run_ads_pass(scene, 0, rng);
    EXPECT_EQ(start_counts(scene), c.started) << c.name;
    EXPECT_EQ(rng.a(), c.draws ? 2 : 1) << c.name;
  }
}

TEST(AdsRandom, BlockRunningOffTheProgramStops) {
  // The walk does not stop at the section's end word: it reaches the program's end.
  EXPECT_EQ(run_once(cat({{0x3010}, play(1, 0, 1)})), (std::array<std::uint16_t, 4>{0, 0, 0, 0}));
}

TEST(AdsSectionControl, StopAndRequestOtherSections) {
  // Sections 1..5; section 1 runs `body`, the others each start thread (1, number - 1).
  const auto run = [](const Words& body, std::uint16_t first_state_of_others) {
    Words program = cat({{1}, body, kEnd});
    for (std::uint16_t n = 2; n <= 5; ++n)
      program = cat({program, {n}, play(static_cast<std::uint16_t>(n - 1)), kEnd});
    AdsScene scene = make_scene(program);
    for (std::size_t i = 1; i < scene.sections.size(); ++i)
      scene.sections[i].state = first_state_of_others;
    scene.sections[3].resume = 0;  // a stale resume position
    start_section(scene, 1);
    RandomGenerator rng = rng_giving(0);
    run_ads_pass(scene, 0, rng);
    return scene;
  };

  AdsScene own = run(cat({play(1), {0xF010, w(-1)}, play(2)}), 0);
  EXPECT_EQ(start_counts(own), (std::array<std::uint16_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(own.sections[0].state, 2);

  AdsScene named_own = run(cat({{0xF010, 1}, play(2)}), 0);
  EXPECT_EQ(start_counts(named_own), (std::array<std::uint16_t, 4>{0, 0, 0, 0}));

  AdsScene halt = run(cat({{0xF000}, play(2)}), 0);
  EXPECT_EQ(start_counts(halt), (std::array<std::uint16_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(halt.sections[0].state, 2);

  // Stopping another section goes on; requested sections run in the same pass.
  AdsScene others = run(cat({{0xF010, 2}, {0xF200, 3}, {0xF210, 4}, {0xF200, 9}, play(4)}), 1);
  EXPECT_EQ(start_counts(others), (std::array<std::uint16_t, 4>{0, 1, 1, 2}));
  EXPECT_EQ(others.sections[1].state, 2);
  EXPECT_EQ(others.sections[2].state, 1);
  EXPECT_EQ(others.sections[3].state, 1);
  EXPECT_FALSE(others.sections[3].resume);

  // A restart request keeps a section's first-pass flag and resets its threads at the next pass.
  AdsScene early = run(cat({{0xF210, 5}}), kSectionFirstPass);
  EXPECT_EQ(early.sections[4].state, 1);
  AdsScene scene = run(cat({{0xF210, 5}, {0xF010, w(-1)}}), 0);
  EXPECT_EQ(scene.sections[4].state, 1);
  scene.threads[3].state = kThreadHeld;
  scene.sections[4].state = 3;
  scene.sections[4].resume = 0x7FFF;  // resumes past the end: runs nothing
  RandomGenerator rng = rng_giving(0);
  run_ads_pass(scene, 1, rng);
  EXPECT_EQ(scene.threads[3].state, kThreadIdle);
  EXPECT_EQ(scene.threads[3].start_count, 0);
}

TEST(AdsPass, MalformedProgramsStop) {
  // Odd lengths, truncated commands and runaway structures end the pass without reading outside.
  const Words bodies[] = {
      {0x1310}, {0x1510}, {0x1500}, {0x1520}, {0x3010},    {0x3010, 0x3020}, {0x1080},
      {0x1420}, {0x0005}, {0x0000}, {0xF010}, {0x4000, 1}, {0x2000, 1, 1},   {0x1310, 1, 1, 0x1420},
  };
  for (const Words& body : bodies) {
    for (const bool odd : {false, true}) {
      AdsScene scene = make_scene(cat({{1}, body}));
      if (odd) scene.program.push_back(0x13);
      scene.sections = cut_sections(scene.program, scene.threads, scene.order);
      RandomGenerator rng = rng_giving(7);
      start_section(scene, 1);
      for (std::uint32_t clock = 0; clock < 3; ++clock) run_ads_pass(scene, clock, rng);
      EXPECT_EQ(scene.depth, 0u);
      EXPECT_FALSE(scene.pass_end);
    }
  }
}

}  // namespace
}  // namespace ot
