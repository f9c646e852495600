#include "assets/archive.h"

#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/printers.h"

#include "authoring/archive_writer.h"
#include "authoring/byte_writer.h"

namespace ot {
namespace {

using authoring::ArchiveResource;
using authoring::ByteWriter;
using authoring::chunk;
using authoring::concat;
using authoring::container_chunk;

using test::bytes_of;

ResourceArchive open(std::vector<ArchiveResource> resources) {
  auto files = authoring::write_archive(resources);
  auto archive = open_archive(files.map, std::move(files.data));
  EXPECT_TRUE(archive) << archive.error().display_text();
  return std::move(*archive);
}

std::string tags_of(const std::vector<Chunk>& chunks) {
  std::string out;
  for (const Chunk& c : chunks) out += c.tag;
  return out;
}

TEST(Archive, NamesAreUpperCasedAndFoundInAnyCase) {
  const auto archive = open({{"zebohues.pal", chunk("VGA:", bytes_of("\x12\x34"))},
                             {"THIRTEENCHARS", chunk("INF:", {})}});
  ASSERT_EQ(archive.index.size(), 2u);
  EXPECT_TRUE(archive.index.contains("ZEBOHUES.PAL"));
  EXPECT_TRUE(archive.index.contains("THIRTEENCHARS"));  // 13 non-zero bytes, no terminator
  auto map = read_chunks(archive, "ZeBoHuEs.PaL");
  ASSERT_TRUE(map);
  const auto vga = get_chunk(*map, "ZeBoHuEs.PaL", "VGA:");
  ASSERT_TRUE(vga);
  EXPECT_EQ(std::vector<std::uint8_t>(vga->begin(), vga->end()), bytes_of("\x12\x34"));
  // Payloads are views into the archive's own bytes.
  EXPECT_GE(vga->data(), archive.bytes.data());
  EXPECT_LE(vga->data() + vga->size(), archive.bytes.data() + archive.bytes.size());
}

TEST(Archive, LaterEntryWithTheSameNameWins) {
  const auto archive =
      open({{"A.BMP", chunk("INF:", bytes_of("old"))}, {"a.bmp", chunk("INF:", bytes_of("new!"))}});
  ASSERT_EQ(archive.index.size(), 1u);
  EXPECT_EQ(archive.index.at("A.BMP").size, 12u);
  auto map = read_chunks(archive, "A.BMP");
  EXPECT_EQ(get_chunk(*map, "A.BMP", "INF:")->size(), 4u);
}

TEST(Archive, ChunkStreams) {
  const auto container = container_chunk(
      "BMP:", concat({chunk("INF:", bytes_of("\x01\x02")), chunk("BIN:", bytes_of("xyz"))}));
  const auto repeated =
      concat({chunk("PAG:", bytes_of("1")), chunk("TT3:", {}), chunk("PAG:", bytes_of("22"))});
  const auto stray = concat({chunk("VGA:", bytes_of("v")), bytes_of("abc")});
  const auto archive = open({{"C.BMP", container},
                             {"R.TTM", repeated},
                             {"S.PAL", stray},
                             {"TINY", bytes_of("VGA:\x00\x00\x00")},
                             {"ODD", bytes_of("\xFF\xFE\x41:\x01\x00\x00\x00Z")}});

  auto c = read_chunks(archive, "C.BMP");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->chunks.size(), 2u);
  EXPECT_EQ(get_chunk(*c, "C.BMP", "BIN:")->size(), 3u);
  EXPECT_EQ(get_chunk(*c, "C.BMP", "BMP:").error(),
            DataError::invalid("C.BMP: missing BMP: chunk"));

  auto r = read_chunks(archive, "R.TTM");
  EXPECT_EQ(get_chunk(*r, "R.TTM", "PAG:")->size(), 2u);  // the last one wins
  EXPECT_EQ(get_chunk(*r, "R.TTM", "TT3:")->size(), 0u);
  EXPECT_EQ(tags_of(list_chunks(archive, "R.TTM").value()), "PAG:TT3:PAG:");

  EXPECT_EQ(read_chunks(archive, "S.PAL")->chunks.size(), 1u);  // three stray bytes ignored
  EXPECT_TRUE(read_chunks(archive, "TINY")->chunks.empty());    // 7 bytes: no chunk
  EXPECT_EQ(tags_of(list_chunks(archive, "ODD").value()),
            "\xEF\xBF\xBD\xEF\xBF\xBD"
            "A:");
}

TEST(Archive, ChunkErrors) {
  const auto past_end = concat({chunk("VGA:", bytes_of("ab")), bytes_of("BIN:\x02\x00\x00\x00"
                                                                        "a")});
  const auto archive = open({{"BAD.SCR", past_end}});
  EXPECT_EQ(read_chunks(archive, "bad.scr").error(), DataError::invalid("bad.scr: bad chunk BIN:"));
  EXPECT_EQ(read_chunks(archive, "nothere.bmp").error(), DataError::missing("nothere.bmp"));
  const ChunkMap empty;
  EXPECT_EQ(get_chunk(empty, "x.pal", "VGA:").error(),
            DataError::invalid("x.pal: missing VGA: chunk"));
}

// RESOURCE.MAP laid out by hand: 19 bytes, N, then N pairs of words.
std::vector<std::uint8_t> map_with(std::uint16_t count,
                                   std::initializer_list<std::uint32_t> offsets) {
  ByteWriter w;
  w.zeros(19).u16(count);
  for (std::uint32_t o : offsets) w.u32(0x1234).u32(o);
  return w.take();
}

std::vector<std::uint8_t> record(std::string_view name, std::uint32_t size,
                                 std::size_t data_bytes) {
  ByteWriter w;
  w.fixed_text(name, 13).u32(size).zeros(data_bytes);
  return w.take();
}

TEST(Archive, OpeningFailures) {
  const auto data = record("A.PAL", 4, 4);  // 21 bytes
  const struct {
    std::vector<std::uint8_t> map;
    std::vector<std::uint8_t> data;
    std::string detail;  // empty: opens
  } cases[] = {
      {std::vector<std::uint8_t>(20, 0), data, "RESOURCE.MAP too small"},
      {map_with(0, {}), data, ""},
      {map_with(1, {}), data, "truncated data"},
      {[] {
         auto m = map_with(1, {0});
         m.pop_back();
         return m;
       }(),
       data, "truncated data"},
      {map_with(2, {0}), data, "truncated data"},
      {map_with(1, {0}), data, ""},
      {map_with(1, {5}), data, "RESOURCE.MAP entry out of range"},
      {map_with(1, {4}), data, ""},  // any offset whose record fits: name "L", size 0
      {map_with(1, {0}), record("a.pal", 5, 4), "A.PAL: data out of range"},
      {map_with(1, {0xFFFFFFFF}), data, "RESOURCE.MAP entry out of range"},
      {map_with(1, {0}), record("A.PAL", 0xFFFFFFFF, 4), "A.PAL: data out of range"},
  };
  for (const auto& c : cases) {
    auto archive = open_archive(c.map, c.data);
    if (c.detail.empty()) {
      EXPECT_TRUE(archive) << archive.error().detail;
    } else {
      ASSERT_FALSE(archive) << c.detail;
      EXPECT_EQ(archive.error(), DataError::invalid(c.detail));
    }
  }
  auto empty = open_archive(map_with(0, {}), data);
  ASSERT_TRUE(empty);
  EXPECT_EQ(read_chunks(*empty, "A.PAL").error(), DataError::missing("A.PAL"));
}

}  // namespace
}  // namespace ot
