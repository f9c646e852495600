// The walker: brings the character from spot to spot along the recorded walk paths, turning on
// the spot one eighth per step, and draws his pose behind the island piece in front of him.
//
// Every value in the state and the walk data may be anything: missing routes, paths, steps, poses
// and frames make the character stay, hide or go undrawn, never fail.
#pragma once

#include <cstdint>

#include "assets/exe.h"
#include "assets/images.h"
#include "engine/gfx.h"
#include "engine/rng.h"

namespace ot {

inline constexpr std::uint8_t kPoseNormal = 0;
inline constexpr std::uint8_t kPoseMirrored = 1;
inline constexpr std::uint8_t kPoseHidden = 2;

inline constexpr std::int32_t kNoTargetHeading = -1;

// Steps (in 16 ms units) between two walking steps, set after each draw.
inline constexpr std::int32_t kWalkStepInterval = 4;

struct WalkerState {
  bool on_path = false;          // in the middle of a walk path
  std::uint64_t path_index = 0;  // walk path being followed
  std::uint64_t step_index = 0;  // next step of that path
  std::int32_t pose_x = 0;       // offset of the drawn frame from the island offset
  std::int32_t pose_y = 0;
  std::uint16_t pose_frame = 0;  // walk sheet frame
  std::uint8_t pose_mode = kPoseNormal;
  std::int32_t spot = 0;  // 1..6
  std::int32_t target_spot = 0;
  std::int32_t heading = 0;  // 0..7
  std::int32_t target_heading = kNoTargetHeading;
  std::int32_t step_countdown = 0;  // 16 ms units until the next step
  std::int32_t turn_heading = 0;    // heading to reach before the current path starts
  std::int32_t path_end_heading = 0;
  std::int32_t path_end_spot = 0;
  bool walking = false;  // a walk from walk_start_spot to walk_target_spot is under way
  std::uint8_t walk_start_spot = 0;
  std::uint8_t walk_target_spot = 0;

  bool operator==(const WalkerState&) const = default;
};

// One engine tick of the walker: a step when the countdown has run out, then the pose drawn into
// `frame` at the island offset `island` (the island's dx, dy, not the scene drawing origin).
void walk_tick(WalkerState& state, const ExecutableTables& walk_data, RandomGenerator& rng,
               Layer& frame, const SpriteSheet& walk_sheet, const SpriteSheet& backdrop_sheet,
               DrawOrigin island);

// One 16 ms unit of the engine's clock.
void lower_step_countdown(WalkerState& state);

}  // namespace ot
