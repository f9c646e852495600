#include "engine/walk.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace ot {

namespace {

using i64 = std::int64_t;

constexpr std::int16_t kRouteEnd = -7;  // 0xFFF9
constexpr std::int32_t kLastSpot = 6;

// Piece 13 of the island, which the character passes behind: the frame, where it stands, and the
// last column and row of its test box (relative to the island offset).
constexpr std::size_t kFrontPieceFrame = 13;
constexpr std::int32_t kFrontPieceX = 443;
constexpr std::int32_t kFrontPieceY = 148;
constexpr std::int32_t kFrontPieceLastX = 464;
constexpr std::int32_t kFrontPieceLastY = 292;

std::int32_t saturate(i64 v) {
  return static_cast<std::int32_t>(std::clamp<i64>(v, std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
}

const WalkPath* walk_path(const ExecutableTables& data, std::uint64_t index) {
  return index < data.walk_paths.size() ? &data.walk_paths[index] : nullptr;
}

const WalkStep* step_of(const ExecutableTables& data, std::uint64_t path, std::uint64_t step) {
  const WalkPath* p = walk_path(data, path);
  if (p == nullptr || step >= p->size()) return nullptr;
  return &(*p)[static_cast<std::size_t>(step)];
}

void take_pose(WalkerState& s, const WalkStep* step) {
  if (step == nullptr) {
    s.pose_mode = kPoseHidden;
    return;
  }
  s.pose_x = step->x;
  s.pose_y = step->y;
  s.pose_frame = step->frame;
  s.pose_mode = step->mirrored ? kPoseMirrored : kPoseNormal;
}

// The standing pose at the current spot for the current heading, from the arrival table when the
// spot is the target, else from the transit table.
void take_standing_pose(WalkerState& s, const ExecutableTables& data, bool arrival) {
  const auto& table = arrival ? data.arrival_pose_paths : data.transit_pose_paths;
  if (s.spot < 0 || s.spot > kLastSpot || static_cast<std::size_t>(s.spot) >= table.size() ||
      s.heading < 0) {
    take_pose(s, nullptr);
    return;
  }
  take_pose(s, step_of(data, table[static_cast<std::size_t>(s.spot)],
                       static_cast<std::uint64_t>(s.heading)));
}

void arrive_if_at_target(WalkerState& s) {
  if (s.spot == s.target_spot) s.walking = false;
}

// The path of a route group: h is spent on the weights in order; when the pairs run out the last
// path visited wins. A group without pairs gives the (negative, so 0) word after the marker.
i64 pick_route_path(std::span<const std::uint16_t> words, std::size_t first, i64 h) {
  i64 path = -1;
  for (std::size_t i = first; i < words.size(); i += 2) {
    const auto word = static_cast<std::int16_t>(words[i]);
    if (word < 0) break;
    path = word;
    if (i + 1 >= words.size()) break;
    h -= static_cast<std::int16_t>(words[i + 1]);
    if (h <= 0) break;
  }
  return std::max<i64>(path, 0);
}

enum class RouteChoice { NoRoute, NoGroup, Chosen };

RouteChoice choose_route(WalkerState& s, const ExecutableTables& data, RandomGenerator& rng) {
  const auto route = data.walk_routes.find({s.walk_start_spot, s.walk_target_spot});
  if (route == data.walk_routes.end()) return RouteChoice::NoRoute;
  const std::vector<std::uint16_t>& words = route->second;

  std::optional<std::size_t> marker;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const auto word = static_cast<std::int16_t>(words[i]);
    if (word == kRouteEnd) break;
    if (word < 0 && word == -i64{s.spot}) {
      marker = i;
      break;
    }
  }
  if (!marker) return RouteChoice::NoGroup;

  const i64 h = rng.next16() % 100;
  const i64 p = pick_route_path(words, *marker + 1, h);
  const auto index = static_cast<std::uint64_t>(p);
  const WalkPathInfo info =
      index < data.walk_path_info.size() ? data.walk_path_info[index] : WalkPathInfo{};
  s.path_index = index;
  s.turn_heading = info.start_heading;
  s.path_end_heading = info.end_heading;
  s.path_end_spot = info.end_spot;
  s.step_index = 0;
  const WalkPath* path = walk_path(data, index);
  s.on_path = p > 0 && path != nullptr && !path->empty();
  if (!s.on_path) {
    // An empty path is a jump: no animation.
    s.heading = info.end_heading;
    s.spot = info.end_spot;
    arrive_if_at_target(s);
  }
  return RouteChoice::Chosen;
}

void path_step(WalkerState& s, const ExecutableTables& data) {
  const WalkStep* current = step_of(data, s.path_index, s.step_index);
  take_pose(s, current);
  const WalkPath* path = walk_path(data, s.path_index);
  if (current != nullptr && s.step_index + 1 < path->size()) {
    ++s.step_index;
    return;
  }
  s.heading = s.path_end_heading;
  s.spot = s.path_end_spot;
  s.on_path = false;
  arrive_if_at_target(s);
}

void turn(WalkerState& s, const ExecutableTables& data, RandomGenerator& rng) {
  const i64 d = i64{s.heading} - s.turn_heading;
  i64 direction = 1;
  if (d == 4 || d == -4) {
    direction = (rng.next16() & 1) != 0 ? -1 : 1;
  } else if ((d >= 1 && d <= 3) || d < -4) {
    direction = -1;
  }
  s.heading = static_cast<std::int32_t>((((i64{s.heading} + direction) % 8) + 8) % 8);
  take_standing_pose(s, data, s.spot == s.target_spot);
}

void step(WalkerState& s, const ExecutableTables& data, RandomGenerator& rng) {
  if (!s.on_path) {
    bool choose = s.walking;
    if (!s.walking && s.spot != s.target_spot) {
      s.walking = true;
      s.walk_start_spot = static_cast<std::uint8_t>(s.spot);
      s.walk_target_spot = static_cast<std::uint8_t>(s.target_spot);
      choose = true;
    }
    if (choose && choose_route(s, data, rng) == RouteChoice::NoGroup) return;
  }

  if (s.target_heading != kNoTargetHeading && s.spot == s.target_spot &&
      s.heading == s.turn_heading) {
    if (s.heading == s.target_heading) {
      take_standing_pose(s, data, true);
      s.target_heading = kNoTargetHeading;
    } else {
      s.turn_heading = s.target_heading;
    }
  }

  if (s.heading != s.turn_heading) {
    turn(s, data, rng);
    if (s.on_path && s.heading == s.turn_heading) path_step(s, data);
  } else if (s.on_path) {
    path_step(s, data);
  }
}

// Repaints the front island piece inside the character's rectangle when he stands behind it.
void overdraw_front_piece(Layer& frame, const SpriteSheet& backdrop_sheet, DrawOrigin island, i64 x,
                          i64 y, i64 w, i64 h) {
  if (backdrop_sheet.frames.size() <= kFrontPieceFrame) return;
  const i64 box_x = i64{island.dx} + kFrontPieceX, box_y = i64{island.dy} + kFrontPieceY;
  const bool overlaps = x <= i64{island.dx} + kFrontPieceLastX && x + w >= box_x &&
                        y <= i64{island.dy} + kFrontPieceLastY && y + h >= box_y;
  if (!overlaps || y + h >= i64{island.dy} + kFrontPieceLastY + 1) return;
  const ClipRect inside{saturate(x), saturate(y), saturate(x + w - 1), saturate(y + h - 1)};
  blit(frame, backdrop_sheet.frames[kFrontPieceFrame], saturate(box_x), saturate(box_y), 0, inside);
}

}  // namespace

void walk_tick(WalkerState& state, const ExecutableTables& walk_data, RandomGenerator& rng,
               Layer& frame, const SpriteSheet& walk_sheet, const SpriteSheet& backdrop_sheet,
               DrawOrigin island) {
  if (state.step_countdown == 0) step(state, walk_data, rng);

  if (state.pose_mode == kPoseHidden || state.pose_frame >= walk_sheet.frames.size()) return;
  const Sprite& sprite = walk_sheet.frames[state.pose_frame];
  const i64 x = i64{island.dx} + state.pose_x, y = i64{island.dy} + state.pose_y;
  blit(frame, sprite, saturate(x), saturate(y),
       state.pose_mode == kPoseMirrored ? kBlitMirrored : 0, ClipRect{});
  overdraw_front_piece(frame, backdrop_sheet, island, x, y, sprite.width, sprite.height);
  state.step_countdown = kWalkStepInterval;
}

void lower_step_countdown(WalkerState& state) {
  state.step_countdown = state.step_countdown > 0 ? state.step_countdown - 1 : 0;
}

}  // namespace ot
