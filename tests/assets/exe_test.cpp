#include "assets/exe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/bytes.h"
#include "support/printers.h"

#include "authoring/byte_writer.h"
#include "authoring/executable_writer.h"

namespace ot {
namespace {

using authoring::ByteWriter;
using authoring::default_executable_spec;
using authoring::ExecutableLayout;
using authoring::ExecutableSpec;
using authoring::wave_sound;
using authoring::write_executable;
using test::bytes_of;

using File = std::vector<std::uint8_t>;

constexpr std::string_view kUnsupported =
    "unsupported TOBELUND.SCR build (expected the 1992 release)";

void put16(File& b, std::size_t at, std::uint32_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void put32(File& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}
std::size_t get16(const File& b, std::size_t at) {
  return static_cast<std::size_t>(b.at(at) | b.at(at + 1) << 8);
}
std::size_t segment_entry(const ExecutableLayout& l, std::size_t n) {
  return l.segment_table + 8 * (n - 1);
}

// "ok" when the file reads, else the error's detail (every error is of kind Invalid).
std::string outcome(Bytes file) {
  const auto tables = read_executable(file);
  if (tables) return "ok";
  EXPECT_EQ(tables.error().kind, DataErrorKind::Invalid) << tables.error().detail;
  return tables.error().detail;
}

ExecutableTables read_ok(Bytes file) {
  auto tables = read_executable(file);
  EXPECT_TRUE(tables) << tables.error().detail;
  return tables ? std::move(*tables) : ExecutableTables{};
}

std::vector<float> as_samples(std::initializer_list<int> bytes) {
  std::vector<float> out;
  for (const int b : bytes) out.push_back(static_cast<float>(b - 128) / 128.0f);
  return out;
}

// The tables a reader must find in a file written from `s` whose sounds came from wave_sound.
ExecutableTables expected_tables(const ExecutableSpec& s) {
  ExecutableTables t;
  for (const auto& r : s.catalog) {
    t.catalog.push_back({r.weight, r.start_spot, r.start_heading, r.end_spot, r.end_heading, r.cost,
                         r.window_start, r.window_end, r.story_day, r.flags, r.ads_number,
                         r.section});
  }
  for (const auto& a : s.ads_names) t.ads_names[a.number] = a.name;
  for (std::size_t k = 0; k < s.walk_paths.size(); ++k) {
    for (const auto& step : s.walk_paths[k]) {
      t.walk_paths[k + 1].push_back({step.x, step.y, static_cast<std::uint16_t>(step.word & 0x7FFF),
                                     (step.word & 0x8000) != 0});
    }
  }
  for (std::size_t i = 0; i < s.walk_path_info.size(); ++i) {
    const auto& w = s.walk_path_info[i];
    t.walk_path_info[i] = {w.start_heading, w.end_heading, w.end_spot};
  }
  t.arrival_pose_paths = s.arrival_pose_paths;
  t.transit_pose_paths = s.transit_pose_paths;
  t.walk_routes = s.routes;
  for (std::size_t i = 0; i < 3; ++i) t.sea_sprites[i] = s.sea_sprites[i];
  t.generator_words = s.generator_words;
  t.generator_positions = s.generator_positions;
  for (const auto& sound : s.sounds) {
    const File& w = sound.data;  // "data" at 36, its bytes from 44
    std::vector<float> samples;
    for (std::size_t i = 0; i < get16(w, 40); ++i) {
      samples.push_back(static_cast<float>(w[44 + i] - 128) / 128.0f);
    }
    t.sounds[static_cast<std::uint32_t>(std::stoul(sound.name.substr(7)))] =
        std::make_shared<const std::vector<float>>(std::move(samples));
  }
  return t;
}

void expect_same(const ExecutableTables& got, const ExecutableTables& want) {
  EXPECT_EQ(got.catalog, want.catalog);
  EXPECT_EQ(got.ads_names, want.ads_names);
  EXPECT_EQ(got.walk_paths, want.walk_paths);
  EXPECT_EQ(got.walk_path_info, want.walk_path_info);
  EXPECT_EQ(got.arrival_pose_paths, want.arrival_pose_paths);
  EXPECT_EQ(got.transit_pose_paths, want.transit_pose_paths);
  EXPECT_EQ(got.walk_routes, want.walk_routes);
  EXPECT_EQ(got.sea_sprites, want.sea_sprites);
  EXPECT_EQ(got.generator_words, want.generator_words);
  EXPECT_EQ(got.generator_positions, want.generator_positions);
  ASSERT_EQ(got.sounds.size(), want.sounds.size());
  for (const auto& [number, samples] : want.sounds) {
    ASSERT_TRUE(got.sounds.contains(number)) << number;
    EXPECT_EQ(*got.sounds.at(number), *samples) << number;
  }
}

TEST(ExecutableWriter, WaveSoundBytes) {
  const File samples = bytes_of("\x12\x80\xFF");
  EXPECT_EQ(wave_sound(samples), bytes_of("RIFF\x28\x00\x00\x00WAVE"
                                          "fmt \x10\x00\x00\x00\x01\x00\x01\x00"
                                          "\x11\x2B\x00\x00\x11\x2B\x00\x00\x01\x00\x08\x00"
                                          "data\x03\x00\x00\x00\x12\x80\xFF\x00"));
}

TEST(ExeRoundTrip, DefaultSpecAtSeveralAlignmentsAndLayouts) {
  const ExecutableSpec base = default_executable_spec();
  const auto want = expected_tables(base);
  ASSERT_TRUE(std::ranges::any_of(want.catalog,
                                  [](const CatalogEntry& e) { return e.flags & kFinalSceneFlag; }));
  ASSERT_EQ(want.sounds.size(), 3u);
  const struct {
    unsigned segment_shift, resource_shift, layout_shift;
  } cases[] = {{4, 4, 0}, {0, 0, 2}, {9, 1, 0}, {15, 15, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "segment shift " << c.segment_shift << ", resource shift "
                                    << c.resource_shift << ", layout shift " << c.layout_shift);
    ExecutableSpec plan = base;
    plan.segment_shift = c.segment_shift;
    plan.resource_shift = c.resource_shift;
    plan.layout_shift = c.layout_shift;
    const auto file = write_executable(plan).bytes;
    expect_same(read_ok(file), want);
  }
}

// The reader's fixed offsets, checked against bytes placed by hand rather than by the writer.
TEST(ExeTables, FixedOffsetsFromLiteralBytes) {
  for (const unsigned l : {0u, 2u}) {
    SCOPED_TRACE(testing::Message() << "layout shift " << l);
    ExecutableSpec plan = default_executable_spec();
    plan.layout_shift = l;
    auto written = write_executable(plan);
    File& file = written.bytes;
    const std::size_t d = written.layout.data_segment;
    auto poke = [&](std::size_t at, const File& bytes) {
      std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(d + at));
    };
    poke(5974, bytes_of("\x34\x12\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0E\x0D\x0C\x0B\x0F\x10"));
    poke(734, bytes_of("\x21\x22\x23"));
    poke(836, bytes_of("\x31\x32\x33"));
    poke(839, bytes_of("\x41\x42\x43\x44\x45\x46\x47\x51\x52\x53\x54\x55\x56\x57"));
    poke(632, bytes_of("\x10\x11\xFF\x12"));
    poke(624, bytes_of("\x20\x21\x22\x23\x24\x25\x26\x27"));
    poke(616, bytes_of("\xFF\x30"));
    poke(2722, bytes_of("\xB8\x0B"));  // route (1, 1) at 3000
    poke(2792, bytes_of("\xC2\x0B"));  // route (6, 6) at 3010
    poke(3000, bytes_of("\x05\x00\x03\x00\xF9\xFF\x34\x12"));
    poke(3010, bytes_of("\xF9\xFF"));
    poke(7394, bytes_of("\x11\x11\x22\x22\x33\x33\x44\x44\x55\x55"));

    const auto t = read_ok(file);
    EXPECT_EQ(t.catalog.at(0), (CatalogEntry{2, 3, 4, 5, 6, 7, 8, 9, 10, 0x0B0C0D0E, 0x0F, 0x10}));
    EXPECT_EQ(t.walk_path_info[0], (WalkPathInfo{0x21, 0x22, 0x23}));
    EXPECT_EQ(t.walk_path_info[34], (WalkPathInfo{0x31, 0x32, 0x33}));
    EXPECT_EQ(t.arrival_pose_paths,
              (std::array<std::uint8_t, 7>{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47}));
    EXPECT_EQ(t.transit_pose_paths,
              (std::array<std::uint8_t, 7>{0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57}));
    EXPECT_EQ(t.sea_sprites[0], (std::vector<std::uint8_t>{16, 17}));
    EXPECT_EQ(t.sea_sprites[1].size(), 8u);  // no 0xFF: all eight, the next list not included
    EXPECT_EQ(t.sea_sprites[1].back(), 0x27);
    EXPECT_TRUE(t.sea_sprites[2].empty());
    EXPECT_EQ(t.walk_routes.at({1, 1}), (std::vector<std::uint16_t>{5, 3, 0xFFF9}));
    EXPECT_EQ(t.walk_routes.at({6, 6}), (std::vector<std::uint16_t>{0xFFF9}));
    // The generator block: positions at 7394 + l and 7396 + l, words from 7398 + l.
    const std::uint16_t after[] = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555};
    EXPECT_EQ(t.generator_positions[0], after[l / 2]);
    EXPECT_EQ(t.generator_positions[1], after[l / 2 + 1]);
    EXPECT_EQ(t.generator_words[0], after[l / 2 + 2]);
    EXPECT_EQ(t.generator_words[1], after[l / 2 + 3]);
  }
}

TEST(ExeTables, AdsNames) {
  ExecutableSpec plan = default_executable_spec();
  plan.ads_names = {{1, "FIRST.ADS"},  {2, "ACTIVITY.ADS"}, {300, "SKIPPED.ADS"},
                    {255, "LAST.ADS"}, {256, "OVER.ADS"},   {9, "FIFTEEN_CHARS.X"},
                    {10, "\xFF.ADS"},  {1, "AGAIN.ADS"}};
  const auto t = read_ok(write_executable(plan).bytes);
  EXPECT_EQ(t.ads_names, (std::map<int, std::string>{{1, "AGAIN.ADS"},
                                                     {2, "ACTIVITY.ADS"},
                                                     {9, "FIFTEEN_CHARS.X"},
                                                     {10, "\xEF\xBF\xBD.ADS"},
                                                     {255, "LAST.ADS"}}));
}

TEST(ExeTables, WalkPathsAndRoutes) {
  ExecutableSpec plan = default_executable_spec();
  plan.walk_paths[0] = {{0x8005, -0x1234, 0x0567},
                        {0x8000, 0, 0},  // only the word is set: a step, not the end
                        {0, 0, 1},
                        {0x7FFF, 0x7FFF, -0x8000}};
  plan.walk_paths[1] = {};
  plan.walk_paths[33] = {{0x0003, 12, 34}};
  plan.routes = {{{2, 4}, {5, 3, 0xFFF9, 0x1234}}, {{6, 1}, {0xFFF9}}};
  const auto t = read_ok(write_executable(plan).bytes);
  EXPECT_TRUE(t.walk_paths[0].empty());
  EXPECT_EQ(t.walk_paths[1], (WalkPath{{-0x1234, 0x0567, 5, true},
                                       {0, 0, 0, true},
                                       {0, 1, 0, false},
                                       {0x7FFF, -0x8000, 0x7FFF, false}}));
  EXPECT_TRUE(t.walk_paths[2].empty());
  EXPECT_EQ(t.walk_paths[34], (WalkPath{{12, 34, 3, false}}));
  EXPECT_EQ(t.walk_routes, (std::map<std::pair<int, int>, std::vector<std::uint16_t>>{
                               {{2, 4}, {5, 3, 0xFFF9}}, {{6, 1}, {0xFFF9}}}));
}

struct Damage {
  const char* what;
  std::function<void(ExecutableSpec&)> plan;                 // may be empty
  std::function<void(File&, const ExecutableLayout&)> file;  // may be empty
  std::string_view expected;                                 // "ok" or the error's detail
};

void check(const ExecutableSpec& base, std::initializer_list<Damage> cases) {
  for (const Damage& c : cases) {
    ExecutableSpec plan = base;
    if (c.plan) c.plan(plan);
    auto [file, layout] = write_executable(plan);
    if (c.file) c.file(file, layout);
    EXPECT_EQ(outcome(file), c.expected) << c.what;
  }
}

TEST(ExeFailures, HeadersAndSegments) {
  const auto set_length = [](std::size_t segment, std::size_t length) {
    return [=](File& f, const ExecutableLayout& l) {
      put16(f, segment_entry(l, segment) + 2, static_cast<std::uint32_t>(length));
    };
  };
  check(default_executable_spec(),
        {
            {"empty file", {}, [](File& f, auto&) { f.clear(); }, "TOBELUND is not an executable"},
            {"63 bytes", {}, [](File& f, auto&) { f.resize(63); }, "TOBELUND is not an executable"},
            {"no MZ", {}, [](File& f, auto&) { f[1] = 'X'; }, "TOBELUND is not an executable"},
            {"NE offset past the end",
             {},
             [](File& f, auto&) { put32(f, 60, static_cast<std::uint32_t>(f.size() - 1)); },
             "TOBELUND is not a Win16 NE executable"},
            {"NE offset 0xFFFFFFFF",
             {},
             [](File& f, auto&) { put32(f, 60, 0xFFFFFFFF); },
             "TOBELUND is not a Win16 NE executable"},
            {"no NE",
             {},
             [](File& f, auto& l) { f[l.ne_offset + 1] = 'X'; },
             "TOBELUND is not a Win16 NE executable"},
            {"file ends after NE",
             {},
             [](File& f, auto& l) { f.resize(l.ne_offset + 2); },
             "truncated data"},
            {"file ends inside the alignment word",
             {},
             [](File& f, auto& l) { f.resize(l.ne_offset + 51); },
             "truncated data"},
            {"13 segments",
             {},
             [](File& f, auto& l) { put16(f, l.ne_offset + 28, 13); },
             "missing NE segment"},
            {"segment alignment 16",
             {},
             [](File& f, auto& l) { put16(f, l.ne_offset + 50, 16); },
             "missing NE segment"},
            {"segment table past the end",
             {},
             [](File& f, auto& l) { put16(f, l.ne_offset + 34, 0xFFF0); },
             "truncated data"},
            {"data segment past the end",
             {},
             [](File& f, auto& l) { put16(f, segment_entry(l, 14), 0xFFFF); },
             "truncated NE segment"},
            {"file ends one byte short of the data segment's end",
             {},
             [](File& f, auto& l) { f.resize(l.data_segment + l.data_size - 1); },
             "truncated NE segment"},
            {"file ends with the data segment (the sounds are skipped)",
             {},
             [](File& f, auto& l) { f.resize(l.data_segment + l.data_size); },
             "ok"},
            {"code segment past the end",
             {},
             [](File& f, auto& l) { put16(f, segment_entry(l, 4), 0xFFFF); },
             "truncated NE segment"},
            {"code segment of length 0 means 65536 bytes",
             {},
             set_length(4, 0),
             "truncated NE segment"},
        });
}

TEST(ExeSegments, LoadNeSegment) {
  auto [file, layout] = write_executable(default_executable_spec());
  const auto data = load_ne_segment(file, layout.ne_offset, 14);
  ASSERT_TRUE(data) << data.error().detail;
  EXPECT_EQ(data->data(), file.data() + layout.data_segment);
  EXPECT_EQ(data->size(), layout.data_size);

  const struct {
    std::size_t ne_offset, segment;
    std::string_view detail;
  } failures[] = {
      {layout.ne_offset, 0, "missing NE segment"}, {layout.ne_offset, 15, "missing NE segment"},
      {file.size() + 5, 1, "truncated data"},      {SIZE_MAX, 1, "truncated data"},
      {file.size() - 30, 1, "truncated data"},
  };
  for (const auto& c : failures) {
    const auto r = load_ne_segment(file, c.ne_offset, c.segment);
    ASSERT_FALSE(r) << c.ne_offset << " " << c.segment;
    EXPECT_EQ(r.error(), DataError::invalid(std::string(c.detail)));
  }

  put16(file, segment_entry(layout, 4) + 2, 0);
  file.resize(std::max(file.size(), layout.code_segment + 65536));
  const auto code = load_ne_segment(file, layout.ne_offset, 4);
  ASSERT_TRUE(code) << code.error().detail;
  EXPECT_EQ(code->size(), 65536u);
}

TEST(ExeFailures, BuildCheck) {
  ExecutableSpec base = default_executable_spec();
  base.variable_data = authoring::kExeGapData;  // the data segment ends with its marker
  const auto length = [](std::size_t n) {
    return [=](File& f, const ExecutableLayout& l) {
      put16(f, segment_entry(l, 14) + 2, static_cast<std::uint32_t>(n));
    };
  };
  const auto shift2 = [](ExecutableSpec& s) { s.layout_shift = 2; };
  const auto second_name = [](const char* name) {
    return [=](ExecutableSpec& s) { s.ads_names[1].name = name; };
  };
  check(base,
        {
            {"7519 bytes", {}, length(7519), "ok"},
            {"7518 bytes", {}, length(7518), kUnsupported},
            {"shifted, 7521 bytes", shift2, length(7521), "ok"},
            {"shifted, 7520 bytes", shift2, length(7520), kUnsupported},
            {"sound marker changed",
             {},
             [](File& f, auto& l) { f[l.data_segment + 7518] = 'i'; },
             kUnsupported},
            {"shifted sound marker changed", shift2,
             [](File& f, auto& l) { f[l.data_segment + 7512] = 'w'; }, kUnsupported},
            {"other ADS marker", second_name("ACTIVITY.ADX"), {}, kUnsupported},
            {"ADS marker in lower case", second_name("activity.ads"), {}, kUnsupported},
            {"one ADS name", [](ExecutableSpec& s) { s.ads_names.resize(1); }, {}, kUnsupported},
        });
}

TEST(ExeFailures, Tables) {
  ExecutableSpec gap = default_executable_spec();
  gap.variable_data = authoring::kExeGapData;  // the data segment is 7519 bytes
  // Non-zero record markers from `from` up to the sound marker; the ADS marker stays.
  const auto fill = [](std::size_t from, std::size_t length) {
    return [=](File& f, const ExecutableLayout& l) {
      for (std::size_t o = from; o < 7510; ++o) {
        if (o < 5761 || o >= 5773) f[l.data_segment + o] = 0x01;
      }
      put16(f, segment_entry(l, 14) + 2, static_cast<std::uint32_t>(length));
    };
  };
  check(gap, {
                 {"ADS records run past the segment", {}, fill(5742, 7519), "truncated data"},
                 {"no room for the next ADS number", {}, fill(5742, 7527), "truncated data"},
                 {"catalog runs past the segment", {}, fill(5974, 7519), "truncated data"},
             });

  const auto pointer = [](const ExecutableLayout& l, std::size_t k) {
    return l.code_segment + 1275 + 2 * k;
  };
  check(default_executable_spec(),
        {
            {"code segment ends inside the pointer table",
             {},
             [](File& f, auto& l) { put16(f, segment_entry(l, 4) + 2, 1276); },
             "truncated data"},
            {"first pointer not at 0xB8",
             {},
             [&](File& f, auto& l) { put16(f, pointer(l, 0), 0); },
             "unexpected walk path table layout"},
            {"last pointer past the segment",
             {},
             [&](File& f, auto& l) { put16(f, pointer(l, 33), 0xFFFF); },
             "unexpected walk path table layout"},
            {"0xB8 as the segment's last byte",
             {},
             [&](File& f, auto& l) {
               const std::size_t last = get16(f, segment_entry(l, 4) + 2) - 1;
               f[l.code_segment + last] = 0xB8;
               put16(f, pointer(l, 5), static_cast<std::uint32_t>(last));
             },
             "truncated data"},
            {"walk path runs past the segment",
             {},
             [&](File& f, auto& l) {
               const std::size_t p = get16(f, pointer(l, 4));
               put16(f, l.code_segment + p + 1, static_cast<std::uint32_t>(l.data_size - 4));
             },
             "truncated data"},
            {"route without 0xFFF9",
             [](ExecutableSpec& s) {
               s.routes = {{{6, 6}, {0x1234, 0x5678}}};
             },
             {},
             "truncated data"},
        });
}

TEST(ExeSounds, NumbersFromNames) {
  ExecutableSpec plan = default_executable_spec();
  const char* names[] = {
      "WAVESFX0",
      "WAVESFX-7",
      "WAVESFX7a",
      "WAVESFX+7",
      "WAVESFX+",
      "WAVESFX++8",
      "WAVESFX 9",
      "wavesfx10",
      "XWAVESFX11",
      "WAVESFX0012",
      "WAVESFX4294967295",
      "WAVESFX4294967296",
      "WAVESFX99999999999999999999999",
      "WAVESFX12",
      "WAVESFX",
  };
  plan.sounds.clear();
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const File sample{static_cast<std::uint8_t>(0x10 + i)};
    plan.sounds.push_back({names[i], wave_sound(sample)});
  }
  using authoring::kFirstSoundId;
  using authoring::kSoundResourceType;
  plan.extra_names = {
      {kSoundResourceType, kFirstSoundId, "WAVESFX20", ""},  // the first piece is not the name
      {kSoundResourceType, kFirstSoundId, "", "WAVESFX21"},
      {kSoundResourceType, 0x7777, "WAVE", "WAVESFX22"},  // no such resource
      {0x8008, kFirstSoundId, "WAVE", "WAVESFX23"},
  };
  const auto t = read_ok(write_executable(plan).bytes);
  const std::map<std::uint32_t, int> want = {
      {0, 0x10 + 0}, {7, 0x10 + 3}, {12, 0x10 + 13}, {21, 0x10 + 0}, {4294967295u, 0x10 + 10}};
  ASSERT_EQ(t.sounds.size(), want.size());
  for (const auto& [number, sample] : want) {
    ASSERT_TRUE(t.sounds.contains(number)) << number;
    EXPECT_EQ(*t.sounds.at(number), as_samples({sample})) << number;
  }
}

TEST(ExeSounds, ResourcePastTheFileIsSkipped) {
  auto file = write_executable(default_executable_spec()).bytes;
  file.pop_back();  // the last sound's padded bytes no longer fit
  const auto t = read_ok(file);
  EXPECT_EQ(t.sounds.size(), 2u);
  EXPECT_TRUE(t.sounds.contains(1) && t.sounds.contains(2));
}

TEST(ExeSounds, SixteenMebibyteBudget) {
  // One resource named twice is counted twice.
  for (const std::size_t units : {16384u, 16385u}) {
    ExecutableSpec plan = default_executable_spec();
    plan.resource_shift = 9;
    File big = wave_sound(bytes_of("\x12\x34"));
    big.resize(units << 9);
    plan.sounds = {{"WAVESFX1", big}};
    plan.extra_names = {
        {authoring::kSoundResourceType, authoring::kFirstSoundId, "WAVE", "WAVESFX2"}};
    const auto r = read_executable(write_executable(plan).bytes);
    if (units == 16384) {
      ASSERT_TRUE(r) << r.error().detail;
      EXPECT_EQ(r->sounds.size(), 2u);
      EXPECT_EQ(*r->sounds.at(2), as_samples({0x12, 0x34}));
    } else {
      ASSERT_FALSE(r);
      EXPECT_EQ(r.error(), DataError::invalid("NE sound resources too large"));
    }
  }
}

TEST(ExeSounds, NameTableEntrySizes) {
  // The default name table: three 20-byte entries and the 0 word at 60, padded to 64 bytes.
  const struct {
    std::uint32_t z;           // new size of the first entry
    std::uint32_t word_at_60;  // replaces the 0 word when not 0
    std::string_view error;    // empty: reads
    std::size_t sounds;
  } cases[] = {
      {0, 0, "", 0},  // ends the table at once
      {1, 0, "bad NE name table", 0},
      {5, 0, "bad NE name table", 0},
      {64, 0, "", 1},  // one entry over the whole table: its second piece names sound 1
      {65, 0, "bad NE name table", 0},
      {0xFFFF, 0, "bad NE name table", 0},
      {60, 0x1234, "", 1},  // fewer than 6 bytes follow the entry: not read
  };
  for (const auto& c : cases) {
    auto [file, layout] = write_executable(default_executable_spec());
    ASSERT_EQ(get16(file, layout.resource_table + 2 + 8 + 2) << 4, 64u);  // length in units
    put16(file, layout.name_table, c.z);
    if (c.word_at_60 != 0) put16(file, layout.name_table + 60, c.word_at_60);
    const auto r = read_executable(file);
    if (c.error.empty()) {
      ASSERT_TRUE(r) << c.z << ": " << r.error().detail;
      EXPECT_EQ(r->sounds.size(), c.sounds) << c.z;
    } else {
      ASSERT_FALSE(r) << c.z;
      EXPECT_EQ(r.error(), DataError::invalid(std::string(c.error))) << c.z;
    }
  }
}

TEST(ExeSounds, ResourceTables) {
  // A resource table appended to the file, which the header is pointed at.
  const auto table = [](File tail) {
    return [=](File& f, const ExecutableLayout& l) {
      ASSERT_LE(f.size() - l.ne_offset, 0xFFFFu);
      put16(f, l.ne_offset + 36, static_cast<std::uint32_t>(f.size() - l.ne_offset));
      f.insert(f.end(), tail.begin(), tail.end());
    };
  };
  const auto entry_head = bytes_of("\x00\x00\x0F\x80\x01\x00\x00\x00\x00\x00");  // shift, block
  const auto with_head = [&](const File& rest) {
    File out = entry_head;
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
  };
  check(default_executable_spec(),
        {
            {"alignment 16",
             {},
             [](File& f, auto& l) { put16(f, l.resource_table, 16); },
             "bad NE resource table"},
            {"alignment word cut", {}, table(bytes_of("\x04")), "truncated data"},
            {"no type word", {}, table(bytes_of("\x04\x00")), "truncated data"},
            {"no count word", {}, table(bytes_of("\x04\x00\x07\x80")), "truncated data"},
            {"entry without its length",
             {},
             table(with_head(bytes_of("\x00\x00"))),
             "truncated data"},
            {"entry without its identifier",
             {},
             table(with_head(bytes_of("\x00\x00\x00\x00\x00\x00"))),
             "truncated data"},
            {"no end after the entry",
             {},
             table(with_head(bytes_of("\x00\x00\x00\x00\x00\x00\x01\x80\x00\x00\x00\x00"))),
             "truncated data"},
            {"an empty table", {}, table(bytes_of("\x04\x00\x00\x00")), "ok"},
            {"name table past the end is skipped",
             {},
             table(with_head(bytes_of("\xFF\xFF\x01\x00\x00\x00\x01\x80\x00\x00\x00\x00\x00\x00"))),
             "ok"},
        });
}

TEST(ExeSounds, WaveResources) {
  const auto riff = [](std::string_view a, std::string_view b, const File& chunks) {
    ByteWriter w;
    w.text(a).u32(0x1234).text(b).bytes(chunks);
    return w.take();
  };
  const auto chunk = [](std::string_view id, std::uint32_t size, const File& body) {
    ByteWriter w;
    w.text(id).u32(size).bytes(body);
    return w.take();
  };
  const auto join = [](std::initializer_list<File> parts) {
    File out;
    for (const File& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const struct {
    const char* what;
    File wave;
    std::vector<float> samples;
    std::string_view error;  // empty: reads
  } cases[] = {
      {"written", wave_sound(bytes_of("\x00\x80\xFF\x12")), as_samples({0x00, 0x80, 0xFF, 0x12}),
       ""},
      {"after an odd chunk and its pad byte",
       riff("RIFF", "WAVE",
            join({chunk("LIST", 3, bytes_of("abc\x00")), chunk("data", 2, bytes_of("\x81\x7F"))})),
       as_samples({0x81, 0x7F}), ""},
      {"data longer than the resource",
       riff("RIFF", "WAVE", chunk("data", 100, bytes_of("\x01\x02\x03"))), as_samples({1, 2, 3}),
       ""},
      {"empty data", riff("RIFF", "WAVE", chunk("data", 0, {})), {}, ""},
      {"11 bytes", bytes_of("RIFF\x00\x00\x00\x00WAV"), {}, "bad WAVE resource"},
      {"not RIFF",
       riff("RIFX", "WAVE", chunk("data", 1, bytes_of("\x01"))),
       {},
       "bad WAVE resource"},
      {"not WAVE",
       riff("RIFF", "WAVX", chunk("data", 1, bytes_of("\x01"))),
       {},
       "bad WAVE resource"},
      {"no chunks", riff("RIFF", "WAVE", {}), {}, "WAVE resource without data"},
      {"only a format chunk",
       riff("RIFF", "WAVE", chunk("fmt ", 2, bytes_of("\x01\x00"))),
       {},
       "WAVE resource without data"},
      {"data chunk head cut",
       riff("RIFF", "WAVE", bytes_of("data\x01\x00\x00")),
       {},
       "WAVE resource without data"},
      {"data behind a chunk of 0xFFFFFFFF bytes",
       riff("RIFF", "WAVE",
            join({chunk("junk", 0xFFFFFFFF, {}), chunk("data", 1, bytes_of("\x01"))})),
       {},
       "WAVE resource without data"},
  };
  for (const auto& c : cases) {
    ExecutableSpec plan = default_executable_spec();
    plan.resource_shift = 0;  // the resource is exactly these bytes
    plan.sounds = {{"WAVESFX5", c.wave}};
    const auto r = read_executable(write_executable(plan).bytes);
    if (c.error.empty()) {
      ASSERT_TRUE(r) << c.what << ": " << r.error().detail;
      ASSERT_EQ(r->sounds.size(), 1u) << c.what;
      EXPECT_EQ(*r->sounds.at(5), c.samples) << c.what;
    } else {
      ASSERT_FALSE(r) << c.what;
      EXPECT_EQ(r.error(), DataError::invalid(std::string(c.error))) << c.what;
    }
  }
}

}  // namespace
}  // namespace ot
