#include "authoring/executable_writer.h"

#include <cassert>
#include <string_view>

#include "assets/exe_layout.h"
#include "authoring/byte_writer.h"

namespace ot::authoring {

namespace {

using namespace exe_layout;

constexpr std::size_t kNeOffset = 0x80;
constexpr std::size_t kNeHeaderSize = 64;

// Data segment.
constexpr std::size_t kMaxAdsNames = 13;
constexpr std::size_t kMaxCatalog = 83;

// Code segment: the pointer table, then one `mov ax, imm16; push ax` per walk path.
constexpr std::size_t kWalkCodeOffset = kWalkPointerOffset + 2 * kExeWalkPaths;

// A byte image written at fixed offsets; it grows to fit.
class Image {
 public:
  explicit Image(std::size_t size) : bytes_(size, 0) {}

  void u8_at(std::size_t offset, std::uint32_t v) {
    if (bytes_.size() <= offset) bytes_.resize(offset + 1, 0);
    bytes_[offset] = static_cast<std::uint8_t>(v);
  }
  void u16_at(std::size_t offset, std::uint32_t v) {
    u8_at(offset, v);
    u8_at(offset + 1, v >> 8);
  }
  void u32_at(std::size_t offset, std::uint32_t v) {
    u16_at(offset, v);
    u16_at(offset + 2, v >> 16);
  }
  void text_at(std::size_t offset, std::string_view s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
      u8_at(offset + i, i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    }
  }

  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> data_segment(const ExecutableSpec& plan, ExecutableLayout& layout) {
  assert(plan.layout_shift == 0 || plan.layout_shift == 2);
  assert(plan.ads_names.size() <= kMaxAdsNames);
  assert(plan.catalog.size() <= kMaxCatalog);
  const std::size_t l = plan.layout_shift;
  Image d(kSoundMarkerOffset + l + kSoundMarker.size());

  for (std::size_t i = 0; i < 3; ++i) {
    const auto& frames = plan.sea_sprites[i];
    assert(frames.size() <= 8);
    for (std::size_t k = 0; k < 8; ++k) {
      d.u8_at(kSeaSpriteOffsets[i] + k, k < frames.size() ? frames[k] : 0xFF);
    }
  }
  for (std::size_t i = 0; i < plan.walk_path_info.size(); ++i) {
    const WalkInfoRecord& info = plan.walk_path_info[i];
    d.u8_at(kWalkInfoOffset + 3 * i, info.start_heading);
    d.u8_at(kWalkInfoOffset + 3 * i + 1, info.end_heading);
    d.u8_at(kWalkInfoOffset + 3 * i + 2, info.end_spot);
  }
  for (std::size_t i = 0; i < 7; ++i) {
    d.u8_at(kArrivalPoseOffset + i, plan.arrival_pose_paths[i]);
    d.u8_at(kTransitPoseOffset + i, plan.transit_pose_paths[i]);
  }

  std::size_t j = kAdsNameOffset;
  for (const AdsNameRecord& r : plan.ads_names) {
    d.u16_at(j, r.number);
    d.text_at(j + 2, r.name, 15);
    j += 17;
  }
  d.u16_at(j, 0);

  j = kCatalogOffset;
  for (const CatalogRecord& r : plan.catalog) {
    d.u16_at(j, r.marker);
    const std::uint8_t fields[] = {r.weight,       r.start_spot,  r.start_heading,
                                   r.end_spot,     r.end_heading, r.cost,
                                   r.window_start, r.window_end,  r.story_day};
    for (std::size_t i = 0; i < std::size(fields); ++i) d.u8_at(j + 2 + i, fields[i]);
    d.u32_at(j + 11, r.flags);
    d.u8_at(j + 15, r.ads_number);
    d.u8_at(j + 16, r.section);
    j += 17;
  }
  d.u16_at(j, 0);

  d.u16_at(kGeneratorPositionOffset + l, plan.generator_positions[0]);
  d.u16_at(kGeneratorPositionOffset + l + 2, plan.generator_positions[1]);
  for (std::size_t i = 0; i < plan.generator_words.size(); ++i) {
    d.u16_at(kGeneratorWordOffset + l + 2 * i, plan.generator_words[i]);
  }
  d.text_at(kSoundMarkerOffset + l, kSoundMarker, kSoundMarker.size());

  std::size_t pos = plan.variable_data;
  for (std::size_t k = 0; k < kExeWalkPaths; ++k) {
    layout.walk_paths[k] = static_cast<std::uint16_t>(pos);
    for (const RawWalkStep& step : plan.walk_paths[k]) {
      d.u16_at(pos, step.word);
      d.u16_at(pos + 2, static_cast<std::uint16_t>(step.x));
      d.u16_at(pos + 4, static_cast<std::uint16_t>(step.y));
      pos += 6;
    }
    for (std::size_t i = 0; i < 6; ++i) d.u8_at(pos + i, 0);
    pos += 6;
  }
  for (const auto& [key, words] : plan.routes) {
    const auto [from, to] = key;
    assert(from >= 1 && from <= 6 && to >= 1 && to <= 6);
    d.u16_at(
        kRouteTableOffset + 12 * static_cast<std::size_t>(from) + 2 * static_cast<std::size_t>(to),
        static_cast<std::uint32_t>(pos));
    for (const std::uint16_t w : words) {
      d.u16_at(pos, w);
      pos += 2;
    }
  }
  // Offsets into the segment are 16-bit, and the free space must not reach the fixed tables.
  assert(pos <= 0x10000);
  assert(plan.variable_data >= kSoundMarkerOffset + l + kSoundMarker.size() ||
         (plan.variable_data >= kExeGapData && pos <= kAdsNameOffset));
  return std::move(d.bytes());
}

std::vector<std::uint8_t> code_segment(const ExecutableLayout& layout) {
  Image c(kWalkCodeOffset + 4 * kExeWalkPaths);
  for (std::size_t k = 0; k < kExeWalkPaths; ++k) {
    const std::size_t at = kWalkCodeOffset + 4 * k;
    c.u16_at(kWalkPointerOffset + 2 * k, static_cast<std::uint32_t>(at));
    c.u8_at(at, 0xB8);
    c.u16_at(at + 1, layout.walk_paths[k]);
    c.u8_at(at + 3, 0x50);
  }
  return std::move(c.bytes());
}

std::vector<std::uint8_t> name_table(const ExecutableSpec& plan) {
  ByteWriter w;
  auto entry = [&](std::uint32_t type, std::uint32_t id, std::string_view type_name,
                   std::string_view name) {
    w.u16(static_cast<std::uint32_t>(6 + type_name.size() + 1 + name.size() + 1))
        .u16(type)
        .u16(id)
        .text(type_name)
        .u8(0)
        .text(name)
        .u8(0);
  };
  for (std::size_t i = 0; i < plan.sounds.size(); ++i) {
    entry(kSoundResourceType, static_cast<std::uint32_t>(kFirstSoundId + i), "WAVE",
          plan.sounds[i].name);
  }
  for (const NameTableEntry& e : plan.extra_names) entry(e.type, e.id, e.type_name, e.name);
  w.u16(0);
  return w.take();
}

void align(ByteWriter& w, unsigned shift) {
  const std::size_t unit = std::size_t{1} << shift;
  if (w.size() % unit != 0) w.zeros(unit - w.size() % unit);
}

}  // namespace

WrittenExecutable write_executable(const ExecutableSpec& plan) {
  assert(plan.segment_shift < 16 && plan.resource_shift < 16);
  WrittenExecutable out;
  ExecutableLayout& layout = out.layout;
  const std::vector<std::uint8_t> data = data_segment(plan, layout);
  const std::vector<std::uint8_t> code = code_segment(layout);

  ByteWriter w;
  w.text("MZ").zeros(0x3C - 2).u32(static_cast<std::uint32_t>(kNeOffset));
  w.put_u16_at(0x18, 0x40);  // relocation table offset 0x40: a new-style executable
  w.zeros(kNeOffset - w.size());

  const std::size_t e = w.size();
  layout.ne_offset = e;
  w.text("NE").zeros(kNeHeaderSize - 2);
  w.put_u16_at(e + 28, kExeSegmentCount);
  w.put_u16_at(e + 34, static_cast<std::uint32_t>(kNeHeaderSize));
  w.put_u16_at(e + 50, plan.segment_shift);

  layout.segment_table = w.size();
  w.zeros(8 * kExeSegmentCount);

  // Resource table: the name table's block, then the sounds' block.
  layout.resource_table = w.size();
  w.put_u16_at(e + 36, static_cast<std::uint32_t>(layout.resource_table - e));
  w.u16(plan.resource_shift);
  struct PendingResource {
    std::size_t entry;
    std::span<const std::uint8_t> data;
    bool is_name_table;
  };
  std::vector<PendingResource> pending;
  const bool has_names = !plan.sounds.empty() || !plan.extra_names.empty();
  const std::vector<std::uint8_t> names =
      has_names ? name_table(plan) : std::vector<std::uint8_t>{};
  auto resource_entry = [&](std::span<const std::uint8_t> bytes, std::uint32_t id, bool is_names) {
    pending.push_back({w.size(), bytes, is_names});
    w.u16(0).u16(0).u16(0x0C30).u16(id).u32(0);
  };
  if (has_names) {
    w.u16(kNameTableType).u16(1).u32(0);
    resource_entry(names, kNameTableId, true);
  }
  if (!plan.sounds.empty()) {
    w.u16(kSoundResourceType).u16(static_cast<std::uint32_t>(plan.sounds.size())).u32(0);
    for (std::size_t i = 0; i < plan.sounds.size(); ++i) {
      resource_entry(plan.sounds[i].data, static_cast<std::uint32_t>(kFirstSoundId + i), false);
    }
  }
  w.u16(0).u8(0);  // end of the type blocks; no resource name strings

  for (std::size_t n = 1; n <= kExeSegmentCount; ++n) {
    static constexpr std::uint8_t kFiller[] = {0xCB};  // retf
    const std::span<const std::uint8_t> bytes = n == kCodeSegment ? std::span(code)
                                                : n == kDataSegment
                                                    ? std::span(data)
                                                    : std::span<const std::uint8_t>(kFiller);
    align(w, plan.segment_shift);
    const std::size_t start = w.size();
    assert((start >> plan.segment_shift) <= 0xFFFF && bytes.size() <= 0x10000);
    if (n == kCodeSegment) layout.code_segment = start;
    if (n == kDataSegment) {
      layout.data_segment = start;
      layout.data_size = bytes.size();
    }
    w.bytes(bytes);
    const std::size_t entry = layout.segment_table + 8 * (n - 1);
    const auto length = static_cast<std::uint32_t>(bytes.size() & 0xFFFF);  // 0 means 65536
    w.put_u16_at(entry, static_cast<std::uint32_t>(start >> plan.segment_shift));
    w.put_u16_at(entry + 2, length);
    w.put_u16_at(entry + 4, n == kDataSegment ? 0x0C71 : 0x0D50);
    w.put_u16_at(entry + 6, length);
  }

  for (const PendingResource& r : pending) {
    align(w, plan.resource_shift);
    const std::size_t start = w.size();
    if (r.is_name_table) layout.name_table = start;
    w.bytes(r.data);
    align(w, plan.resource_shift);
    const std::size_t units = (w.size() - start) >> plan.resource_shift;
    assert((start >> plan.resource_shift) <= 0xFFFF && units <= 0xFFFF);
    w.put_u16_at(r.entry, static_cast<std::uint32_t>(start >> plan.resource_shift));
    w.put_u16_at(r.entry + 2, static_cast<std::uint32_t>(units));
  }

  out.bytes = w.take();
  return out;
}

std::vector<std::uint8_t> wave_sound(std::span<const std::uint8_t> samples) {
  const std::size_t pad = samples.size() & 1;
  ByteWriter w;
  w.text("RIFF")
      .u32(static_cast<std::uint32_t>(4 + 8 + 16 + 8 + samples.size() + pad))
      .text("WAVE")
      .text("fmt ")
      .u32(16)
      .u16(1)  // PCM
      .u16(1)  // mono
      .u32(11025)
      .u32(11025)  // bytes per second
      .u16(1)      // block alignment
      .u16(8)      // bits per sample
      .text("data")
      .u32(static_cast<std::uint32_t>(samples.size()))
      .bytes(samples)
      .zeros(pad);
  return w.take();
}

namespace {

struct Point {
  int x;
  int y;
};

// Where the character stands on spots 1..6, relative to the island.
constexpr Point kSpots[7] = {{0, 0},     {118, 214}, {196, 178}, {292, 196},
                             {380, 166}, {462, 208}, {256, 252}};

// Paths 13..33 move between spots; `bend` makes an alternative path that curves.
struct Move {
  int from;
  int to;
  int bend;
};
constexpr Move kMoves[] = {{1, 2, 0}, {2, 1, 0}, {2, 3, 0}, {3, 2, 0}, {3, 4, 0},  {4, 3, 0},
                           {4, 5, 0}, {5, 4, 0}, {5, 6, 0}, {6, 5, 0}, {1, 3, 0},  {3, 1, 0},
                           {4, 6, 0}, {6, 4, 0}, {2, 3, 5}, {3, 2, 5}, {3, 4, -4}, {4, 3, -4},
                           {5, 6, 6}, {6, 5, 6}, {1, 2, -3}};
constexpr std::size_t kFirstMovePath = 13;
constexpr std::size_t kEmptyPath = 34;

std::int16_t i16(int v) {
  return static_cast<std::int16_t>(v);
}

// The eight standing poses of a spot, by heading; headings 5..7 mirror 3..1.
std::vector<RawWalkStep> poses(int spot, unsigned first_frame) {
  std::vector<RawWalkStep> steps;
  for (unsigned h = 0; h < 8; ++h) {
    const unsigned frame = h <= 4 ? first_frame + h : 0x8000u | (first_frame + 8 - h);
    steps.push_back(
        {static_cast<std::uint16_t>(frame), i16(kSpots[spot].x - 12), i16(kSpots[spot].y - 40)});
  }
  return steps;
}

std::uint8_t heading_of(const Move& m) {
  const int dx = kSpots[m.to].x - kSpots[m.from].x;
  const int dy = kSpots[m.to].y - kSpots[m.from].y;
  if (dx >= 0) return dy > 0 ? 3 : 1;
  return dy > 0 ? 5 : 7;
}

std::vector<RawWalkStep> walk(const Move& m) {
  const int n = m.bend == 0 ? 6 : 8;
  const Point a = kSpots[m.from];
  const Point b = kSpots[m.to];
  const bool left = b.x < a.x;
  std::vector<RawWalkStep> steps;
  for (int i = 0; i < n; ++i) {
    const int x = a.x + (b.x - a.x) * (i + 1) / n - 12;
    const int y = a.y + (b.y - a.y) * (i + 1) / n + m.bend * (i + 1) * (n - 1 - i) / 4 - 40;
    const unsigned frame = 16 + static_cast<unsigned>(i % 4) + (m.bend == 0 ? 0 : 4);
    steps.push_back({static_cast<std::uint16_t>(left ? 0x8000u | frame : frame), i16(x), i16(y)});
  }
  return steps;
}

// Groups for every spot passed on the way from `from` to `to` along the chain 1-2-3-4-5-6,
// offering the direct paths, their curved alternatives and the shortcuts that do not overshoot.
std::vector<std::uint16_t> route(int from, int to) {
  static constexpr std::uint16_t kWeights[][3] = {{100, 0, 0}, {60, 40, 0}, {50, 30, 20}};
  const int dir = to > from ? 1 : -1;
  std::vector<std::uint16_t> words;
  for (int s = from; s != to; s += dir) {
    std::vector<std::uint16_t> options;
    for (std::size_t i = 0; i < std::size(kMoves); ++i) {
      const Move& m = kMoves[i];
      const bool step = m.to == s + dir;
      const bool shortcut = m.to == s + 2 * dir && (to - m.to) * dir >= 0;
      if (m.from == s && (step || shortcut)) {
        options.push_back(static_cast<std::uint16_t>(kFirstMovePath + i));
      }
    }
    words.push_back(static_cast<std::uint16_t>(-s));
    for (std::size_t i = 0; i < options.size(); ++i) {
      words.push_back(options[i]);
      words.push_back(kWeights[options.size() - 1][i]);
    }
  }
  words.push_back(0xFFF9);
  return words;
}

std::vector<std::uint8_t> tone(std::size_t count, unsigned period, unsigned depth) {
  std::vector<std::uint8_t> samples;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned phase = static_cast<unsigned>(i % period);
    const unsigned rise = phase < period / 2 ? phase : period - phase;
    samples.push_back(static_cast<std::uint8_t>(128 - depth + 4 * depth * rise / period));
  }
  return samples;
}

}  // namespace

ExecutableSpec default_executable_spec() {
  ExecutableSpec s;
  //            mk w   ss sh es eh cost ws we day flags                      ads   sec
  s.catalog = {{1, 30, 1, 2, 2, 4, 24, 0, 16, 0, 0x00000003, 1, 1},
               {1, 20, 3, 6, 3, 6, 40, 0, 8, 0, 0x0000000A | 0x00010000, 2, 3},
               {1, 15, 0, 0, 0, 0, 18, 4, 16, 0, 0x00000002 | 0x00000800, 3, 2},
               {1, 25, 5, 1, 5, 1, 12, 0, 16, 0, 0x00000002, 0xFF, 1},
               {1, 10, 2, 4, 6, 2, 60, 0, 16, 0, 0x00000080 | 0x00004000, 4, 1},
               {1, 5, 4, 0, 4, 0, 80, 0, 16, 3, 0x00000080, 5, 2},
               {1, 40, 6, 2, 1, 2, 90, 0, 16, 0, 0x00000004 | 0x00200000, 6, 1},
               {1, 12, 6, 7, 6, 7, 50, 8, 16, 0, 0x00000004 | 0x00000001 | 0x00001000, 7, 4}};
  s.ads_names = {{1, "SHORE.ADS"},    {2, "ACTIVITY.ADS"}, {3, "LOOKOUT.ADS"}, {4, "VISITOR.ADS"},
                 {5, "STORYDAY.ADS"}, {6, "SUNSET.ADS"},   {7, "STARGAZE.ADS"}};

  for (int spot = 1; spot <= 6; ++spot) {
    const auto i = static_cast<std::size_t>(spot);
    s.walk_paths[i - 1] = poses(spot, 0);  // path `spot`: arrival poses
    s.walk_paths[i + 5] = poses(spot, 8);  // path 6 + `spot`: transit poses
    s.walk_path_info[i] = {0, 0, static_cast<std::uint8_t>(spot)};
    s.walk_path_info[i + 6] = {0, 0, static_cast<std::uint8_t>(spot)};
    s.arrival_pose_paths[i] = static_cast<std::uint8_t>(spot);
    s.transit_pose_paths[i] = static_cast<std::uint8_t>(6 + spot);
  }
  for (std::size_t i = 0; i < std::size(kMoves); ++i) {
    const Move& m = kMoves[i];
    const std::uint8_t h = heading_of(m);
    s.walk_paths[kFirstMovePath + i - 1] = walk(m);
    s.walk_path_info[kFirstMovePath + i] = {h, h, static_cast<std::uint8_t>(m.to)};
  }
  s.walk_path_info[kEmptyPath] = {0, 0, 6};  // path 34 stays empty
  for (int f = 1; f <= 6; ++f) {
    for (int t = 1; t <= 6; ++t) {
      if (f != t) s.routes[{f, t}] = route(f, t);
    }
  }

  s.sea_sprites = {std::vector<std::uint8_t>{18, 19, 20, 21},
                   std::vector<std::uint8_t>{22, 23, 24, 25, 26},
                   std::vector<std::uint8_t>{42, 43, 44, 45, 46, 47, 48, 49}};
  std::uint16_t x = 0x1234;
  for (std::uint16_t& word : s.generator_words) {
    x = static_cast<std::uint16_t>(x * 25173u + 13849u);
    word = x;
  }
  s.generator_positions = {0x0118, 0x0137};
  s.sounds = {{"WAVESFX1", wave_sound(tone(220, 20, 60))},
              {"WAVESFX2", wave_sound(tone(301, 12, 100))},
              {"WAVESFX3", wave_sound(tone(150, 50, 30))}};
  return s;
}

}  // namespace ot::authoring
