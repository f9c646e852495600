#include "support/data_set.h"

#include <algorithm>

#include "support/temp_dir.h"

namespace ot::test {

namespace {

authoring::Frame pattern(std::uint16_t width, std::uint16_t height, unsigned seed) {
  authoring::Frame f{width, height, {}};
  f.pixels.resize(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < f.pixels.size(); ++i) {
    f.pixels[i] = static_cast<std::uint8_t>((i / 3 + seed + i % width) % 16);
  }
  return f;
}

authoring::ArchiveResource sheet(std::string name,
                                 std::initializer_list<std::pair<int, int>> sizes) {
  std::vector<authoring::Frame> frames;
  unsigned seed = 1;
  for (auto [w, h] : sizes)
    frames.push_back(pattern(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), seed++));
  return {std::move(name), authoring::bitmap_resource(frames)};
}

}  // namespace

std::vector<std::array<std::uint8_t, 3>> test_palette() {
  std::vector<std::array<std::uint8_t, 3>> entries(256, {0, 0, 0});
  for (std::uint8_t i = 1; i < 16; ++i) {
    entries[i] = {static_cast<std::uint8_t>(i * 4), static_cast<std::uint8_t>(63 - i * 3),
                  static_cast<std::uint8_t>((i * 11) % 64)};
  }
  return entries;
}

DataSet::DataSet() {
  resources.push_back({"ZEBOHUES.PAL", authoring::palette_resource(test_palette())});
  resources.push_back(sheet("ZEBOWALK.BMP", {{12, 20}, {13, 21}, {11, 19}}));
  resources.push_back(sheet("BACKGRND.BMP", {{60, 30}, {9, 4}, {7, 5}}));
  resources.push_back(sheet("MRAFT.BMP", {{20, 8}, {22, 9}}));
  resources.push_back(sheet("HOLIDAY.BMP", {{16, 16}}));
  resources.push_back({"INTRO.SCR", authoring::screen_resource(pattern(320, 200, 5))});
}

DataSet& DataSet::without(const std::string& name) {
  std::erase_if(resources, [&](const authoring::ArchiveResource& r) { return r.name == name; });
  return *this;
}

authoring::ArchiveFiles DataSet::archive() const {
  return authoring::write_archive(resources);
}

void write_data_set(const std::filesystem::path& dir, const DataSet& set) {
  const auto files = set.archive();
  write_file(dir / "TOBELUND.SCR", authoring::write_executable(set.executable).bytes);
  write_file(dir / "RESOURCE.MAP", files.map);
  write_file(dir / "RESOURCE.001", files.data);
}

}  // namespace ot::test
