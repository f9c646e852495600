// Black-box runs of open-tobelund-tool's data inspection commands.
#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/printers.h"

#include "authoring/archive_writer.h"
#include "authoring/compress.h"
#include "authoring/image_writer.h"
#include "support/data_set.h"
#include "support/json.h"
#include "support/png_reader.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ot {
namespace {

namespace fs = std::filesystem;
using authoring::chunk;
using authoring::concat;
using authoring::container_chunk;
using test::run_program;
using test::TempDir;

using test::bytes_of;

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::uint8_t> picture(5000, 0x42);
    const std::vector<authoring::ArchiveResource> resources{
        {"zebohues.pal", chunk("VGA:", bytes_of("\x01\x02\x03\x00\xFF"))},
        {"BACKGRND.BMP",
         container_chunk("BMP:", concat({chunk("INF:", bytes_of("\x02\x00")),
                                         chunk("BIN:", authoring::lzw_compress(picture)),
                                         chunk("BIN:", authoring::rle_compress(picture))}))},
        {"EMPTY.SCR", {}},
        {"BROKEN.BMP", bytes_of("BIN:\x07\x00\x00\x00"
                                "ab")},
        {"BADPACK.SCR", concat({chunk("BIN:", bytes_of("\x07\x01\x00\x00\x00")),
                                chunk("VGA:", bytes_of("\x01\x02\x00")),
                                chunk("INF:", bytes_of("\x01\x02\x00\x00\x00\x01\x41"))})},
    };
    auto files = authoring::write_archive(resources);
    test::write_file(dir / "Resource.Map", files.map);
    test::write_file(dir / "resource.001", files.data);
  }

  test::ProgramRun tool(std::vector<std::string> args) { return run_program(OT_TOOL_PATH, args); }

  TempDir dir;
};

TEST_F(Tool, ListsResourcesSortedWithTheirChunks) {
  fs::remove(dir / "resource.001");
  auto files = authoring::write_archive(std::vector<authoring::ArchiveResource>{
      {"zebohues.pal", chunk("VGA:", bytes_of("\x01\x02"))},
      {"BACKGRND.BMP",
       container_chunk("BMP:", concat({chunk("INF:", bytes_of("ab")), chunk("BIN:", {})}))},
      {"EMPTY.SCR", {}}});
  test::write_file(dir / "RESOURCE.MAP", files.map);
  fs::remove(dir / "Resource.Map");
  test::write_file(dir / "RESOURCE.001", files.data);
  const auto run = tool({"list", dir.path().string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "BACKGRND.BMP\t26\tINF: BIN:\n"
            "EMPTY.SCR\t0\t\n"
            "ZEBOHUES.PAL\t10\tVGA:\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(Tool, ListFailsOnABrokenResource) {
  const auto run = tool({"list", dir.path().string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: invalid screensaver data: BROKEN.BMP: bad chunk BIN:\n");
}

TEST_F(Tool, WritesChunkPayloads) {
  auto run = tool({"chunk", dir.path().string(), "ZeboHues.Pal", "VGA:"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string("\x01\x02\x03\x00\xFF", 5));

  run = tool({"chunk", dir.path().string(), "backgrnd.bmp", "BIN:", "--decompress"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(5000, '\x42'));  // the last BIN: chunk (run-length)

  run = tool({"chunk", dir.path().string(), "backgrnd.bmp", "BIN:"});
  EXPECT_EQ(run.out.size(), authoring::rle_compress(std::vector<std::uint8_t>(5000, 0x42)).size());
}

TEST_F(Tool, ChunkFailures) {
  const std::string d = dir.path().string();
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"chunk", d, "nothere.bmp", "BIN:"}, "error: missing screensaver file: nothere.bmp\n"},
      {{"chunk", d, "zebohues.pal", "BIN:"},
       "error: invalid screensaver data: zebohues.pal: missing BIN: chunk\n"},
      {{"chunk", d, "broken.bmp", "BIN:"},
       "error: invalid screensaver data: broken.bmp: bad chunk BIN:\n"},
      {{"chunk", d, "BADPACK.SCR", "BIN:", "--decompress"},
       "error: invalid screensaver data: unknown compression method 7\n"},
      {{"chunk", d, "BADPACK.SCR", "VGA:", "--decompress"},
       "error: invalid screensaver data: compressed chunk too small\n"},
      {{"chunk", d, "BADPACK.SCR", "INF:", "--decompress"},
       "error: invalid screensaver data: decompressed size mismatch\n"},
      {{"chunk", d, "ZEBOHUES.PAL", "VGA:", "--decompress"},
       "error: invalid screensaver data: decompressed size too large\n"},
      {{"list", (dir / "absent").string()},
       "error: missing screensaver file: screensaver directory " + (dir / "absent").string() +
           " (No such file or directory)\n"},
  };
  for (const auto& c : cases) {
    const auto run = tool(c.args);
    EXPECT_EQ(run.status, 1) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(Tool, Usage) {
  const auto help = tool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: open-tobelund-tool")) << help.out;
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"list"},
                                                                {"list", "a", "b"},
                                                                {"chunk", "d", "n"},
                                                                {"chunk", "d", "n", "t", "--x"},
                                                                {"frob"}}) {
    const auto run = tool(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, help.out);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace ot

namespace ot {
namespace {

class ToolOnDataSet : public ::testing::Test {
 protected:
  void SetUp() override {
    set.resources.push_back(
        {"OCEAN00.SCR", authoring::screen_resource({3, 2, {0, 1, 2, 13, 14, 15}})});
    set.resources.push_back({"FISH.TTM", authoring::chunk("VGA:", {})});
    test::write_data_set(dir.path(), set);
  }
  test::ProgramRun tool(std::vector<std::string> args) { return run_program(OT_TOOL_PATH, args); }

  test::DataSet set;
  TempDir dir;
  TempDir out;
};

std::array<std::uint8_t, 3> colour(std::uint8_t index) {
  const auto six = test::test_palette()[index];
  std::array<std::uint8_t, 3> c{};
  for (int k = 0; k < 3; ++k)
    c[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(
        six[static_cast<std::size_t>(k)] << 2 | six[static_cast<std::size_t>(k)] >> 4);
  return c;
}

TEST_F(ToolOnDataSet, ExtractsPalettesScreensAndFrames) {
  auto run = tool({"extract", dir.path().string(), "zebohues.pal", (out / "new" / "dir").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  auto png = test::decode_png(test::read_file(out / "new" / "dir" / "ZEBOHUES.PAL.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 256u);
  EXPECT_EQ(png->height, 1u);
  for (const int n : {0, 1, 7, 15, 16, 255}) {
    const auto i = static_cast<std::uint8_t>(n);
    const auto c = colour(i);
    EXPECT_EQ((std::array<std::uint8_t, 4>{png->rgba[4u * i], png->rgba[4u * i + 1],
                                           png->rgba[4u * i + 2], png->rgba[4u * i + 3]}),
              (std::array<std::uint8_t, 4>{c[0], c[1], c[2], 255}))
        << int{i};
  }

  run = tool({"extract", dir.path().string(), "Ocean00.Scr", out.path().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  png = test::decode_png(test::read_file(out / "OCEAN00.SCR.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 3u);
  EXPECT_EQ(png->height, 2u);
  EXPECT_FALSE(png->has_alpha);
  const std::uint8_t indices[] = {0, 1, 2, 13, 14, 15};
  for (std::size_t i = 0; i < 6; ++i) {
    const auto c = colour(indices[i]);
    EXPECT_EQ(png->rgba[4 * i], c[0]);
    EXPECT_EQ(png->rgba[4 * i + 2], c[2]);
  }

  run = tool({"extract", dir.path().string(), "MRAFT.BMP", out.path().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  png = test::decode_png(test::read_file(out / "MRAFT.BMP-1.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 22u);
  EXPECT_EQ(png->height, 9u);
  EXPECT_TRUE(png->has_alpha);
  EXPECT_TRUE(fs::exists(out / "MRAFT.BMP-0.png"));
  EXPECT_FALSE(fs::exists(out / "MRAFT.BMP-2.png"));
  bool transparent = false, opaque = false;
  for (std::size_t i = 3; i < png->rgba.size(); i += 4) {
    if (png->rgba[i] == 0)
      transparent = png->rgba[i - 3] == 0 && png->rgba[i - 2] == 0 && png->rgba[i - 1] == 0;
    if (png->rgba[i] == 255) opaque = true;
  }
  EXPECT_TRUE(transparent);
  EXPECT_TRUE(opaque);
}

TEST_F(ToolOnDataSet, ExtractFailures) {
  const std::string d = dir.path().string();
  const std::string o = out.path().string();
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"extract", d, "fish.ttm", o}, "error: fish.ttm is not a palette, bitmap or screen\n"},
      {{"extract", d, "NONE.BMP", o}, "error: missing screensaver file: NONE.BMP\n"},
  };
  for (const auto& c : cases) {
    const auto run = tool(c.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.err);
  }
}

TEST_F(ToolOnDataSet, PrintsTheExecutableTablesAsJson) {
  const auto run = tool({"exe", dir.path().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = test::parse_json(run.out);
  ASSERT_TRUE(json) << run.out;
  const auto& plan = set.executable;

  const auto& catalog = (*json)["catalog"].array();
  ASSERT_EQ(catalog.size(), plan.catalog.size());
  for (std::size_t i = 0; i < catalog.size(); ++i) {
    const auto& r = plan.catalog[i];
    const auto& e = catalog[i];
    EXPECT_EQ(e.object().size(), 12u);
    EXPECT_EQ(e["weight"].number(), r.weight);
    EXPECT_EQ(e["start_spot"].number(), r.start_spot);
    EXPECT_EQ(e["start_heading"].number(), r.start_heading);
    EXPECT_EQ(e["end_spot"].number(), r.end_spot);
    EXPECT_EQ(e["end_heading"].number(), r.end_heading);
    EXPECT_EQ(e["cost"].number(), r.cost);
    EXPECT_EQ(e["window_start"].number(), r.window_start);
    EXPECT_EQ(e["window_end"].number(), r.window_end);
    EXPECT_EQ(e["story_day"].number(), r.story_day);
    EXPECT_EQ(e["flags"].number(), r.flags);
    EXPECT_EQ(e["ads_number"].number(), r.ads_number);
    EXPECT_EQ(e["section"].number(), r.section);
  }
  const auto& names = (*json)["ads_names"].object();
  ASSERT_EQ(names.size(), plan.ads_names.size());
  for (const auto& n : plan.ads_names)
    EXPECT_EQ(names.at(std::to_string(n.number)).string(), n.name);

  const auto& paths = (*json)["walk_paths"].array();
  ASSERT_EQ(paths.size(), 35u);
  EXPECT_TRUE(paths[0].array().empty());
  for (std::size_t k = 0; k < plan.walk_paths.size(); ++k) {
    const auto& steps = paths[k + 1].array();
    ASSERT_EQ(steps.size(), plan.walk_paths[k].size()) << k;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const auto& raw = plan.walk_paths[k][i];
      EXPECT_EQ(steps[i]["x"].number(), raw.x);
      EXPECT_EQ(steps[i]["y"].number(), raw.y);
      EXPECT_EQ(steps[i]["frame"].number(), raw.word & 0x7FFF);
      EXPECT_EQ(steps[i]["mirrored"].boolean(), (raw.word & 0x8000) != 0);
    }
  }
  const auto& info = (*json)["walk_path_info"].array();
  ASSERT_EQ(info.size(), 35u);
  for (std::size_t k = 0; k < 35; ++k) {
    EXPECT_EQ(info[k]["start_heading"].number(), plan.walk_path_info[k].start_heading);
    EXPECT_EQ(info[k]["end_heading"].number(), plan.walk_path_info[k].end_heading);
    EXPECT_EQ(info[k]["end_spot"].number(), plan.walk_path_info[k].end_spot);
  }
  for (std::size_t s = 0; s < 7; ++s) {
    EXPECT_EQ((*json)["arrival_pose_paths"][s].number(), plan.arrival_pose_paths[s]);
    EXPECT_EQ((*json)["transit_pose_paths"][s].number(), plan.transit_pose_paths[s]);
  }
  const auto& routes = (*json)["walk_routes"].object();
  ASSERT_EQ(routes.size(), plan.routes.size());
  for (const auto& [key, words] : plan.routes) {
    const auto& got =
        routes.at(std::to_string(key.first) + "," + std::to_string(key.second)).array();
    ASSERT_EQ(got.size(), words.size());
    for (std::size_t i = 0; i < words.size(); ++i) EXPECT_EQ(got[i].number(), words[i]);
  }
  for (std::size_t t = 0; t < 3; ++t) {
    const auto& frames = (*json)["sea_sprites"][std::to_string(t + 1)].array();
    ASSERT_EQ(frames.size(), plan.sea_sprites[t].size());
    for (std::size_t i = 0; i < frames.size(); ++i)
      EXPECT_EQ(frames[i].number(), plan.sea_sprites[t][i]);
  }
  ASSERT_EQ((*json)["generator_words"].array().size(), 56u);
  for (std::size_t i = 0; i < 56; ++i)
    EXPECT_EQ((*json)["generator_words"][i].number(), plan.generator_words[i]);
  EXPECT_EQ((*json)["generator_positions"][0].number(), plan.generator_positions[0]);
  EXPECT_EQ((*json)["generator_positions"][1].number(), plan.generator_positions[1]);
  const auto& sounds = (*json)["sounds"].object();
  ASSERT_EQ(sounds.size(), plan.sounds.size());
  EXPECT_EQ(json->object().size(), 11u);
}

TEST_F(ToolOnDataSet, WritesSoundsAsStored) {
  const auto& stored = set.executable.sounds.at(1);  // "WAVESFX2"
  ASSERT_EQ(stored.name, "WAVESFX2");
  const auto run = tool({"sound", dir.path().string(), "2", (out / "two.wav").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::read_file(out / "two.wav"), stored.data);

  const auto none = tool({"sound", dir.path().string(), "99", (out / "x.wav").string()});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "error: TOBELUND.SCR has no sound 99\n");
  EXPECT_FALSE(fs::exists(out / "x.wav"));
  const auto bad = tool({"sound", dir.path().string(), "two", (out / "x.wav").string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "error: two is not a sound number\n");
}

}  // namespace
}  // namespace ot

namespace ot {
namespace {

TEST_F(ToolOnDataSet, PresentsALayerFile) {
  std::vector<std::uint8_t> layer(640 * 480);
  for (std::size_t i = 0; i < layer.size(); ++i)
    layer[i] = static_cast<std::uint8_t>((i / 640 + i % 640 / 3) % 16);
  test::write_file(out / "frame.layer", layer);
  const auto png_path = (out / "big.png").string();
  auto run = tool(
      {"present", dir.path().string(), (out / "frame.layer").string(), "1280", "960", png_path});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto png = test::decode_png(test::read_file(png_path));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 1280u);
  EXPECT_EQ(png->height, 960u);
  for (const auto& [x, y] : {std::pair<std::size_t, std::size_t>{0, 0}, {639, 479}, {123, 321}}) {
    const auto c = colour(layer[y * 640 + x]);
    const std::size_t at = 4 * ((2 * y + 1) * 1280 + 2 * x + 1);
    EXPECT_EQ((std::array<std::uint8_t, 3>{png->rgba[at], png->rgba[at + 1], png->rgba[at + 2]}), c)
        << x << "," << y;
  }
  run = tool({"present", dir.path().string(), (out / "frame.layer").string(), "100", "50", png_path,
              "--dedither"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::decode_png(test::read_file(png_path))->width, 100u);

  layer.pop_back();
  test::write_file(out / "short.layer", layer);
  run = tool(
      {"present", dir.path().string(), (out / "short.layer").string(), "640", "480", png_path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "error: " + (out / "short.layer").string() + " is not a 640 \xC3\x97 480 layer\n");
  for (const auto& size :
       {std::pair<std::string, std::string>{"0", "480"}, {"640", "x"}, {"-1", "2"}}) {
    run = tool({"present", dir.path().string(), (out / "frame.layer").string(), size.first,
                size.second, png_path});
    EXPECT_EQ(run.status, 2) << size.first;
  }
}

}  // namespace
}  // namespace ot
