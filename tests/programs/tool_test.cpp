// Black-box runs of open-tobelund-tool's data inspection commands.
#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/printers.h"

#include "authoring/archive_writer.h"
#include "authoring/compress.h"
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
