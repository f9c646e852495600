// Writing a screensaver executable: an MZ stub and an NE file whose code segment (4) and data
// segment (14) carry the scene catalog, ADS names, walk data, sea-sprite lists and generator
// state at their fixed offsets, and whose resources carry the sounds, named through the
// resource name table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "assets/exe_layout.h"

namespace ot::authoring {

inline constexpr std::size_t kExeWalkPaths = 34;  // paths 1..34; path 0 is never stored
inline constexpr std::size_t kExeSegmentCount = 14;
inline constexpr std::uint16_t kNameTableType = exe_layout::kNameTableType;
inline constexpr std::uint16_t kNameTableId = exe_layout::kNameTableId;
inline constexpr std::uint16_t kSoundResourceType = 0x8007;
inline constexpr std::uint16_t kFirstSoundId = 0x8001;  // sounds[i] gets id 0x8001 + i
// Start of the free data-segment space after the fixed tables; walk paths and routes go there.
inline constexpr std::uint16_t kExeVariableData = 7536;
// Free data-segment space between the route table and the ADS names, for a segment of the
// smallest size the reader accepts.
inline constexpr std::uint16_t kExeGapData = 2794;

// A 17-byte scene catalog record.
struct CatalogRecord {
  std::uint16_t marker = 1;  // 0 would end the table
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
};

// A 17-byte ADS name record: the name is cut or zero-padded to 15 bytes.
struct AdsNameRecord {
  std::uint16_t number = 0;
  std::string name;
};

// A walk path step as stored: frame word (bit 15 mirrors), then x and y.
struct RawWalkStep {
  std::uint16_t word = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
};

struct WalkInfoRecord {
  std::uint8_t start_heading = 0;
  std::uint8_t end_heading = 0;
  std::uint8_t end_spot = 0;
};

// A resource of type kSoundResourceType with a name table entry ("WAVE", name).
struct NamedSound {
  std::string name;                // "WAVESFX12" makes sound 12
  std::vector<std::uint8_t> data;  // normally wave_sound(...), but any bytes
};

// A name table entry written as given, for names that point at resources of one's choosing.
struct NameTableEntry {
  std::uint16_t type = 0;
  std::uint16_t id = 0;
  std::string type_name;
  std::string name;
};

struct ExecutableSpec {
  std::vector<CatalogRecord> catalog;  // at most 83 records, then a 0 marker
  // At most 13 records, then a 0 number. The second name doubles as the build marker
  // "ACTIVITY.ADS"; another name there makes a file the reader refuses.
  std::vector<AdsNameRecord> ads_names;
  // Paths 1..34, each written with its terminating step of three zero words.
  std::array<std::vector<RawWalkStep>, kExeWalkPaths> walk_paths;
  std::array<WalkInfoRecord, kExeWalkPaths + 1> walk_path_info{};
  std::array<std::uint8_t, 7> arrival_pose_paths{};
  std::array<std::uint8_t, 7> transit_pose_paths{};
  // (from, to), spots 1..6 -> words written as given (a well-formed list ends with 0xFFF9).
  std::map<std::pair<int, int>, std::vector<std::uint16_t>> routes;
  // Frame lists of sea-sprite types 1, 2, 3: at most 8 frames, the rest filled with 0xFF.
  std::array<std::vector<std::uint8_t>, 3> sea_sprites;
  std::array<std::uint16_t, 56> generator_words{};
  std::array<std::uint16_t, 2> generator_positions{};
  unsigned layout_shift = 0;    // 0 or 2: the generator block and its marker move by this
  unsigned segment_shift = 4;   // segment alignment, below 16
  unsigned resource_shift = 4;  // resource alignment, below 16; lengths are padded to it
  // Where walk paths and then route lists start in the data segment: kExeVariableData, or
  // kExeGapData when they fit before the ADS names (the segment then ends at its marker).
  std::uint16_t variable_data = kExeVariableData;
  std::vector<NamedSound> sounds;
  std::vector<NameTableEntry> extra_names;  // after the sounds' entries
};

// File offsets of the parts of a written executable, for tests that damage it.
struct ExecutableLayout {
  std::size_t ne_offset = 0;       // the NE header
  std::size_t segment_table = 0;   // segment 1's 8-byte entry
  std::size_t resource_table = 0;  // its alignment word
  std::size_t code_segment = 0;    // segment 4's bytes
  std::size_t data_segment = 0;    // segment 14's bytes
  std::size_t data_size = 0;       // segment 14's length
  std::size_t name_table = 0;      // the name table's bytes (0 when there is none)
  std::array<std::uint16_t, kExeWalkPaths> walk_paths{};  // data-segment offsets of paths 1..34
};

struct WrittenExecutable {
  std::vector<std::uint8_t> bytes;
  ExecutableLayout layout;
};

// The name table is written only when there are sounds or extra names. Resources come in this
// order: the name table, then the sounds; the file ends with the last sound.
WrittenExecutable write_executable(const ExecutableSpec& plan);

// A RIFF/WAVE file: mono, unsigned 8-bit, 11025 Hz; a "fmt " chunk and a "data" chunk.
std::vector<std::uint8_t> wave_sound(std::span<const std::uint8_t> samples);

// A complete, plausible executable: a catalog with openers, fillers, an idle entry, a special
// and a final scene; seven ADS names; pose and moving walk paths between six spots with
// weighted routes; sea-sprite lists; generator state; sounds 1 to 3.
ExecutableSpec default_executable_spec();

}  // namespace ot::authoring
