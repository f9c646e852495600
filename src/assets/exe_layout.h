// Where the screensaver executable keeps its tables: segment numbers, data-segment offsets and
// build markers, shared by the reader and the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ot::exe_layout {

inline constexpr std::size_t kCodeSegment = 4;
inline constexpr std::size_t kDataSegment = 14;

// Data segment.
inline constexpr std::size_t kSeaSpriteOffsets[3] = {632, 624, 616};  // sprite types 1, 2, 3
inline constexpr std::size_t kSeaSpriteListSize = 8;
inline constexpr std::size_t kWalkInfoOffset = 734;
inline constexpr std::size_t kArrivalPoseOffset = 839;
inline constexpr std::size_t kTransitPoseOffset = 846;
inline constexpr std::size_t kRouteTableOffset = 2708;
inline constexpr std::size_t kAdsNameOffset = 5742;
inline constexpr std::size_t kAdsMarkerOffset = 5761;
inline constexpr std::size_t kCatalogOffset = 5974;
inline constexpr std::size_t kRecordSize = 17;
inline constexpr std::size_t kAdsNameField = 15;
inline constexpr std::size_t kGeneratorPositionOffset = 7394;  // + the layout shift
inline constexpr std::size_t kGeneratorWordOffset = 7398;      // + the layout shift
inline constexpr std::size_t kSoundMarkerOffset = 7510;        // + the layout shift
inline constexpr std::string_view kSoundMarker = "WAVESFX%d";
inline constexpr std::string_view kAdsMarker = "ACTIVITY.ADS";

// Code segment: 34 pointers to the instructions that load the walk paths' offsets.
inline constexpr std::size_t kWalkPointerOffset = 1275;
inline constexpr std::uint8_t kLoadImmediate = 0xB8;

// Resources.
inline constexpr std::uint16_t kNameTableType = 0x800F;
inline constexpr std::uint16_t kNameTableId = 0x8001;
inline constexpr std::string_view kSoundPrefix = "WAVESFX";

}  // namespace ot::exe_layout
