// Subcommands over the screensaver executable: exe (its tables as JSON) and sound.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/messages.h"
#include "assets/data_files.h"
#include "assets/exe.h"
#include "authoring/executable_writer.h"
#include "tool/common.h"

namespace ot::tool {

namespace {

Result<ExecutableTables> load_tables(std::string_view dir) {
  auto bytes = read_data_file(std::filesystem::path(std::string(dir)), kExecutableFile);
  if (!bytes) return std::unexpected(std::move(bytes.error()));
  return read_executable(*bytes);
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

template <class Range, class Item>
std::string list_of(const Range& range, Item item) {
  std::string out = "[";
  bool first = true;
  for (const auto& v : range) {
    if (!first) out += ", ";
    first = false;
    out += item(v);
  }
  return out + "]";
}

std::string number(std::uint64_t v) {
  return std::to_string(v);
}
std::string signed_number(std::int64_t v) {
  return std::to_string(v);
}

std::string catalog_entry(const CatalogEntry& e) {
  return "{\"weight\": " + number(e.weight) + ", \"start_spot\": " + number(e.start_spot) +
         ", \"start_heading\": " + number(e.start_heading) +
         ", \"end_spot\": " + number(e.end_spot) + ", \"end_heading\": " + number(e.end_heading) +
         ", \"cost\": " + number(e.cost) + ", \"window_start\": " + number(e.window_start) +
         ", \"window_end\": " + number(e.window_end) + ", \"story_day\": " + number(e.story_day) +
         ", \"flags\": " + number(e.flags) + ", \"ads_number\": " + number(e.ads_number) +
         ", \"section\": " + number(e.section) + "}";
}

std::string tables_json(const ExecutableTables& t) {
  const auto bytes = [](const auto& list) {
    return list_of(list, [](std::uint8_t v) { return number(v); });
  };
  std::string out = "{\n";
  out += "  \"catalog\": [";
  for (std::size_t i = 0; i < t.catalog.size(); ++i) {
    out += (i == 0 ? "\n    " : ",\n    ") + catalog_entry(t.catalog[i]);
  }
  out += t.catalog.empty() ? "],\n" : "\n  ],\n";

  out += "  \"ads_names\": {";
  bool first = true;
  for (const auto& [n, name] : t.ads_names) {
    out += (first ? "" : ", ") + json_string(std::to_string(n)) + ": " + json_string(name);
    first = false;
  }
  out += "},\n";

  out += "  \"walk_paths\": [";
  for (std::size_t i = 0; i < t.walk_paths.size(); ++i) {
    out += (i == 0 ? "\n    " : ",\n    ") + list_of(t.walk_paths[i], [](const WalkStep& s) {
             return "{\"x\": " + signed_number(s.x) + ", \"y\": " + signed_number(s.y) +
                    ", \"frame\": " + number(s.frame) +
                    ", \"mirrored\": " + (s.mirrored ? "true" : "false") + "}";
           });
  }
  out += "\n  ],\n";

  out += "  \"walk_path_info\": " +
         list_of(t.walk_path_info,
                 [](const WalkPathInfo& w) {
                   return "{\"start_heading\": " + number(w.start_heading) +
                          ", \"end_heading\": " + number(w.end_heading) +
                          ", \"end_spot\": " + number(w.end_spot) + "}";
                 }) +
         ",\n";
  out += "  \"arrival_pose_paths\": " + bytes(t.arrival_pose_paths) + ",\n";
  out += "  \"transit_pose_paths\": " + bytes(t.transit_pose_paths) + ",\n";

  out += "  \"walk_routes\": {";
  first = true;
  for (const auto& [key, words] : t.walk_routes) {
    out += (first ? "" : ", ") +
           json_string(std::to_string(key.first) + "," + std::to_string(key.second)) + ": " +
           list_of(words, [](std::uint16_t w) { return number(w); });
    first = false;
  }
  out += "},\n";

  out += "  \"sea_sprites\": {\"1\": " + bytes(t.sea_sprites[0]) +
         ", \"2\": " + bytes(t.sea_sprites[1]) + ", \"3\": " + bytes(t.sea_sprites[2]) + "},\n";
  out += "  \"generator_words\": " +
         list_of(t.generator_words, [](std::uint16_t w) { return number(w); }) + ",\n";
  out += "  \"generator_positions\": " +
         list_of(t.generator_positions, [](std::uint16_t w) { return number(w); }) + ",\n";

  out += "  \"sounds\": {";
  first = true;
  for (const auto& [n, samples] : t.sounds) {
    out += (first ? "" : ", ") + json_string(std::to_string(n)) + ": " + number(samples->size());
    first = false;
  }
  out += "}\n}\n";
  return out;
}

}  // namespace

int exe(std::string_view dir) {
  auto tables = load_tables(dir);
  if (!tables) return fail(tables.error());
  write_stdout(tables_json(*tables));
  return 0;
}

int sound(std::string_view dir, std::string_view number_text, std::string_view out_path) {
  std::uint32_t n = 0;
  const auto [end, ec] =
      std::from_chars(number_text.data(), number_text.data() + number_text.size(), n);
  if (ec != std::errc() || end != number_text.data() + number_text.size()) {
    return fail(std::string(number_text) + " is not a sound number");
  }
  auto tables = load_tables(dir);
  if (!tables) return fail(tables.error());
  const auto it = tables->sounds.find(n);
  if (it == tables->sounds.end()) return fail("TOBELUND.SCR has no sound " + std::to_string(n));
  // Back to the stored bytes: the samples are exactly (byte - 128) / 128.
  std::vector<std::uint8_t> stored;
  stored.reserve(it->second->size());
  for (const float s : *it->second)
    stored.push_back(static_cast<std::uint8_t>(std::lround(s * 128.0f) + 128));
  return write_output(std::filesystem::path(std::string(out_path)), authoring::wave_sound(stored))
             ? 0
             : kFailed;
}

}  // namespace ot::tool
