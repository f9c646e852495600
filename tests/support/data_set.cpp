#include "support/data_set.h"

#include <algorithm>
#include <string_view>

#include "authoring/script_assembler.h"
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

// Two animations and a scene that plays them, in the script text form.
constexpr std::string_view kStrollTtm = R"(
  pages 3
  tag 1
  select_slot 0
  load_bitmap "ZEBOWALK.BMP"
  delay 5
  blit 100 200 0 0
  sound 2
  end_page
  blit 104 200 1 0
  end_page
  tag 2
  colours 4 9
  box 10 10 30 20
  random_delay 3 8
  end_animation
  end_page
)";

constexpr std::string_view kSplashTtm = R"(
  tag 1
  clip 0 0 319 199
  select_slot 1
  load_bitmap "MRAFT.BMP"
  blit_mirrored 40 50 1 1
  delay 8
  end_page
  mark 7
  line 0 0 50 20
  sound 5
  jump 7
  end_page
  free_bitmap
  end_animation
  end_page
)";

constexpr std::string_view kCoveAds = R"(
  res 1 "STROLL.TTM"
  res 2 "SPLASH.TTM"

  section 1
    play 1 1 0 1
    later_passes
    if_finished 1 1
      play 1 2 2 1
    end_if
    end

  section 2
    random
      play 2 1 -30 2
      nothing 1
    end_random
    draw_last 1 1 0
    end
)";

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
  resources.push_back(
      {"STROLL.TTM", authoring::ttm_resource(authoring::assemble_ttm(kStrollTtm).value())});
  resources.push_back(
      {"SPLASH.TTM", authoring::ttm_resource(authoring::assemble_ttm(kSplashTtm).value())});
  resources.push_back(
      {"COVE.ADS", authoring::ads_resource(authoring::assemble_ads(kCoveAds).value())});
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
