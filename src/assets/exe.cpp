#include "assets/exe.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "assets/exe_layout.h"
#include "assets/text.h"

namespace ot {

namespace {

using namespace exe_layout;

// Every base offset below is checked against its slice before a bounded amount (below a
// megabyte) is added to it, so none of the sums can wrap; sizes read from the file are compared
// with what is left of the slice rather than added to positions.

// Data segment.

// Code segment.

// Resources.
constexpr std::size_t kSoundBudget = 16 * 1024 * 1024;

constexpr std::string_view kUnsupportedBuild =
    "unsupported TOBELUND.SCR build (expected the 1992 release)";

std::unexpected<DataError> truncated() {
  return invalid(std::string(kTruncatedData));
}

bool has_text(Bytes bytes, std::size_t offset, std::string_view text) {
  if (offset > bytes.size() || bytes.size() - offset < text.size()) return false;
  const Bytes part = bytes.subspan(offset, text.size());
  return std::equal(part.begin(), part.end(), text.begin(),
                    [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
}

// The bytes of `field` before its first zero byte.
Bytes until_zero(Bytes field) {
  const auto zero = std::find(field.begin(), field.end(), std::uint8_t{0});
  return field.first(static_cast<std::size_t>(zero - field.begin()));
}

// Walks a table of 17-byte records that ends at a record whose first word is 0. Each record
// must fit in the segment, and so must the word after it.
template <class Visit>
Result<void> walk_records(Bytes d, std::size_t start, Visit visit) {
  for (std::size_t j = start;; j += kRecordSize) {
    const auto marker = read_le<std::uint16_t>(d, j);
    if (!marker) return std::unexpected(std::move(marker.error()));
    if (*marker == 0) return {};
    if (d.size() - j < kRecordSize) return truncated();
    visit(*marker, d.subspan(j, kRecordSize));
  }
}

CatalogEntry catalog_entry(Bytes record) {
  CatalogEntry e;
  e.weight = record[2];
  e.start_spot = record[3];
  e.start_heading = record[4];
  e.end_spot = record[5];
  e.end_heading = record[6];
  e.cost = record[7];
  e.window_start = record[8];
  e.window_end = record[9];
  e.story_day = record[10];
  e.flags = *peek_le<std::uint32_t>(record, 11);
  e.ads_number = record[15];
  e.section = record[16];
  return e;
}

Result<Bytes> slice(Bytes bytes, std::size_t offset, std::size_t size) {
  if (offset > bytes.size() || bytes.size() - offset < size) return truncated();
  return bytes.subspan(offset, size);
}

Result<WalkPath> read_walk_path(Bytes d, std::size_t offset) {
  WalkPath path;
  for (std::size_t o = offset;; o += 6) {
    const auto w = read_le<std::uint16_t>(d, o);
    const auto x = read_le<std::int16_t>(d, o + 2);
    const auto y = read_le<std::int16_t>(d, o + 4);
    if (!w || !x || !y) return truncated();
    if (*w == 0 && *x == 0 && *y == 0) return path;
    path.push_back(WalkStep{*x, *y, static_cast<std::uint16_t>(*w & 0x7FFF), (*w & 0x8000) != 0});
  }
}

Result<std::vector<std::uint16_t>> read_route(Bytes d, std::size_t offset) {
  std::vector<std::uint16_t> words;
  for (std::size_t o = offset;; o += 2) {
    const auto w = read_le<std::uint16_t>(d, o);
    if (!w) return truncated();
    words.push_back(*w);
    if (*w == 0xFFF9) return words;
  }
}

std::vector<std::uint8_t> sea_sprite_list(Bytes d, std::size_t offset) {
  std::vector<std::uint8_t> frames;
  for (std::size_t i = 0; i < kSeaSpriteListSize; ++i) {
    const auto b = peek_le<std::uint8_t>(d, offset + i);
    if (!b || *b == 0xFF) break;
    frames.push_back(*b);
  }
  return frames;
}

// "WAVESFX" followed by an optional '+' and decimal digits naming a 32-bit sound number.
std::optional<std::uint32_t> sound_number(std::string_view name) {
  if (name.size() <= 6 || !name.starts_with(kSoundPrefix)) return std::nullopt;
  std::string_view digits = name.substr(kSoundPrefix.size());
  if (digits.starts_with('+')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

Result<std::vector<float>> parse_wave(Bytes wave) {
  if (wave.size() < 12 || !has_text(wave, 0, "RIFF") || !has_text(wave, 8, "WAVE")) {
    return invalid("bad WAVE resource");
  }
  std::size_t q = 12;
  while (wave.size() - q >= 8) {
    const std::uint32_t size = *peek_le<std::uint32_t>(wave, q + 4);
    const std::size_t body = q + 8;
    const std::size_t left = wave.size() - body;
    if (has_text(wave, q, "data")) {
      const Bytes data = wave.subspan(body, std::min<std::size_t>(size, left));
      std::vector<float> samples;
      samples.reserve(data.size());
      for (const std::uint8_t b : data) {
        samples.push_back(static_cast<float>(static_cast<int>(b) - 128) / 128.0f);
      }
      return samples;
    }
    const std::uint64_t skip = std::uint64_t{size} + (size & 1u);
    if (skip > left) break;
    q = body + static_cast<std::size_t>(skip);
  }
  return invalid("WAVE resource without data");
}

using ResourceKey = std::pair<std::uint16_t, std::uint16_t>;  // type, identifier

// The resource table as (type, identifier) -> bytes; entries whose bytes lie past the end of the
// file are left out.
Result<std::map<ResourceKey, Bytes>> read_resource_table(Bytes file, std::size_t e) {
  const auto table_offset = read_le<std::uint16_t>(file, e + 36);
  if (!table_offset) return truncated();
  const std::size_t r = e + *table_offset;
  const auto shift = read_le<std::uint16_t>(file, r);
  if (!shift) return truncated();
  if (*shift >= 16) return invalid("bad NE resource table");

  std::map<ResourceKey, Bytes> resources;
  std::size_t pos = r + 2;
  for (;;) {
    const auto type = read_le<std::uint16_t>(file, pos);
    if (!type) return truncated();
    if (*type == 0) break;
    const auto count = read_le<std::uint16_t>(file, pos + 2);
    if (!count) return truncated();
    pos += 8;
    for (std::size_t i = 0; i < *count; ++i, pos += 12) {
      const auto offset = read_le<std::uint16_t>(file, pos);
      const auto length = read_le<std::uint16_t>(file, pos + 2);
      if (!offset || !length) return truncated();
      const std::size_t start = std::size_t{*offset} << *shift;
      const std::size_t size = std::size_t{*length} << *shift;
      if (start + size > file.size()) continue;
      const auto id = read_le<std::uint16_t>(file, pos + 6);
      if (!id) return truncated();
      resources.insert_or_assign(ResourceKey{*type, *id}, file.subspan(start, size));
    }
  }
  return resources;
}

// The second of the zero-separated pieces of `bytes`, if there are two or more.
std::optional<Bytes> second_piece(Bytes bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  if (zero == bytes.end()) return std::nullopt;
  return until_zero(bytes.subspan(static_cast<std::size_t>(zero - bytes.begin()) + 1));
}

Result<std::map<std::uint32_t, SoundSamples>> read_sounds(Bytes file, std::size_t e) {
  auto resources = read_resource_table(file, e);
  if (!resources) return std::unexpected(std::move(resources.error()));

  std::map<std::uint32_t, SoundSamples> sounds;
  const auto names_it = resources->find(ResourceKey{kNameTableType, kNameTableId});
  if (names_it == resources->end() || names_it->second.size() <= 6) return sounds;
  const Bytes names = names_it->second;

  std::size_t budget = kSoundBudget;
  std::size_t v = 0;
  for (;;) {
    const auto z = read_le<std::uint16_t>(names, v);
    if (!z) return truncated();
    if (*z == 0) break;
    const auto type = read_le<std::uint16_t>(names, v + 2);
    const auto id = read_le<std::uint16_t>(names, v + 4);
    if (!type || !id) return truncated();
    if (*z < 6 || *z > names.size() - v) return invalid("bad NE name table");

    if (const auto piece = second_piece(names.subspan(v + 6, *z - std::size_t{6}))) {
      const std::string name = to_text(*piece);
      const auto number = sound_number(name);
      const auto resource = resources->find(ResourceKey{*type, *id});
      if (number && resource != resources->end()) {
        if (resource->second.size() > budget) return invalid("NE sound resources too large");
        budget -= resource->second.size();
        auto samples = parse_wave(resource->second);
        if (!samples) return std::unexpected(std::move(samples.error()));
        sounds.insert_or_assign(*number,
                                std::make_shared<const std::vector<float>>(std::move(*samples)));
      }
    }

    if (v + *z + 6 >= names.size()) break;
    v += *z;
  }
  return sounds;
}

}  // namespace

Result<Bytes> load_ne_segment(Bytes file, std::size_t ne_offset, std::size_t segment) {
  if (ne_offset > file.size()) return truncated();
  const auto count = read_le<std::uint16_t>(file, ne_offset + 28);
  const auto table = read_le<std::uint16_t>(file, ne_offset + 34);
  const auto shift = read_le<std::uint16_t>(file, ne_offset + 50);
  if (!count || !table || !shift) return truncated();
  // Segments are numbered from 1; there is no segment 0.
  if (segment == 0 || segment > *count || *shift >= 16) return invalid("missing NE segment");

  const std::size_t entry = ne_offset + *table + 8 * (segment - 1);
  const auto sector = read_le<std::uint16_t>(file, entry);
  const auto length = read_le<std::uint16_t>(file, entry + 2);
  if (!sector || !length) return truncated();
  const std::size_t start = std::size_t{*sector} << *shift;
  const std::size_t size = *length == 0 ? std::size_t{65536} : std::size_t{*length};
  if (start > file.size() || file.size() - start < size) return invalid("truncated NE segment");
  return file.subspan(start, size);
}

Result<ExecutableTables> read_executable(Bytes file) {
  if (file.size() <= 63 || !has_text(file, 0, "MZ")) {
    return invalid("TOBELUND is not an executable");
  }
  const std::size_t e = *peek_le<std::uint32_t>(file, 60);
  if (!has_text(file, e, "NE")) return invalid("TOBELUND is not a Win16 NE executable");

  const auto data = load_ne_segment(file, e, kDataSegment);
  if (!data) return std::unexpected(data.error());
  const Bytes d = *data;

  // The tables sit at fixed offsets known only for one release; its two markers identify it.
  std::size_t layout_shift = 0;
  if (d.size() < kSoundMarkerOffset + kSoundMarker.size()) {
    return invalid(std::string(kUnsupportedBuild));
  }
  if (!has_text(d, kSoundMarkerOffset, kSoundMarker)) {
    if (!has_text(d, kSoundMarkerOffset + 2, kSoundMarker)) {
      return invalid(std::string(kUnsupportedBuild));
    }
    layout_shift = 2;
  }
  if (!has_text(d, kAdsMarkerOffset, kAdsMarker)) return invalid(std::string(kUnsupportedBuild));

  ExecutableTables tables;
  auto ads = walk_records(d, kAdsNameOffset, [&](std::uint16_t number, Bytes record) {
    if (number > 255) return;
    tables.ads_names.insert_or_assign(number,
                                      to_text(until_zero(record.subspan(2, kAdsNameField))));
  });
  if (!ads) return std::unexpected(std::move(ads.error()));

  auto catalog = walk_records(d, kCatalogOffset, [&](std::uint16_t, Bytes record) {
    tables.catalog.push_back(catalog_entry(record));
  });
  if (!catalog) return std::unexpected(std::move(catalog.error()));

  const auto info = slice(d, kWalkInfoOffset, 3 * kWalkPathCount);
  const auto arrival = slice(d, kArrivalPoseOffset, kSpotTableSize);
  const auto transit = slice(d, kTransitPoseOffset, kSpotTableSize);
  if (!info || !arrival || !transit) return truncated();
  for (std::size_t i = 0; i < kWalkPathCount; ++i) {
    tables.walk_path_info[i] = WalkPathInfo{(*info)[3 * i], (*info)[3 * i + 1], (*info)[3 * i + 2]};
  }
  std::copy(arrival->begin(), arrival->end(), tables.arrival_pose_paths.begin());
  std::copy(transit->begin(), transit->end(), tables.transit_pose_paths.begin());

  const auto code = load_ne_segment(file, e, kCodeSegment);
  if (!code) return std::unexpected(code.error());
  const Bytes c = *code;

  // The code loads each walk path's address as the immediate of a `mov ax, imm16`.
  for (std::size_t k = 0; k + 1 < kWalkPathCount; ++k) {
    const auto p = read_le<std::uint16_t>(c, kWalkPointerOffset + 2 * k);
    if (!p) return std::unexpected(p.error());
    if (*p >= c.size() || c[*p] != kLoadImmediate) {
      return invalid("unexpected walk path table layout");
    }
    const auto address = read_le<std::uint16_t>(c, std::size_t{*p} + 1);
    if (!address) return std::unexpected(address.error());
    auto path = read_walk_path(d, *address);
    if (!path) return std::unexpected(std::move(path.error()));
    tables.walk_paths[k + 1] = std::move(*path);
  }

  for (int f = 1; f <= 6; ++f) {
    for (int t = 1; t <= 6; ++t) {
      const auto o =
          read_le<std::uint16_t>(d, kRouteTableOffset + 12 * static_cast<std::size_t>(f) +
                                        2 * static_cast<std::size_t>(t));
      if (!o) return std::unexpected(o.error());
      if (*o == 0) continue;
      auto route = read_route(d, *o);
      if (!route) return std::unexpected(std::move(route.error()));
      tables.walk_routes.insert_or_assign({f, t}, std::move(*route));
    }
  }

  for (std::size_t i = 0; i < kGeneratorWordCount; ++i) {
    const auto w = read_le<std::uint16_t>(d, kGeneratorWordOffset + layout_shift + 2 * i);
    if (!w) return std::unexpected(w.error());
    tables.generator_words[i] = *w;
  }

  auto sounds = read_sounds(file, e);
  if (!sounds) return std::unexpected(std::move(sounds.error()));
  tables.sounds = std::move(*sounds);

  for (std::size_t i = 0; i < 2; ++i) {
    const auto w = read_le<std::uint16_t>(d, kGeneratorPositionOffset + layout_shift + 2 * i);
    if (!w) return std::unexpected(w.error());
    tables.generator_positions[i] = *w;
  }

  for (std::size_t i = 0; i < 3; ++i)
    tables.sea_sprites[i] = sea_sprite_list(d, kSeaSpriteOffsets[i]);
  return tables;
}

}  // namespace ot
