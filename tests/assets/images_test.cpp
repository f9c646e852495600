#include "assets/images.h"

#include <gtest/gtest.h>

#include "authoring/archive_writer.h"
#include "authoring/byte_writer.h"
#include "authoring/compress.h"
#include "authoring/image_writer.h"
#include "support/bytes.h"
#include "support/printers.h"

namespace ot {
namespace {

using authoring::chunk;
using authoring::concat;
using Buffer = std::vector<std::uint8_t>;

ResourceArchive archive_of(std::vector<authoring::ArchiveResource> resources) {
  auto files = authoring::write_archive(resources);
  return open_archive(files.map, std::move(files.data)).value();
}

Buffer info_chunk(std::initializer_list<std::pair<std::uint16_t, std::uint16_t>> sizes) {
  authoring::ByteWriter w;
  w.u16(static_cast<std::uint32_t>(sizes.size()));
  for (auto [width, height] : sizes) w.u16(width);
  for (auto [width, height] : sizes) w.u16(height);
  return chunk("INF:", w.view());
}

TEST(Palette, ComponentsWidenFromSixBits) {
  const auto archive = archive_of({{"SHORT.PAL", chunk("VGA:", test::bytes_of("\x3F\x20\xFF"))},
                                   {"NOVGA.PAL", chunk("INF:", {})}});
  const Palette p = load_palette(archive, "short.pal").value();
  EXPECT_EQ(p.colours[0], (Colour{255, 130, 255}));
  EXPECT_EQ(p.colours[1], (Colour{0, 0, 0}));
  EXPECT_EQ(p.colours[255], (Colour{0, 0, 0}));
  EXPECT_EQ(load_palette(archive, "NoVga.Pal").error(),
            DataError::invalid("NoVga.Pal: missing VGA: chunk"));

  std::vector<std::array<std::uint8_t, 3>> entries(257);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i] = {static_cast<std::uint8_t>(i % 64), static_cast<std::uint8_t>((i / 4) % 64), 1};
  }
  const auto full = archive_of({{"FULL.PAL", authoring::palette_resource(entries)}});
  const Palette q = load_palette(full, "FULL.PAL").value();
  EXPECT_EQ(q.colours[33], (Colour{33 << 2 | 33 >> 4, 8 << 2, 4}));  // the 257th entry is ignored
}

TEST(SpriteSheet, FramesAreNibbleAlignedAcrossBytes) {
  // Frames 3x1 and 2x1 over the bytes 12 34 50: 1 2 3 | 4 5.
  const auto bin =
      chunk("BIN:", authoring::compressed_payload(1, 3, test::bytes_of("\x03\x12\x34\x50")));
  const auto archive = archive_of({{"TWO.BMP", concat({info_chunk({{3, 1}, {2, 1}}), bin})}});
  const SpriteSheet sheet = load_sprite_sheet(archive, "two.bmp").value();
  ASSERT_EQ(sheet.frames.size(), 2u);
  EXPECT_EQ(sheet.frames[0], (Sprite{3, 1, {1, 2, 3}}));
  EXPECT_EQ(sheet.frames[1], (Sprite{2, 1, {4, 5}}));
}

TEST(SpriteSheet, WriterRoundTrip) {
  std::vector<authoring::Frame> frames;
  for (const std::uint16_t w :
       {std::uint16_t{5}, std::uint16_t{1}, std::uint16_t{7}, std::uint16_t{0}, std::uint16_t{3}}) {
    authoring::Frame f{w, 3, {}};
    for (int i = 0; i < w * 3; ++i) f.pixels.push_back(static_cast<std::uint8_t>((i * 7 + w) % 16));
    frames.push_back(f);
  }
  for (auto packing : {authoring::Packing::Lzw, authoring::Packing::RunLength}) {
    const auto archive =
        archive_of({{"ZEBOWALK.BMP", authoring::bitmap_resource(frames, packing)}});
    const SpriteSheet sheet = load_sprite_sheet(archive, "ZEBOWALK.BMP").value();
    ASSERT_EQ(sheet.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(sheet.frames[i], (Sprite{frames[i].width, frames[i].height, frames[i].pixels}))
          << i;
    }
  }
}

TEST(SpriteSheet, Failures) {
  const auto good_bin = chunk("BIN:", authoring::rle_compress(Buffer{}));
  const auto mega = std::pair<std::uint16_t, std::uint16_t>{1024, 1024};
  const auto archive = archive_of({
      {"EMPTY.BMP", concat({info_chunk({}), good_bin})},
      {"NOBIN.BMP", info_chunk({})},
      {"BADBIN.BMP",
       concat({info_chunk({}), chunk("BIN:", test::bytes_of("\x09\x00\x00\x00\x00"))})},
      {"NOINF.BMP", good_bin},
      {"ONEBYTE.BMP", concat({chunk("INF:", test::bytes_of("\x01")), good_bin})},
      {"SHORTINF.BMP",
       concat({chunk("INF:", test::bytes_of("\x02\x00\x01\x00\x01\x00\x01\x00")), good_bin})},
      {"TWOMEGA.BMP",
       concat({info_chunk({mega, mega}), chunk("BIN:", authoring::rle_compress(Buffer{}))})},
      {"THREEMEGA.BMP",
       info_chunk({mega, mega, mega})},  // no BIN: at all: the size check comes first
  });
  EXPECT_TRUE(load_sprite_sheet(archive, "EMPTY.BMP").value().frames.empty());
  const struct {
    std::string_view name;
    DataError error;
  } cases[] = {
      {"NOBIN.BMP", DataError::invalid("NOBIN.BMP: missing BIN: chunk")},
      {"BADBIN.BMP", DataError::invalid("unknown compression method 9")},
      {"NOINF.BMP", DataError::invalid("NOINF.BMP: missing INF: chunk")},
      {"ONEBYTE.BMP", DataError::invalid("truncated data")},
      {"SHORTINF.BMP", DataError::invalid("truncated data")},
      {"ThreeMega.bmp", DataError::invalid("ThreeMega.bmp: image too large")},
      {"NOSUCH.BMP", DataError::missing("NOSUCH.BMP")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(load_sprite_sheet(archive, c.name).error(), c.error) << c.name;
  // 2,097,152 pixels in all is the most a sheet may hold; the empty stream leaves them 0.
  const SpriteSheet two = load_sprite_sheet(archive, "TWOMEGA.BMP").value();
  ASSERT_EQ(two.frames.size(), 2u);
  EXPECT_EQ(two.frames[1].pixels.size(), 1024u * 1024u);
  EXPECT_EQ(two.frames[1].pixels.back(), 0);
}

TEST(ScreenImage, DecodesAndPadsShortStreams) {
  authoring::Frame picture{640, 480, Buffer(640 * 480, 0)};
  for (std::size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = static_cast<std::uint8_t>((i ^ (i >> 7)) & 15);
  authoring::ByteWriter dim;
  dim.u16(640).u16(480).u16(0x1234);  // bytes after the size are ignored
  const Buffer half(1000, 0x9A);
  const auto archive = archive_of({
      {"INTRO.SCR", authoring::screen_resource(picture)},
      {"SHORT.SCR",
       concat({chunk("DIM:", dim.view()), chunk("BIN:", authoring::lzw_compress(half))})},
      {"NODIM.SCR", chunk("BIN:", authoring::lzw_compress(half))},
      {"SMALLDIM.SCR", concat({chunk("DIM:", test::bytes_of("\x80\x02\xE0")),
                               chunk("BIN:", authoring::lzw_compress(half))})},
      {"HUGE.SCR", concat({chunk("DIM:", test::bytes_of("\xFF\xFF\xFF\xFF")),
                           chunk("BIN:", authoring::lzw_compress(half))})},
  });
  const ScreenImage intro = load_screen_image(archive, "intro.scr").value();
  EXPECT_EQ(intro.width, 640);
  EXPECT_EQ(intro.height, 480);
  EXPECT_EQ(intro.pixels, picture.pixels);

  const ScreenImage short_one = load_screen_image(archive, "SHORT.SCR").value();
  ASSERT_EQ(short_one.pixels.size(), 640u * 480u);
  EXPECT_EQ(short_one.pixels[0], 9);
  EXPECT_EQ(short_one.pixels[1999], 0xA);
  EXPECT_EQ(short_one.pixels[2000], 0);
  EXPECT_EQ(short_one.pixels.back(), 0);

  EXPECT_EQ(load_screen_image(archive, "NODIM.SCR").error(),
            DataError::invalid("NODIM.SCR: missing DIM: chunk"));
  EXPECT_EQ(load_screen_image(archive, "SMALLDIM.SCR").error(),
            DataError::invalid("truncated data"));
  EXPECT_EQ(load_screen_image(archive, "HUGE.SCR").error(),
            DataError::invalid("HUGE.SCR: image too large"));
}

TEST(UnpackNibbles, StartsAndLimits) {
  const Buffer stream{0x12, 0x34, 0x56};
  EXPECT_EQ(unpack_nibbles(stream, 1, 4, "x").value(), (Buffer{2, 3, 4, 5}));
  EXPECT_EQ(unpack_nibbles(stream, 3, 5, "x").value(), (Buffer{4, 5, 6, 0, 0}));
  EXPECT_EQ(unpack_nibbles(stream, 9, 2, "x").value(), (Buffer{0, 0}));
  EXPECT_EQ(unpack_nibbles(stream, 0, 0, "x").value(), Buffer{});
  EXPECT_EQ(unpack_nibbles(stream, 0x2000000 - 1, 1, "x").value(), Buffer{0});
  EXPECT_TRUE(unpack_nibbles(stream, 0x2000000, 0, "x"));
  EXPECT_EQ(unpack_nibbles(stream, 0x2000000, 1, "n.scr").error(),
            DataError::invalid("n.scr: image too large"));
  EXPECT_EQ(unpack_nibbles(stream, 1, SIZE_MAX, "n.scr").error(),
            DataError::invalid("n.scr: image too large"));
}

}  // namespace
}  // namespace ot
