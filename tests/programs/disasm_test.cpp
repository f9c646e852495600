// Black-box runs of open-tobelund-tool disasm.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/decompress.h"
#include "authoring/archive_writer.h"
#include "authoring/script_assembler.h"
#include "support/bytes.h"
#include "support/data_set.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ot {
namespace {

using authoring::chunk;
using authoring::concat;
using test::bytes_of;

constexpr std::string_view kTtm =
    "pages 2\n"
    "tag 1\n"
    "load_bitmap \"ZEBOWALK.BMP\"\n"
    "delay 5\n"
    "blit -10 20 0 3\n"
    "end_page\n"
    "op 0x0012 0x1234 7\n"
    "delay 3\n"
    "end_page\n";

constexpr std::string_view kAds =
    "res 1 \"WALK.TTM\"\n"
    "res 2 \"FISH.TTM\"\n"
    "section 1\n"
    "  play 1 1 0 1\n"
    "  end\n"
    "section 2\n"
    "  later_passes\n"
    "  if_finished 1 1\n"
    "    play 2 1 -30 1\n"
    "  end_if\n"
    "  end\n";

class Disasm : public ::testing::Test {
 protected:
  void SetUp() override {
    ttm_ = authoring::assemble_ttm(kTtm).value();
    ads_ = authoring::assemble_ads(kAds).value();
    const std::vector<authoring::ArchiveResource> resources{
        {"WALK.TTM", authoring::ttm_resource(ttm_)},
        {"SCENE.ADS", authoring::ads_resource(ads_)},
        {"ZEBOHUES.PAL", chunk("VGA:", bytes_of("\x01\x02\x03"))},
        {"BADPACK.TTM", concat({chunk("PAG:", bytes_of("\x01\x00")),
                                chunk("TT3:", bytes_of("\x07\x01\x00\x00\x00"))})},
    };
    const auto files = authoring::write_archive(resources);
    test::write_file(dir / "RESOURCE.MAP", files.map);
    test::write_file(dir / "RESOURCE.001", files.data);
  }

  test::ProgramRun tool(std::vector<std::string> args) {
    return test::run_program(OT_TOOL_PATH, args);
  }

  test::TempDir dir;
  authoring::TtmSource ttm_;
  authoring::AdsSource ads_;
};

TEST_F(Disasm, OutputAssemblesToTheSameScripts) {
  auto run = tool({"disasm", dir.path().string(), "walk.ttm"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("load_bitmap \"ZEBOWALK.BMP\"\n"), std::string::npos) << run.out;
  const auto ttm = authoring::assemble_ttm(run.out);
  ASSERT_TRUE(ttm.has_value()) << ttm.error().message << "\n" << run.out;
  EXPECT_EQ(*ttm, ttm_);

  run = tool({"disasm", dir.path().string(), "Scene.Ads"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("res 2 \"FISH.TTM\"\n"), std::string::npos) << run.out;
  const auto ads = authoring::assemble_ads(run.out);
  ASSERT_TRUE(ads.has_value()) << ads.error().message << "\n" << run.out;
  EXPECT_EQ(*ads, ads_);
}

TEST_F(Disasm, Failures) {
  const std::string d = dir.path().string();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"disasm", d, "ZeboHues.Pal"}, 1, "error: ZeboHues.Pal is not a script\n"},
      {{"disasm", d, "nothere.ttm"}, 1, "error: missing screensaver file: nothere.ttm\n"},
      {{"disasm", d, "badpack.ttm"},
       1,
       "error: invalid screensaver data: unknown compression method 7\n"},
  };
  for (const auto& c : cases) {
    const auto run = tool(c.args);
    EXPECT_EQ(run.status, c.status) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  const auto usage = tool({"disasm", d});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("disasm DIR NAME"), std::string::npos) << usage.err;
}

// Every script of the shared data set, as the tool lists it, comes back from disasm text to the
// payloads stored in the archive.
TEST_F(Disasm, EveryDataSetScriptReassemblesToItsStoredPayloads) {
  test::TempDir data;
  const test::DataSet set;
  test::write_data_set(data.path(), set);
  auto files = set.archive();
  auto archive = open_archive(files.map, std::move(files.data));
  ASSERT_TRUE(archive) << archive.error().display_text();

  const auto list = tool({"list", data.path().string()});
  ASSERT_EQ(list.status, 0) << list.err;
  std::set<std::string> ttms, adss;
  std::istringstream lines(list.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(0, line.find('\t'));
    const std::string tags = line.substr(line.rfind('\t') + 1);
    const auto has = [&](std::string_view tag) { return tags.find(tag) != std::string::npos; };
    if (has("PAG:") && has("TT3:")) ttms.insert(name);
    if (has("RES:") && has("SCR:")) adss.insert(name);
  }
  EXPECT_EQ(ttms, (std::set<std::string>{"SPLASH.TTM", "STROLL.TTM"}));
  EXPECT_EQ(adss, std::set<std::string>{"COVE.ADS"});

  // The stored payload of `tag`, and the unpacked one of `packed`.
  const auto payloads = [&](const std::string& name, std::string_view tag,
                            std::string_view packed) {
    auto chunks = read_chunks(*archive, name);
    EXPECT_TRUE(chunks) << name;
    std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> out;
    if (!chunks) return out;
    const Chunk* stored = chunks->find(tag);
    const Chunk* code = chunks->find(packed);
    EXPECT_TRUE(stored && code) << name;
    if (!stored || !code) return out;
    out.first.assign(stored->payload.begin(), stored->payload.end());
    auto unpacked = decompress_chunk(code->payload);
    EXPECT_TRUE(unpacked) << name;
    if (unpacked) out.second = std::move(*unpacked);
    return out;
  };
  const auto disasm = [&](const std::string& name) {
    const auto run = tool({"disasm", data.path().string(), name});
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    return run.out;
  };

  for (const std::string& name : ttms) {
    SCOPED_TRACE(name);
    const std::string text = disasm(name);
    const auto source = authoring::assemble_ttm(text);
    ASSERT_TRUE(source) << source.error().line << ": " << source.error().message << "\n" << text;
    const auto [pag, bytecode] = payloads(name, "PAG:", "TT3:");
    EXPECT_EQ(authoring::page_chunk_payload(*source), pag);
    EXPECT_EQ(source->bytecode, bytecode);
    EXPECT_FALSE(bytecode.empty());
  }
  for (const std::string& name : adss) {
    SCOPED_TRACE(name);
    const std::string text = disasm(name);
    const auto source = authoring::assemble_ads(text);
    ASSERT_TRUE(source) << source.error().line << ": " << source.error().message << "\n" << text;
    const auto [res, program] = payloads(name, "RES:", "SCR:");
    EXPECT_EQ(authoring::res_chunk_payload(*source), res);
    EXPECT_EQ(source->program, program);
    EXPECT_FALSE(program.empty());
  }
}

}  // namespace
}  // namespace ot
