#include "engine/ttm.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/compress.h"
#include "authoring/image_writer.h"
#include "support/printers.h"

namespace ot {
namespace {

using authoring::ArchiveResource;

// ---- Fixtures --------------------------------------------------------------------------------

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// TTM bytecode written word by word.
class Ttm {
 public:
  // A command with its arguments; the count has to match the opcode's low nibble.
  Ttm& op(std::uint16_t opcode, std::initializer_list<int> args = {}) {
    EXPECT_EQ(args.size(), opcode & 0xFu) << "opcode " << opcode;
    put16(bytes_, opcode);
    for (const int a : args) put16(bytes_, static_cast<std::uint16_t>(a));
    return *this;
  }
  // A text command: text, zero byte, and a pad byte to an even length.
  Ttm& text(std::uint16_t opcode, std::string_view text) {
    put16(bytes_, opcode);
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    if (text.size() % 2 == 0) bytes_.push_back(0);
    return *this;
  }
  Ttm& word(std::uint16_t w) {
    put16(bytes_, w);
    return *this;
  }
  Ttm& byte(std::uint8_t b) {
    bytes_.push_back(b);
    return *this;
  }
  Ttm& repeat(std::uint16_t opcode, std::size_t times) {
    for (std::size_t i = 0; i < times; ++i) put16(bytes_, opcode);
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> le16(std::uint16_t v) {
  std::vector<std::uint8_t> out;
  put16(out, v);
  return out;
}

ArchiveResource ttm_resource(std::string name, const Ttm& code, std::uint16_t page_limit = 0xFFFF) {
  return {std::move(name),
          authoring::concat({authoring::chunk("PAG:", le16(page_limit)),
                             authoring::chunk("TT3:", authoring::lzw_compress(code.bytes()))})};
}

struct ResEntry {
  std::uint16_t slot;
  std::string name;
};

std::vector<std::uint8_t> res_payload(const std::vector<ResEntry>& entries) {
  std::vector<std::uint8_t> out = le16(static_cast<std::uint16_t>(entries.size()));
  for (const ResEntry& e : entries) {
    put16(out, e.slot);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.push_back(0);
  }
  return out;
}

// A program with one section that starts nothing.
const std::vector<std::uint8_t> kProgram = {0x01, 0x00, 0x05, 0x00, 0xFF, 0xFF};

ArchiveResource ads_resource(std::string name, std::vector<std::uint8_t> res,
                             std::vector<std::uint8_t> program = kProgram) {
  return {std::move(name),
          authoring::concat({authoring::chunk("RES:", res),
                             authoring::chunk("SCR:", authoring::lzw_compress(program))})};
}

ResourceArchive archive_of(const std::vector<ArchiveResource>& resources) {
  auto files = authoring::write_archive(resources);
  auto archive = open_archive(files.map, std::move(files.data));
  EXPECT_TRUE(archive.has_value());
  return archive ? std::move(*archive) : ResourceArchive{};
}

Result<TtmScript> decode(const Ttm& code, std::uint16_t page_limit = 0xFFFF) {
  return decode_ttm(archive_of({ttm_resource("A.TTM", code, page_limit)}), "A.TTM");
}

std::string error_of(const auto& result) {
  return result ? std::string("(no error)") : result.error().detail;
}

TtmInstruction instruction(std::uint16_t opcode, std::array<std::uint16_t, 6> args = {}) {
  return {opcode, args, std::nullopt};
}

// ---- Decoding --------------------------------------------------------------------------------

TEST(TtmDecode, PagesEndAtEndPageAndObeyThePageLimit) {
  const Ttm code = Ttm()
                       .op(0x1021, {0x1234})
                       .op(0x0FF0)
                       .op(0x2002, {3, 0xFEDC})
                       .op(0x0FF0)
                       .byte(0x77);  // a lone last byte is not a command
  const std::vector<TtmPage> both = {
      {instruction(0x1021, {0x1234}), instruction(0x0FF0)},
      {instruction(0x2002, {3, 0xFEDC}), instruction(0x0FF0)},
  };
  const struct {
    std::uint16_t limit;
    std::size_t pages;
  } cases[] = {{2, 2}, {1, 1}, {0, 0}, {0xFFFF, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    auto script = decode(code, c.limit);
    ASSERT_TRUE(script) << error_of(script);
    EXPECT_EQ(
        script->pages,
        std::vector<TtmPage>(both.begin(), both.begin() + static_cast<std::ptrdiff_t>(c.pages)));
    EXPECT_EQ(script->name, "A.TTM");
  }
}

TEST(TtmDecode, OnlyTheTrailingEmptyPageIsDropped) {
  auto script = decode(Ttm().op(0x0FF0).op(0x0FF0));
  ASSERT_TRUE(script);
  EXPECT_EQ(script->pages, (std::vector<TtmPage>{{instruction(0x0FF0)}, {instruction(0x0FF0)}}));
  auto empty = decode(Ttm());
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->pages.empty());
  // A page without an end-page command at the end of the stream stays.
  auto open = decode(Ttm().op(0x0FF0).op(0xA002, {1, 2}));
  ASSERT_TRUE(open);
  ASSERT_EQ(open->pages.size(), 2u);
  EXPECT_EQ(open->pages[1], TtmPage{instruction(0xA002, {1, 2})});
}

TEST(TtmDecode, TextTakesItsZeroByteAndPadding) {
  const struct {
    std::vector<std::uint8_t> stored;  // text bytes, zero and pad as stored
    std::string text;
  } cases[] = {
      {{'A', 'B', 0, 0}, "AB"},
      {{'A', 'B', 'C', 0}, "ABC"},
      {{0, 0}, ""},
      {{'A', 0xFF, 0, 0}, "A\xEF\xBF\xBD"},  // invalid UTF-8 becomes U+FFFD
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Ttm code;
    code.word(0xF02F);
    for (const std::uint8_t b : c.stored) code.byte(b);
    code.op(0xA002, {0x0102, 0x0304});
    auto script = decode(code);
    ASSERT_TRUE(script) << error_of(script);
    ASSERT_EQ(script->pages.size(), 1u);
    EXPECT_EQ(script->pages[0],
              (TtmPage{{0xF02F, {}, c.text}, instruction(0xA002, {0x0102, 0x0304})}));
  }
  // Text running to the end of the stream without a zero byte.
  auto cut = decode(Ttm().word(0xF01F).byte('X').byte('Y').byte('Z'));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->pages[0], (TtmPage{{0xF01F, {}, "XYZ"}}));
}

TEST(TtmDecode, BadOpcodes) {
  const struct {
    Ttm code;
    std::string error;
  } cases[] = {
      {Ttm().op(0x0FF0).word(0x1027).word(1), "bad TTM opcode 1027"},
      {Ttm().op(0x1021, {1}).word(0x2022).word(4), "bad TTM opcode 2022"},
      {Ttm().word(0x000E), "bad TTM opcode 000e"},
      {Ttm().word(0xABC7), "bad TTM opcode abc7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(error_of(decode(c.code)), c.error);
  }
}

TEST(TtmDecode, TagsNameTheirPageAndOutliveDroppedPages) {
  const Ttm code = Ttm()
                       .op(0x1111, {0x0101})
                       .op(0x0FF0)
                       .op(0x0FF0)
                       .op(0x1101, {5})  // a mark is no tag
                       .op(0x1111, {0xBEEF})
                       .op(0x0FF0)
                       .op(0x1111, {0x0303});
  auto script = decode(code, 2);
  ASSERT_TRUE(script) << error_of(script);
  EXPECT_EQ(script->pages.size(), 2u);
  EXPECT_EQ(script->tags, (std::vector<TtmTag>{{0x0101, 0}, {0xBEEF, 2}, {0x0303, 3}}));
}

TEST(TtmDecode, AtMostOneHundredThousandInstructions) {
  auto full = decode(Ttm().repeat(0x0000, 100000));
  ASSERT_TRUE(full) << error_of(full);
  EXPECT_EQ(full->pages[0].size(), 100000u);
  EXPECT_EQ(error_of(decode(Ttm().repeat(0x0000, 100001))), "TTM has too many instructions");
}

TEST(TtmDecode, ChunkErrors) {
  const auto pag_only = [](std::vector<std::uint8_t> pag) {
    return ArchiveResource{"A.TTM", authoring::concat({authoring::chunk("PAG:", pag)})};
  };
  EXPECT_EQ(error_of(decode_ttm(archive_of({pag_only({2})}), "A.TTM")), "truncated data");
  EXPECT_EQ(error_of(decode_ttm(archive_of({pag_only({2, 0})}), "a.ttm")),
            "a.ttm: missing TT3: chunk");
  const auto missing = decode_ttm(archive_of({}), "A.TTM");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().kind, DataErrorKind::Missing);
}

// ---- Loading a scene -------------------------------------------------------------------------

TEST(TtmLoadScene, ThreadsFollowTheTagsOfEveryScriptInOrder) {
  const Ttm first = Ttm().op(0x1111, {3}).op(0x0FF0).op(0x1111, {0x0A0B}).op(0x0FF0);
  const Ttm second = Ttm().op(0x0FF0).op(0x1111, {3});
  const Ttm none = Ttm().op(0x0FF0);
  // Names of odd and even lengths: entries are not padded.
  const auto archive = archive_of({
      ttm_resource("FIRST.TTM", first),
      ttm_resource("SECOND.TTM", second),
      ttm_resource("N.TTM", none),
      ads_resource("SCENE.ADS",
                   res_payload({{0x0102, "FIRST.TTM"}, {7, "N.TTM"}, {0xFFFE, "second.ttm"}}),
                   {0x2A, 0x00, 0x05, 0x20, 0xFE, 0xFF, 0x03, 0x00, 0, 0, 0, 0, 0xFF, 0xFF}),
  });
  auto scene = load_scene(archive, 0x42, "SCENE.ADS");
  ASSERT_TRUE(scene) << error_of(scene);
  EXPECT_EQ(scene->ads_number, 0x42);
  EXPECT_EQ(scene->name, "SCENE.ADS");
  EXPECT_EQ(scene->program.size(), 14u);
  ASSERT_EQ(scene->scripts.size(), 3u);
  EXPECT_EQ(scene->scripts[2].name, "second.ttm");

  const struct {
    std::size_t script;
    std::uint16_t slot, tag;
    std::int32_t page;
  } expected[] = {{0, 0x0102, 3, 0}, {0, 0x0102, 0x0A0B, 1}, {2, 0xFFFE, 3, 1}};
  ASSERT_EQ(scene->threads.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const TtmThread& t = scene->threads[i];
    EXPECT_EQ(t.script, expected[i].script);
    EXPECT_EQ(t.slot, expected[i].slot);
    EXPECT_EQ(t.tag, expected[i].tag);
    EXPECT_EQ(t.start_page, expected[i].page);
    EXPECT_EQ(t.current_page, expected[i].page);
    EXPECT_EQ(t.next_page, -1);
    EXPECT_EQ(t.state, kThreadIdle);
    EXPECT_EQ(t.draw, DrawState{});
  }
  EXPECT_EQ(scene->order, (std::vector<std::size_t>{0, 1, 2}));
  // The one section starts the thread of slot 0xFFFE, tag 3.
  ASSERT_EQ(scene->sections.size(), 1u);
  EXPECT_EQ(scene->sections[0].number, 0x2A);
  EXPECT_EQ(scene->sections[0].threads, std::vector<std::size_t>{2});
}

TEST(TtmLoadScene, Errors) {
  Ttm hundred_thousand;
  hundred_thousand.repeat(0x0000, 100000);
  Ttm fifty_thousand, one_more;
  fifty_thousand.repeat(0x0000, 50000);
  one_more.repeat(0x0000, 50001);
  const std::vector<ArchiveResource> ttms = {
      ttm_resource("T.TTM", Ttm().op(0x1111, {1})), ttm_resource("BAD.TTM", Ttm().word(0x1027)),
      ttm_resource("BIG.TTM", hundred_thousand),    ttm_resource("MID.TTM", fifty_thousand),
      ttm_resource("MID1.TTM", one_more),
  };
  const auto entries = [](std::size_t n, std::string name) {
    return res_payload(std::vector<ResEntry>(n, ResEntry{1, std::move(name)}));
  };
  const std::vector<ResEntry> large = {{1, "BIG.TTM"}, {2, "BIG.TTM"}, {3, "MID.TTM"}};
  const std::vector<ResEntry> too_large = {
      {1, "BIG.TTM"}, {2, "BIG.TTM"}, {3, "MID1.TTM"}, {4, "NONE.TTM"}};
  std::vector<std::uint8_t> two_claimed = res_payload({{1, "T.TTM"}});
  two_claimed[0] = 2;
  std::vector<std::uint8_t> unterminated = two_claimed;
  unterminated.pop_back();

  const struct {
    std::string what;
    std::vector<std::uint8_t> res, program;
    std::string error;  // empty: loads
  } cases[] = {
      {"sixteen", entries(16, "T.TTM"), kProgram, ""},
      {"seventeen", entries(17, "T.TTM"), kProgram, "S.ADS: too many TTMs"},
      {"seventeen missing", entries(17, "NONE.TTM"), kProgram, "S.ADS: too many TTMs"},
      {"250000 instructions", res_payload(large), kProgram, ""},
      {"250001 instructions", res_payload(too_large), kProgram, "S.ADS: TTMs too large"},
      {"bad TTM", res_payload({{1, "T.TTM"}, {2, "BAD.TTM"}}), kProgram, "bad TTM opcode 1027"},
      {"empty script", res_payload({{1, "T.TTM"}}), {0x01}, "S.ADS: empty script"},
      {"TTM before empty script", res_payload({{1, "BAD.TTM"}}), {0x01}, "bad TTM opcode 1027"},
      {"no entries", le16(0), kProgram, ""},
      {"short RES", {0x01}, kProgram, "truncated data"},
      {"entries run out", two_claimed, kProgram, "truncated data"},
      {"name runs to the end", unterminated, kProgram, "truncated data"},
      {"slot cut off", {0x01, 0x00, 0x05}, kProgram, "truncated data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ArchiveResource> resources = ttms;
    resources.push_back(ads_resource("S.ADS", c.res, c.program));
    auto scene = load_scene(archive_of(resources), 1, "S.ADS");
    if (c.error.empty()) {
      EXPECT_TRUE(scene) << error_of(scene);
    } else {
      EXPECT_EQ(error_of(scene), c.error);
    }
  }
  // The archive's own errors pass through.
  const auto no_scr = archive_of({{"S.ADS", authoring::chunk("RES:", le16(0))}});
  EXPECT_EQ(error_of(load_scene(no_scr, 1, "S.ADS")), "S.ADS: missing SCR: chunk");
  EXPECT_EQ(load_scene(no_scr, 1, "X.ADS").error().kind, DataErrorKind::Missing);
}

// ---- Running ---------------------------------------------------------------------------------

constexpr std::uint8_t kPaper = 1;

std::array<std::uint16_t, 56> generator_words() {
  std::array<std::uint16_t, 56> w{};
  w[0] = 0x1000;
  w[1] = 0x9000;  // the first draw gives 0xA000
  return w;
}

SpriteSheet sprite_sheet(std::vector<Sprite> frames) {
  SpriteSheet sheet;
  sheet.frames = std::move(frames);
  return sheet;
}

// One scene whose scripts T0.TTM, T1.TTM, ... sit in RES slots 1, 2, ..., with the engine around
// it: layers, generator, walk sheet, sound list and warnings.
struct Stage {
  ResourceArchive archive;
  AdsScene scene;
  Layers layers;
  RandomGenerator rng{generator_words(), 0, 1};
  std::shared_ptr<const SpriteSheet> walk =
      std::make_shared<const SpriteSheet>(sprite_sheet({{1, 1, {9}}}));
  std::vector<std::int32_t> sounds;
  std::vector<std::string> warnings;
  DrawOrigin origin;

  explicit Stage(const std::vector<Ttm>& scripts, std::vector<ArchiveResource> extra = {}) {
    std::vector<ResEntry> entries;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
      const std::string name = "T" + std::to_string(i) + ".TTM";
      extra.push_back(ttm_resource(name, scripts[i]));
      entries.push_back({static_cast<std::uint16_t>(i + 1), name});
    }
    extra.push_back(ads_resource("S.ADS", res_payload(entries)));
    archive = archive_of(extra);
    auto loaded = load_scene(archive, 1, "S.ADS");
    EXPECT_TRUE(loaded) << error_of(loaded);
    if (loaded) scene = std::move(*loaded);
    layers.background.fill(kPaper);
    layers.frame.fill(kPaper);
  }

  TtmThread& thread(std::size_t i = 0) { return scene.threads.at(i); }
  TtmScript& script(std::size_t i = 0) { return scene.scripts.at(i); }

  // One engine tick's share: the frame rebuilt from the background, then the pass.
  void tick(std::uint32_t clock) {
    scene.clock = clock;
    layers.frame.copy_from(layers.background);
    TtmContext context{scene,
                       layers.frame,
                       layers.background,
                       layers.shown,
                       origin,
                       rng,
                       archive,
                       walk,
                       sounds,
                       [this](std::string_view w) { warnings.emplace_back(w); }};
    run_ttm_pass(context);
  }
};

TEST(TtmRun, DelayKeepsThePageUntilTheWakeTime) {
  Stage stage({Ttm()
                   .op(0x1111, {1})
                   .op(0x1021, {10})
                   .op(0xA002, {5, 5})
                   .op(0x0FF0)
                   .op(0x2002, {9, 9})
                   .op(0xA002, {6, 6})
                   .op(0x0FF0)});
  stage.thread().state = kThreadPlayOnce;
  for (std::uint32_t clock = 100; clock <= 110; ++clock) {
    SCOPED_TRACE(clock);
    stage.tick(clock);
    EXPECT_EQ(stage.layers.frame.at(5, 5), 15);  // drawn on every tick
    EXPECT_EQ(stage.thread().current_page, clock < 110 ? 0 : 1);
  }
  EXPECT_EQ(stage.thread().wake_time, 120u);
  stage.tick(111);
  EXPECT_EQ(stage.layers.frame.at(5, 5), kPaper);
  EXPECT_EQ(stage.layers.frame.at(6, 6), 9);
}

TEST(TtmRun, AnEarlierDelayCarriesItsWakeTime) {
  const Ttm code = Ttm()
                       .op(0x1111, {1})
                       .op(0x1021, {10})
                       .op(0x0FF0)
                       .op(0x1021, {10})
                       .op(0xA002, {5, 5})
                       .op(0x0FF0)
                       .op(0x0FF0);
  const struct {
    std::uint32_t start;
    std::vector<std::pair<std::uint32_t, std::int32_t>> clock_and_page;
  } cases[] = {
      {100, {{100, 0}, {109, 0}, {110, 1}, {111, 1}, {119, 1}, {120, 2}}},
      // The wake time wraps and is compared unsigned: it lies behind the clock at once.
      {0xFFFFFFF8u, {{0xFFFFFFF8u, 1}, {0xFFFFFFF9u, 2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    Stage stage({code});
    stage.thread().state = kThreadPlayOnce;
    for (const auto& [clock, page] : c.clock_and_page) {
      stage.tick(clock);
      EXPECT_EQ(stage.thread().current_page, page) << "clock " << clock;
    }
  }
}

TEST(TtmRun, EndOfAnimationLoopsOrFinishesByState) {
  // Page 0 queues a sound once per play, page 1 ends the animation.
  const Ttm code = Ttm().op(0x1111, {1}).op(0xC051, {1}).op(0x0FF0).op(0x0110).op(0x0FF0);
  const struct {
    std::uint16_t state;
    std::int32_t repeats, end_time;
    std::size_t plays;
    std::uint16_t final_state;  // after ticks at clocks 0 to 11
  } cases[] = {
      {kThreadPlayOnce, 0, 0, 1, kThreadIdle},
      {kThreadRepeat, 0, 0, 1, kThreadIdle},
      {kThreadRepeat, 2, 0, 3, kThreadIdle},
      {kThreadUntilTime, 0, 1000, 6, kThreadUntilTime},
      {kThreadUntilTime, 0, 5, 3, kThreadIdle},
      {kThreadUntilTime, 0, 0, 1, kThreadIdle},  // an end time of 0 has passed already
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.state << " " << c.repeats << " " << c.end_time);
    Stage stage({code});
    TtmThread& t = stage.thread();
    t.state = c.state;
    t.repeat_count = c.repeats;
    t.end_time = c.end_time;
    for (std::uint32_t clock = 0; clock < 12; ++clock) stage.tick(clock);
    EXPECT_EQ(stage.sounds.size(), c.plays);
    EXPECT_EQ(t.state, c.final_state);
    EXPECT_EQ(t.repeat_count, 0);
  }

  // A repeating thread finishes on the tick after its third play and idles on the next.
  Stage stage({code});
  stage.thread().state = kThreadRepeat;
  stage.thread().repeat_count = 2;
  std::vector<std::pair<std::int32_t, std::uint16_t>> seen;
  for (std::uint32_t clock = 0; clock < 7; ++clock) {
    stage.tick(clock);
    seen.emplace_back(stage.thread().current_page, stage.thread().state);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<std::int32_t, std::uint16_t>>{
                      {1, 2}, {0, 2}, {1, 2}, {0, 2}, {1, 2}, {0, 4}, {0, 0}}));
}

TEST(TtmRun, UntilTimeEndsWhileTheDelayHoldsThePage) {
  Stage stage({Ttm().op(0x1111, {1}).op(0x1021, {100}).op(0x0FF0)});
  TtmThread& t = stage.thread();
  t.state = kThreadUntilTime;
  t.end_time = 5;
  stage.tick(0);
  stage.tick(4);
  EXPECT_EQ(t.state, kThreadUntilTime);
  stage.tick(5);
  EXPECT_EQ(t.state, kThreadFinished);
  EXPECT_EQ(t.current_page, 0);
}

TEST(TtmRun, SoundIsQueuedOnceWhileThePageStays) {
  Stage stage(
      {Ttm().op(0x1111, {1}).op(0x1021, {3}).op(0xC051, {7}).op(0xC051, {0xFFFE}).op(0x0FF0)});
  stage.thread().state = kThreadPlayOnce;
  for (std::uint32_t clock = 0; clock < 3; ++clock) stage.tick(clock);
  EXPECT_EQ(stage.sounds, (std::vector<std::int32_t>{7, -2}));
  EXPECT_EQ(stage.thread().current_page, 0);
}

TEST(TtmRun, RandomPause) {
  // The generator's first draw is 0xA000 = 40960.
  const struct {
    int a0, a1;
    std::int32_t delay;
    bool draws;
  } cases[] = {
      {4, 4, 4, false},
      {4, 10, 4 + 40960 % 6, true},
      {0, -1, 65536 - 40960, true},            // w = 0xFFFF; r of 32768 or more folds back
      {10, 2, 10 + 65536 - 40960, true},       // w = 0xFFF8
      {-3, 0x7FFF, -3 + 40960 - 32770, true},  // w = 0x8002: r = 8190
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a0 << " " << c.a1);
    Stage stage({Ttm().op(0x1111, {1}).op(0x2022, {c.a0, c.a1}).op(0x0FF0)});
    stage.thread().state = kThreadPlayOnce;
    stage.tick(50);
    EXPECT_EQ(stage.thread().delay, c.delay);
    EXPECT_EQ(stage.rng.b() != 1, c.draws);
    stage.tick(51);  // once only: no second draw while the page stays
    EXPECT_EQ(stage.rng.b(), c.draws ? 2 : 1);
  }
}

TEST(TtmRun, JumpGoesToTheFirstPageOpeningWithTheTag) {
  const auto script = [](int target) {
    return Ttm()
        .op(0x1111, {1})
        .op(0x1201, {target})
        .op(0x0FF0)  // page 0
        .op(0x0FF0)  // page 1
        .op(0x1101, {7})
        .op(0x0FF0)  // page 2
        .op(0x2002, {0, 0})
        .op(0x1101, {8})
        .op(0x0FF0)  // page 3: the mark is not its first command
        .op(0x1111, {8})
        .op(0x0FF0)  // page 4
        .op(0x1101, {7})
        .op(0x0FF0);  // page 5
  };
  const struct {
    int target;
    std::int32_t page;
    bool self_jump;
  } cases[] = {{7, 2, false}, {8, 4, false}, {1, 0, true}, {5, 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    Stage stage({script(c.target)});
    stage.thread().state = kThreadPlayOnce;
    stage.tick(0);
    EXPECT_EQ(stage.thread().current_page, c.page);
    EXPECT_EQ(stage.thread().next_page, -1);
    EXPECT_EQ(stage.thread().self_jump, c.self_jump);
  }
}

TEST(TtmRun, HeldThreadKeepsDrawingItsPage) {
  Stage stage({Ttm().op(0x1111, {1}).op(0xA002, {5, 5}).op(0x0FF0).op(0x0FF0)});
  stage.thread().state = kThreadHeld;
  for (std::uint32_t clock = 0; clock < 5; ++clock) {
    stage.tick(clock);
    EXPECT_EQ(stage.layers.frame.at(5, 5), 15);
    EXPECT_EQ(stage.thread().current_page, 0);
    EXPECT_EQ(stage.thread().state, kThreadHeld);
  }

  // With an end of animation it finishes once its delay has passed.
  Stage ending({Ttm().op(0x1111, {1}).op(0x1021, {3}).op(0x0110).op(0xA002, {5, 5}).op(0x0FF0)});
  ending.thread().state = kThreadHeld;
  for (std::uint32_t clock = 10; clock < 13; ++clock) {
    ending.tick(clock);
    EXPECT_EQ(ending.layers.frame.at(5, 5), 15);
    EXPECT_EQ(ending.thread().state, kThreadHeld) << clock;
  }
  ending.tick(13);
  EXPECT_EQ(ending.thread().state, kThreadFinished);
  EXPECT_EQ(ending.thread().delay, 0);
}

TEST(TtmRun, PageOutOfRangeFinishesAndFinishedIdles) {
  const Ttm code = Ttm().op(0x0FF0).op(0x1111, {1}).op(0x0FF0);  // tag on page 1 of 2
  const struct {
    std::int32_t page;
    std::vector<std::uint16_t> states;  // after each tick
  } cases[] = {
      {1, {kThreadPlayOnce, kThreadFinished, kThreadIdle, kThreadIdle}},  // runs past the end
      {2, {kThreadFinished, kThreadIdle}},
      {-1, {kThreadFinished, kThreadIdle}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    Stage stage({code});
    TtmThread& t = stage.thread();
    t.state = kThreadPlayOnce;
    t.current_page = c.page;
    for (std::size_t i = 0; i < c.states.size(); ++i) {
      stage.tick(static_cast<std::uint32_t>(i));
      EXPECT_EQ(t.state, c.states[i]) << "tick " << i;
    }
    EXPECT_EQ(t.next_page, 1);  // the start page
  }
}

TEST(TtmRun, BitmapLoads) {
  const auto spr = std::vector<authoring::Frame>{{2, 1, {7, 0}}, {1, 2, {3, 4}}};
  Stage stage({Ttm()
                   .op(0x1111, {1})
                   .op(0x1051, {3})
                   .text(0xF02F, "ZeboWalk.Bmp")
                   .op(0x1051, {4})
                   .text(0xF02F, "spr.bmp")
                   .op(0x1051, {5})
                   .text(0xF02F, "SPR.BMP")
                   .op(0x0080)
                   .op(0x0FF0)
                   .op(0x1051, {3})
                   .text(0xF02F, "zebowalk.bm")
                   .op(0x1051, {4})
                   .text(0xF02F, "zebowalk.bmpx")
                   .op(0x0FF0)},
              {{"SPR.BMP", authoring::bitmap_resource(spr)}});
  TtmScript& script = stage.script();
  stage.thread().state = kThreadPlayOnce;
  stage.tick(0);
  EXPECT_EQ(script.slots[3], stage.walk);
  ASSERT_NE(script.slots[4], nullptr);
  EXPECT_EQ(script.slots[4]->frames, (std::vector<Sprite>{{2, 1, {7, 0}}, {1, 2, {3, 4}}}));
  EXPECT_EQ(script.slots[5], nullptr);
  EXPECT_TRUE(stage.warnings.empty());

  stage.tick(1);
  EXPECT_EQ(script.slots[3], nullptr);
  EXPECT_EQ(script.slots[4], nullptr);
  EXPECT_EQ(stage.walk.use_count(), 1);
  EXPECT_EQ(stage.warnings, (std::vector<std::string>{"missing screensaver file: zebowalk.bm",
                                                      "missing screensaver file: zebowalk.bmpx"}));
}

TEST(TtmRun, SelectedSlotIsLimited) {
  const struct {
    int a0;
    std::uint16_t slot;
  } cases[] = {{2, 2}, {9, 5}, {-3, 0}, {0x7FFF, 5}};
  for (const auto& c : cases) {
    Stage stage({Ttm().op(0x1111, {1}).op(0x1051, {c.a0}).op(0x0FF0)});
    stage.thread().state = kThreadPlayOnce;
    stage.tick(0);
    EXPECT_EQ(stage.thread().selected_slot, c.slot) << c.a0;
  }
}

TEST(TtmRun, AtMostThirtyTwoLoadsInAPass) {
  for (const std::size_t failing : {30u, 31u}) {
    SCOPED_TRACE(failing);
    Ttm code;
    code.op(0x1111, {1}).op(0x1051, {1});
    for (std::size_t i = 0; i < failing; ++i) code.text(0xF02F, "NONE.BMP");
    code.text(0xF01F, "NONE.SCR").text(0xF02F, "zebowalk.bmp").op(0x0FF0);
    Stage stage({code});
    stage.thread().state = kThreadPlayOnce;
    stage.tick(0);
    EXPECT_EQ(stage.warnings.size(), failing + 1);
    EXPECT_EQ(stage.script().slots[1] != nullptr, failing == 30);
  }
}

TEST(TtmRun, ScreenGoesIntoFrameAndBackground) {
  Stage stage({Ttm()
                   .op(0x1111, {1})
                   .op(0xA002, {100, 100})
                   .text(0xF01F, "ROOM.SCR")
                   .op(0xA002, {200, 200})
                   .text(0xF01F, "NONE.SCR")
                   .op(0x0FF0)},
              {{"ROOM.SCR", authoring::screen_resource({2, 2, {3, 4, 5, 6}})}});
  stage.thread().state = kThreadPlayOnce;
  stage.tick(0);
  Layer background;
  background.fill(kPaper);
  background.at(100, 100) = 15;
  background.at(0, 0) = 3;
  background.at(1, 0) = 4;
  background.at(0, 1) = 5;
  background.at(1, 1) = 6;
  Layer frame = background;
  frame.at(200, 200) = 15;
  EXPECT_TRUE(stage.layers.background == background);
  EXPECT_TRUE(stage.layers.frame == frame);
  EXPECT_EQ(stage.warnings, std::vector<std::string>{"missing screensaver file: NONE.SCR"});
}

TEST(TtmRun, DrawingCommandsMeetThePrimitivesAtTheOrigin) {
  const auto spr = std::vector<authoring::Frame>{{2, 1, {7, 0}}, {2, 2, {1, 2, 3, 4}}};
  Stage stage({Ttm()
                   .op(0x1111, {1})
                   .op(0x2002, {0x0104, 0x0206})
                   .op(0xA002, {10, 20})
                   .op(0xA0A4, {10, 30, 40, 35})
                   .op(0xA104, {50, 50, 8, 6})
                   .op(0xA114, {70, 50, 8, 6})
                   .op(0xA404, {90, 50, 7, 10})
                   .op(0xA424, {90, 70, 99, 5})
                   .op(0x1051, {2})
                   .text(0xF02F, "SPR.BMP")
                   .op(0xA504, {120, 10, 1, 2})
                   .op(0xA514, {130, 10, 1, 2})
                   .op(0xA524, {140, 10, 1, 2})
                   .op(0xA534, {150, 10, 1, 2})
                   .op(0xA504, {160, 10, 2, 2})  // no frame 2
                   .op(0xA504, {160, 10, 0, 3})  // slot 3 is empty
                   .op(0xA504, {160, 10, 0, 8})  // no slot 8
                   .op(0xA054, {10, 18, 4, 4})
                   .op(0xA104, {10, 18, 4, 4})
                   .op(0x4204, {50, 50, 3, 3})
                   .op(0xB606, {300, 300, 10, 10, 0, 1})
                   .op(0xB606, {300, 300, 5, 5, 1, 2})
                   .op(0x4004, {0, 0, 100, 100})
                   .op(0xA104, {95, 95, 20, 20})
                   .op(0xA064, {0, 0, 1, 1})
                   .op(0x0FF0)},
              {{"SPR.BMP", authoring::bitmap_resource(spr)}});
  stage.origin = {3, 2};
  for (std::int32_t y = 0; y < kLayerHeight; ++y) {
    for (std::int32_t x = 0; x < kLayerWidth; ++x) {
      stage.layers.shown.at(x, y) = static_cast<std::uint8_t>(0x80 | ((x + y) & 0x3F));
    }
  }
  stage.thread().state = kThreadHeld;
  stage.tick(0);

  // The same picture drawn with the primitives.
  Layer frame, background;
  background.fill(kPaper);
  frame.fill(kPaper);
  const ClipRect screen{};
  plot(frame, 13, 22, 4, screen);
  draw_line(frame, 13, 32, 43, 37, 4, screen);
  draw_box(frame, 53, 52, 8, 6, 4, 6, screen);
  draw_outline(frame, 73, 52, 8, 6, 4, screen);
  draw_disc(frame, 93, 52, 10, 4, 6, screen);
  draw_disc(frame, 93, 72, 5, 4, 6, screen);
  const Sprite sprite{2, 2, {1, 2, 3, 4}};
  for (std::uint32_t flags = 0; flags < 4; ++flags) {
    blit(frame, sprite, 123 + 10 * static_cast<std::int32_t>(flags), 12, flags, screen);
  }
  std::optional<SavedZone> zone;
  save_zone(frame, 13, 20, 4, 4, zone);
  draw_box(frame, 13, 20, 4, 4, 4, 6, screen);
  copy_zone(frame, background, 53, 52, 3, 3);
  copy_zone(stage.layers.shown, frame, 300, 300, 10, 10);
  copy_zone(frame, background, 300, 300, 5, 5);
  draw_box(frame, 98, 97, 20, 20, 4, 6, {3, 2, 103, 102});
  restore_zone(frame, 0, 0, 1, 1, zone);

  EXPECT_TRUE(stage.layers.frame == frame);
  EXPECT_TRUE(stage.layers.background == background);
  EXPECT_EQ(stage.thread().draw.clip, (ClipRect{3, 2, 103, 102}));
  EXPECT_EQ(stage.thread().draw.foreground, 4);
  EXPECT_EQ(stage.thread().draw.background, 6);

  // Later passes skip the zone commands: the box over the saved zone stays.
  stage.tick(1);
  EXPECT_EQ(stage.layers.frame.at(14, 21), 6);
  EXPECT_EQ(stage.layers.frame.at(304, 304), stage.layers.shown.at(304, 304));
  EXPECT_EQ(stage.layers.frame.at(305, 305), kPaper);
}

TEST(TtmRun, ThreadsRunInOrderListOrder) {
  const auto painter = [](int colour) {
    return Ttm().op(0x1111, {1}).op(0x2002, {colour, 0}).op(0xA002, {5, 5}).op(0x0FF0);
  };
  Stage stage({painter(3), painter(4)});
  stage.thread(0).state = kThreadHeld;
  stage.thread(1).state = kThreadHeld;
  stage.tick(0);
  EXPECT_EQ(stage.layers.frame.at(5, 5), 4);
  stage.scene.order = {1, 0};
  stage.tick(1);
  EXPECT_EQ(stage.layers.frame.at(5, 5), 3);
}

TEST(TtmThreadReset, RestoresThePlayingStateOnly) {
  TtmThread t;
  t.script = 2;
  t.slot = 0x0102;
  t.tag = 0x0304;
  t.start_page = 5;
  t.end_time = 77;
  t.current_page = 9;
  t.next_page = 3;
  t.draw = {{1, 2, 3, 4}, false, 7, 8, true};
  t.selected_slot = 4;
  t.delay = 6;
  t.wake_time = 123;
  t.repeat_count = 2;
  t.start_count = 11;
  t.self_jump = true;
  t.state = kThreadHeld;
  t.reset();

  TtmThread expected;
  expected.script = 2;
  expected.slot = 0x0102;
  expected.tag = 0x0304;
  expected.start_page = 5;
  expected.current_page = 5;
  expected.end_time = 77;
  EXPECT_EQ(t.draw, DrawState{});
  EXPECT_EQ(std::tie(t.script, t.slot, t.tag, t.start_page, t.current_page, t.next_page,
                     t.selected_slot, t.delay, t.wake_time, t.repeat_count, t.end_time,
                     t.start_count, t.self_jump, t.state),
            std::tie(expected.script, expected.slot, expected.tag, expected.start_page,
                     expected.current_page, expected.next_page, expected.selected_slot,
                     expected.delay, expected.wake_time, expected.repeat_count, expected.end_time,
                     expected.start_count, expected.self_jump, expected.state));
}

}  // namespace
}  // namespace ot
