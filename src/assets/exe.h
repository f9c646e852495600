// The screensaver executable: an NE file whose data and code segments hold the scene catalog,
// walk data and generator state, and whose resources hold the sound effects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "assets/bytes.h"
#include "assets/data_error.h"

namespace ot {

inline constexpr std::uint32_t kFinalSceneFlag = 0x4;
inline constexpr std::size_t kWalkPathCount = 35;
inline constexpr std::size_t kSpotTableSize = 7;
inline constexpr std::size_t kGeneratorWordCount = 56;

struct CatalogEntry {
  std::uint8_t weight = 0;
  std::uint8_t start_spot = 0;
  std::uint8_t start_heading = 0;
  std::uint8_t end_spot = 0;
  std::uint8_t end_heading = 0;
  std::uint8_t cost = 0;
  std::uint8_t window_start = 0;
  std::uint8_t window_end = 0;
  std::uint8_t story_day = 0;
  std::uint32_t flags = 0;
  std::uint8_t ads_number = 0;
  std::uint8_t section = 0;

  bool operator==(const CatalogEntry&) const = default;
};

struct WalkStep {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint16_t frame = 0;  // step word AND 0x7FFF
  bool mirrored = false;    // bit 15 of the step word

  bool operator==(const WalkStep&) const = default;
};

using WalkPath = std::vector<WalkStep>;

struct WalkPathInfo {
  std::uint8_t start_heading = 0;
  std::uint8_t end_heading = 0;
  std::uint8_t end_spot = 0;

  bool operator==(const WalkPathInfo&) const = default;
};

// Samples (byte - 128) / 128, one channel; shared with the audio thread.
using SoundSamples = std::shared_ptr<const std::vector<float>>;

struct ExecutableTables {
  std::vector<CatalogEntry> catalog;                // file order
  std::map<int, std::string> ads_names;             // ADS number 0..255 -> resource name
  std::array<WalkPath, kWalkPathCount> walk_paths;  // [0] is always empty
  std::array<WalkPathInfo, kWalkPathCount> walk_path_info;
  std::array<std::uint8_t, kSpotTableSize> arrival_pose_paths{};
  std::array<std::uint8_t, kSpotTableSize> transit_pose_paths{};
  std::map<std::pair<int, int>, std::vector<std::uint16_t>> walk_routes;  // (from, to) -> words
  std::array<std::vector<std::uint8_t>, 3> sea_sprites;  // frame lists of sprite types 1, 2, 3
  std::array<std::uint16_t, kGeneratorWordCount> generator_words{};
  std::array<std::uint16_t, 2> generator_positions{};  // raw words
  std::map<std::uint32_t, SoundSamples> sounds;
};

Result<ExecutableTables> read_executable(Bytes file);

// The bytes of NE segment `segment` (numbered from 1) of the file whose NE header is at
// `ne_offset`.
Result<Bytes> load_ne_segment(Bytes file, std::size_t ne_offset, std::size_t segment);

}  // namespace ot
