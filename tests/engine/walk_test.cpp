#include "engine/walk.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace ot {
namespace {

constexpr std::uint8_t kPaper = 1;
constexpr DrawOrigin kIsland{30, -20};  // signed and unequal, so a swapped or lost offset shows

// A generator whose next 55 draws all return `value`: s[b] = s[b] + s[a] with s[a] = value.
RandomGenerator constant_rng(std::uint16_t value) {
  std::array<std::uint16_t, 56> words{};
  words[0] = value;
  return RandomGenerator(words, 0, 1);
}

// Draws made since constant_rng (each draw moves position a by one).
int draws(const RandomGenerator& rng) {
  return rng.a();
}

Sprite solid(std::int32_t w, std::int32_t h, std::uint8_t colour) {
  return Sprite{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h), colour)};
}

// Frame k is 2 x 1 with colours 2k + 2 (left) and 2k + 3 (right), so frame and mirroring show.
SpriteSheet walk_sheet() {
  SpriteSheet sheet;
  for (std::uint8_t k = 0; k < 40; ++k) {
    sheet.frames.push_back(
        Sprite{2, 1, {static_cast<std::uint8_t>(2 * k + 2), static_cast<std::uint8_t>(2 * k + 3)}});
  }
  return sheet;
}

// Arrival poses at spot 1 come from path 1 (x = 100 + heading, frame = heading), transit poses at
// spot 1 from path 2 (x = 200 + heading, frame = 10 + heading). Spot 2 has arrival path 1 too.
ExecutableTables walk_data() {
  ExecutableTables data;
  for (std::uint16_t h = 0; h < 8; ++h) {
    data.walk_paths[1].push_back({100 + h, 50, h, false});
    data.walk_paths[2].push_back({200 + h, 60, static_cast<std::uint16_t>(10 + h), false});
  }
  data.arrival_pose_paths = {0, 1, 1, 0, 0, 0, 0};
  data.transit_pose_paths = {0, 2, 2, 0, 0, 0, 0};
  return data;
}

WalkerState standing(std::int32_t spot, std::int32_t heading) {
  WalkerState s;
  s.spot = s.target_spot = spot;
  s.heading = s.turn_heading = heading;
  return s;
}

// One tick whose countdown has run out.
void step(WalkerState& s, const ExecutableTables& data, RandomGenerator& rng, Layer& frame,
          const SpriteSheet& sheet = walk_sheet()) {
  s.step_countdown = 0;
  walk_tick(s, data, rng, frame, sheet, SpriteSheet{}, kIsland);
}

// The layer holds nothing but frame `f` at (x, y), mirrored or not.
::testing::AssertionResult shows(const Layer& layer, std::int32_t x, std::int32_t y,
                                 std::uint16_t f, bool mirrored) {
  Layer expected;
  expected.fill(kPaper);
  const auto left = static_cast<std::uint8_t>(2 * f + 2);
  const auto right = static_cast<std::uint8_t>(2 * f + 3);
  expected.at(x, y) = mirrored ? right : left;
  expected.at(x + 1, y) = mirrored ? left : right;
  if (layer == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "frame " << f << " not alone at (" << x << "," << y << ")";
}

// ---------------------------------------------------------------------------------------------

TEST(WalkTurn, ShortWayOneEighthPerStepThenArrivalPose) {
  struct Case {
    std::int32_t from, to;
    std::uint16_t draw;  // the value every draw returns
    std::vector<std::int32_t> headings;
    int expected_draws;
  };
  const Case cases[] = {
      {1, 6, 0, {0, 7, 6}, 0},    {6, 1, 0, {7, 0, 1}, 0}, {3, 1, 0, {2, 1}, 0},
      {1, 3, 0, {2, 3}, 0},       {0, 7, 0, {7}, 0},       {7, 0, 0, {0}, 0},
      {2, 6, 7, {1, 0, 7, 6}, 1},  // opposite, odd draw: -1, then the short way on
      {2, 6, 8, {3, 4, 5, 6}, 1},  // opposite, even draw: +1
      {5, 1, 9, {4, 3, 2, 1}, 1},  // d = 4 the other way round
  };
  const ExecutableTables data = walk_data();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to << " draw " << c.draw);
    WalkerState s = standing(1, c.from);
    s.target_heading = c.to;
    RandomGenerator rng = constant_rng(c.draw);
    Layer frame;
    for (const std::int32_t h : c.headings) {
      frame.fill(kPaper);
      step(s, data, rng, frame);
      ASSERT_EQ(s.heading, h);
      EXPECT_EQ(s.turn_heading, c.to);
      EXPECT_EQ(s.target_heading, c.to);  // not cleared until a step starts at it
      EXPECT_TRUE(shows(frame, kIsland.dx + 100 + h, kIsland.dy + 50, static_cast<std::uint16_t>(h),
                        false));
    }
    step(s, data, rng, frame);
    EXPECT_EQ(s.heading, c.to);
    EXPECT_EQ(s.target_heading, kNoTargetHeading);
    EXPECT_EQ(s.pose_x, 100 + c.to);
    EXPECT_FALSE(s.walking);
    EXPECT_EQ(draws(rng), c.expected_draws);

    const WalkerState settled = s;  // at rest nothing moves and nothing is drawn from chance
    step(s, data, rng, frame);
    EXPECT_EQ(s.heading, settled.heading);
    EXPECT_EQ(s.pose_x, settled.pose_x);
    EXPECT_EQ(draws(rng), c.expected_draws);
  }
}

TEST(WalkTurn, MissingPosesHideAndOffTableSpotsHide) {
  ExecutableTables data = walk_data();
  data.walk_paths[1].resize(3);  // arrival poses only for headings 0..2
  RandomGenerator rng = constant_rng(0);
  Layer frame;

  WalkerState s = standing(1, 1);
  s.target_heading = 4;
  step(s, data, rng, frame);
  EXPECT_EQ(s.pose_mode, kPoseNormal);  // heading 2 has a pose
  step(s, data, rng, frame);
  EXPECT_EQ(s.heading, 3);
  EXPECT_EQ(s.pose_mode, kPoseHidden);
  s.pose_x = 7;  // hidden keeps nothing drawn and the countdown as it was
  s.step_countdown = 0;
  frame.fill(kPaper);
  walk_tick(s, data, rng, frame, walk_sheet(), SpriteSheet{}, kIsland);
  EXPECT_EQ(s.step_countdown, 0);

  for (const std::int32_t spot : {7, -1, 1000}) {
    WalkerState t = standing(spot, 0);
    t.target_heading = 2;
    t.pose_mode = kPoseNormal;
    step(t, data, rng, frame);
    EXPECT_EQ(t.heading, 1);
    EXPECT_EQ(t.pose_mode, kPoseHidden) << "spot " << spot;
  }
}

TEST(WalkRoute, WeightedChoiceFromTheGroupOfTheCurrentSpot) {
  struct Case {
    std::vector<std::uint16_t> words;
    std::uint16_t h;
    std::uint64_t path;
  };
  const Case cases[] = {
      {{0xFFFE, 4, 100, 0xFFFF, 3, 100, 0xFFF9}, 99, 3},  // the group of spot 1, not of spot 2
      {{0xFFFF, 3, 30, 4, 70, 0xFFF9}, 45, 4},            // 45 - 30 > 0, 15 - 70 <= 0
      {{0xFFFF, 3, 30, 4, 70, 0xFFF9}, 30, 3},            // reaching 0 exactly picks
      {{0xFFFF, 3, 30, 4, 70, 0xFFF9}, 31, 4},            // one past
      {{0xFFFF, 3, 10, 4, 20, 0xFFF9}, 95, 4},            // pairs run out at -7: last visited
      {{0xFFFF, 3, 10, 4, 20, 0xFFFE, 5, 100, 0xFFF9}, 95, 4},  // ... or at the next group
      {{0xFFFF, 3, 10, 4, 20}, 95, 4},                          // ... or at the end of the list
      {{0xFFFF, 3, 0xFFF6, 4, 20, 0xFFF9}, 25, 4},  // weights are signed: 25 + 10 - 20 > 0
  };
  const ExecutableTables base = walk_data();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "h " << c.h << " path " << c.path);
    ExecutableTables data = base;
    for (std::uint64_t p = 3; p <= 5; ++p) {
      data.walk_paths[p] = {{1, 2, 3, false}};
      data.walk_path_info[p] = {2, 6, 2};
    }
    data.walk_routes[{1, 2}] = c.words;
    WalkerState s = standing(1, 0);
    s.target_spot = 2;
    RandomGenerator rng = constant_rng(c.h);
    Layer frame;
    step(s, data, rng, frame);
    EXPECT_EQ(draws(rng), 1);
    EXPECT_TRUE(s.walking);
    EXPECT_EQ(s.walk_start_spot, 1);
    EXPECT_EQ(s.walk_target_spot, 2);
    EXPECT_EQ(s.path_index, c.path);
    EXPECT_TRUE(s.on_path);
    EXPECT_EQ(s.turn_heading, 2);
    EXPECT_EQ(s.path_end_heading, 6);
    EXPECT_EQ(s.path_end_spot, 2);
    EXPECT_EQ(s.heading, 1);  // the first eighth of the turn on the same step
  }
}

TEST(WalkRoute, NoRouteNoGroupAndJumps) {
  const ExecutableTables base = walk_data();
  Layer frame;

  {  // no route: he stays and turns on the spot, and the choice is retried on each step
    WalkerState s = standing(1, 0);
    s.target_spot = 2;
    s.turn_heading = 2;
    RandomGenerator rng = constant_rng(0);
    step(s, base, rng, frame);
    step(s, base, rng, frame);
    EXPECT_TRUE(s.walking);
    EXPECT_EQ(s.heading, 2);
    EXPECT_EQ(s.pose_x, 202);  // transit pose: the spot is not the target
    EXPECT_EQ(draws(rng), 0);
  }

  for (const std::vector<std::uint16_t>& words : {std::vector<std::uint16_t>{},
                                                  {0xFFFE, 3, 100, 0xFFF9},
                                                  {0xFFF9, 0xFFFF, 3, 100},
                                                  {1, 3, 100, 0xFFF9}}) {
    // an empty list or no group of spot 1 before the -7: nothing happens, not even the turn
    ExecutableTables data = base;
    data.walk_routes[{1, 2}] = words;
    WalkerState s = standing(1, 0);
    s.target_spot = 2;
    s.turn_heading = 2;
    RandomGenerator rng = constant_rng(0);
    frame.fill(kPaper);
    step(s, data, rng, frame);
    EXPECT_TRUE(s.walking);
    EXPECT_EQ(s.heading, 0);
    EXPECT_EQ(s.turn_heading, 2);
    EXPECT_EQ(draws(rng), 0);
    EXPECT_EQ(s.step_countdown, 4);  // still drawn
  }

  struct Jump {
    std::vector<std::uint16_t> words;
    std::uint64_t index;
  };
  for (const Jump& j : {Jump{{0xFFFF, 0, 100, 0xFFF9}, 0},       // path 0, the empty path
                        Jump{{0xFFFF, 0xFFF9}, 0},               // a group without pairs
                        Jump{{0xFFFF, 9, 100, 0xFFF9}, 9},       // a path without steps
                        Jump{{0xFFFF, 40, 100, 0xFFF9}, 40}}) {  // past the table: all zero
    SCOPED_TRACE(::testing::Message() << "path " << j.index);
    ExecutableTables data = base;
    data.walk_routes[{1, 3}] = j.words;
    data.walk_path_info[0] = {5, 5, 3};
    data.walk_path_info[9] = {5, 5, 3};
    WalkerState s = standing(1, 0);
    s.target_spot = 3;
    RandomGenerator rng = constant_rng(0);
    step(s, data, rng, frame);
    EXPECT_FALSE(s.on_path);
    EXPECT_EQ(s.path_index, j.index);
    if (j.index < 35) {
      EXPECT_EQ(s.spot, 3);
      EXPECT_EQ(s.heading, 5);
      EXPECT_FALSE(s.walking);
    } else {
      EXPECT_EQ(s.spot, 0);
      EXPECT_EQ(s.heading, 0);
      EXPECT_TRUE(s.walking);  // landed off the target: the next step looks for a route again
    }
  }
}

TEST(WalkPath, FullWalkDrawsEachPoseAndArrives) {
  ExecutableTables data = walk_data();
  data.walk_paths[3] = {{-5, 27, 20, false}, {-3, 28, 21, true}, {-1, 29, 22, false}};
  data.walk_path_info[3] = {2, 2, 2};
  data.walk_routes[{1, 2}] = {0xFFFF, 3, 100, 0xFFF9};
  WalkerState s = standing(1, 0);
  s.target_spot = 2;
  s.target_heading = 3;
  RandomGenerator rng = constant_rng(0);
  Layer frame;

  struct Expected {
    std::int32_t x, y;
    std::uint16_t frame;
    bool mirrored;
    std::int32_t spot, heading;
    bool on_path;
  };
  const Expected walk[] = {
      {201, 60, 11, false, 1, 1, true},  // route chosen, one eighth towards the start heading
      {-5, 27, 20, false, 1, 2, true},   // turned to it: the first path step at once
      {-3, 28, 21, true, 1, 2, true},
      {-1, 29, 22, false, 2, 2, false},  // the last step ends the path at its end spot
      {103, 50, 3, false, 2, 3, false},  // at the target: turn to the target heading
      {103, 50, 3, false, 2, 3, false},  // and take the arrival pose there
  };
  for (const Expected& e : walk) {
    frame.fill(kPaper);
    step(s, data, rng, frame);
    SCOPED_TRACE(::testing::Message() << "frame " << e.frame);
    EXPECT_TRUE(shows(frame, kIsland.dx + e.x, kIsland.dy + e.y, e.frame, e.mirrored));
    EXPECT_EQ(s.spot, e.spot);
    EXPECT_EQ(s.heading, e.heading);
    EXPECT_EQ(s.on_path, e.on_path);
    EXPECT_EQ(s.step_countdown, 4);
  }
  EXPECT_FALSE(s.walking);
  EXPECT_EQ(s.target_heading, kNoTargetHeading);
  EXPECT_EQ(draws(rng), 1);
}

TEST(WalkPath, MissingStepsAndPathsEndThePath) {
  ExecutableTables data = walk_data();
  data.walk_paths[3] = {{1, 1, 1, false}, {2, 2, 2, false}};
  for (const auto& [path, step_index] : {std::pair<std::uint64_t, std::uint64_t>{3, 2},
                                         {3, std::numeric_limits<std::uint64_t>::max()},
                                         {35, 0},
                                         {std::numeric_limits<std::uint64_t>::max(), 0}}) {
    WalkerState s = standing(1, 0);
    s.target_spot = 4;
    s.walking = true;
    s.on_path = true;
    s.path_index = path;
    s.step_index = step_index;
    s.path_end_spot = 4;
    s.path_end_heading = 6;
    RandomGenerator rng = constant_rng(0);
    Layer frame;
    step(s, data, rng, frame);
    EXPECT_EQ(s.pose_mode, kPoseHidden);
    EXPECT_FALSE(s.on_path);
    EXPECT_EQ(s.spot, 4);
    EXPECT_EQ(s.heading, 6);
    EXPECT_FALSE(s.walking);
  }
}

// ---------------------------------------------------------------------------------------------

struct WalkFrontPiece : ::testing::Test {
  static constexpr std::uint8_t kBody = 50;
  static constexpr std::uint8_t kPiece = 200;

  WalkFrontPiece() {
    sheet.frames = {solid(4, 4, kBody)};
    // Larger than its test box, so pixels of the piece lie outside the box too; one hole.
    backdrop.frames.resize(14);
    backdrop.frames[13] = solid(60, 200, kPiece);
    backdrop.frames[13].pixels[10 * 60 + 10] = 0;
  }

  // The layer after drawing him at (x, y) relative to the island.
  Layer draw_at(std::int32_t x, std::int32_t y) {
    WalkerState s = standing(1, 0);
    s.pose_x = x;
    s.pose_y = y;
    RandomGenerator rng = constant_rng(0);
    Layer frame;
    frame.fill(kPaper);
    walk_tick(s, ExecutableTables{}, rng, frame, sheet, backdrop, kIsland);
    EXPECT_EQ(s.step_countdown, 4);
    return frame;
  }

  Layer him_at(std::int32_t x, std::int32_t y) {
    Layer expected;
    expected.fill(kPaper);
    blit(expected, sheet.frames[0], kIsland.dx + x, kIsland.dy + y, 0, ClipRect{});
    return expected;
  }

  SpriteSheet sheet;
  SpriteSheet backdrop;
};

TEST_F(WalkFrontPiece, BehindThePieceOnlyHisRectangleIsRepainted) {
  const Layer frame = draw_at(450, 156);
  Layer expected;
  expected.fill(kPaper);
  for (std::int32_t y = 0; y < 4; ++y) {
    for (std::int32_t x = 0; x < 4; ++x)
      expected.at(kIsland.dx + 450 + x, kIsland.dy + 156 + y) = kPiece;
  }
  expected.at(kIsland.dx + 453, kIsland.dy + 158) = kBody;  // the hole lets him show
  EXPECT_EQ(frame, expected);

  const Layer bottom = draw_at(450, 288);  // bottom edge 292: still behind
  EXPECT_EQ(bottom.at(kIsland.dx + 450, kIsland.dy + 291), kPiece);
  const Layer right = draw_at(464, 200);  // overlapping the last column of the box
  EXPECT_EQ(right.at(kIsland.dx + 464, kIsland.dy + 200), kPiece);
}

TEST_F(WalkFrontPiece, InFrontOrBesideHeIsNotOverdrawn) {
  struct Case {
    std::int32_t x, y;
  };
  for (const Case c : {Case{450, 289},     // bottom edge at 293: in front
                       Case{450, 300},     // well below
                       Case{465, 200},     // right of the box, over the piece's pixels
                       Case{400, 200}}) {  // left of it
    SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
    EXPECT_EQ(draw_at(c.x, c.y), him_at(c.x, c.y));
  }
  backdrop.frames.resize(13);  // no piece 13 in the sheet
  EXPECT_EQ(draw_at(450, 156), him_at(450, 156));
}

TEST(WalkDraw, CountdownRules) {
  const ExecutableTables data = walk_data();
  RandomGenerator rng = constant_rng(0);
  Layer frame;
  WalkerState s = standing(1, 0);
  s.turn_heading = 2;
  s.step_countdown = 1;
  walk_tick(s, data, rng, frame, walk_sheet(), SpriteSheet{}, kIsland);
  EXPECT_EQ(s.heading, 0);  // no step before the countdown has run out
  EXPECT_EQ(s.step_countdown, 4);
  for (const std::int32_t expected : {3, 2, 1, 0, 0}) {
    lower_step_countdown(s);
    EXPECT_EQ(s.step_countdown, expected);
  }
  s.step_countdown = -3;
  lower_step_countdown(s);
  EXPECT_EQ(s.step_countdown, 0);
  walk_tick(s, data, rng, frame, walk_sheet(), SpriteSheet{}, kIsland);
  EXPECT_EQ(s.heading, 1);

  s.step_countdown = 0;  // a frame the sheet lacks: nothing drawn, the countdown stays
  s.turn_heading = 1;
  s.pose_frame = 40;
  frame.fill(kPaper);
  walk_tick(s, data, rng, frame, walk_sheet(), SpriteSheet{}, kIsland);
  EXPECT_EQ(s.step_countdown, 0);
  Layer paper;
  paper.fill(kPaper);
  EXPECT_EQ(frame, paper);
}

TEST(WalkDraw, AnyStateAndDataStaysInBounds) {
  std::mt19937 gen(0x1234);
  const auto any = [&](std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(gen);
  };
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t extremes[] = {kMin, -9, -1, 0, 1, 3, 6, 7, 8, 35, kMax};
  const auto pick = [&] { return extremes[static_cast<std::size_t>(any(0, 10))]; };

  ExecutableTables data;
  for (auto& path : data.walk_paths) {
    for (int i = any(0, 3); i > 0; --i) {
      path.push_back({pick(), pick(), static_cast<std::uint16_t>(any(0, 32767)), any(0, 1) == 1});
    }
  }
  for (auto& info : data.walk_path_info) {
    info = {static_cast<std::uint8_t>(any(0, 255)), static_cast<std::uint8_t>(any(0, 9)),
            static_cast<std::uint8_t>(any(0, 8))};
  }
  for (auto& p : data.arrival_pose_paths) p = static_cast<std::uint8_t>(any(0, 255));
  for (auto& p : data.transit_pose_paths) p = static_cast<std::uint8_t>(any(0, 40));
  for (int f = 0; f <= 8; ++f) {
    for (int t = 0; t <= 8; ++t) {
      std::vector<std::uint16_t> words;
      for (int i = any(0, 9); i > 0; --i)
        words.push_back(static_cast<std::uint16_t>(any(0, 65535)));
      words.push_back(static_cast<std::uint16_t>(-any(1, 7)));
      data.walk_routes[{f, t}] = words;
    }
  }
  SpriteSheet sheet = walk_sheet();
  sheet.frames.push_back(Sprite{5, 5, {1, 2}});  // pixels do not cover the size
  SpriteSheet backdrop;
  backdrop.frames.resize(14, solid(30, 30, 9));

  std::array<std::uint16_t, 56> words{};
  for (auto& w : words) w = static_cast<std::uint16_t>(any(0, 65535));
  RandomGenerator rng(words, 3, 40);
  Layer frame;
  for (int round = 0; round < 300; ++round) {
    WalkerState s;
    s.on_path = any(0, 1) == 1;
    s.path_index = any(0, 1) ? static_cast<std::uint64_t>(any(0, 40)) : ~std::uint64_t{0};
    s.step_index = any(0, 1) ? static_cast<std::uint64_t>(any(0, 4)) : ~std::uint64_t{0} - 1;
    s.pose_x = pick();
    s.pose_y = pick();
    s.pose_frame = static_cast<std::uint16_t>(any(0, 45));
    s.pose_mode = static_cast<std::uint8_t>(any(0, 255));
    s.spot = pick();
    s.target_spot = pick();
    s.heading = pick();
    s.target_heading = pick();
    s.turn_heading = pick();
    s.walking = any(0, 1) == 1;
    const DrawOrigin island{pick(), pick()};
    for (int tick = 0; tick < 40; ++tick) {
      s.step_countdown = 0;
      walk_tick(s, data, rng, frame, sheet, backdrop, island);
    }
  }
  SUCCEED();  // the sanitizers watch the reads
}

}  // namespace
}  // namespace ot
