#include "authoring/script_assembler.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "assets/archive.h"
#include "assets/decompress.h"
#include "assets/script_opcodes.h"
#include "authoring/archive_writer.h"
#include "engine/scene.h"
#include "support/bytes.h"

namespace ot::authoring {

inline void PrintTo(const AssemblyError& e, std::ostream* os) {
  *os << "line " << e.line << ": " << e.message;
}

namespace {

using Buffer = std::vector<std::uint8_t>;
using test::bytes_of;

TtmSource ttm(std::string_view text) {
  auto source = assemble_ttm(text);
  EXPECT_TRUE(source.has_value()) << source.error().line << ": " << source.error().message;
  return source.value_or(TtmSource{});
}

AdsSource ads(std::string_view text) {
  auto source = assemble_ads(text);
  EXPECT_TRUE(source.has_value()) << source.error().line << ": " << source.error().message;
  return source.value_or(AdsSource{});
}

TEST(AssemblerTtm, WritesTheExactBytecode) {
  const TtmSource source =
      ttm("# a comment line\n"
          "delay 0x1234          # hex number\n"
          "clip -1 0 639 479     # a negative number is its two's complement\n"
          "load_bitmap \"AB\"      # even text: NUL and a pad byte\n"
          "load_screen \"A\\\"\\x80\"   # odd text: only the NUL\n"
          "op 0x1234 1 2 3 4\n"
          "op 0xF03F \"\"\n"
          "\r\n"
          "end_page\n"
          "copy_zone 1 2 3 4 65535 0x8000\n"
          "word 0x0102 -2\n"
          "bytes \"x\" 0x7F 9\n");
  EXPECT_EQ(source.bytecode, bytes_of("\x21\x10\x34\x12"
                                      "\x04\x40\xFF\xFF\x00\x00\x7F\x02\xDF\x01"
                                      "\x2F\xF0"
                                      "AB\x00\x00"
                                      "\x1F\xF0"
                                      "A\"\x80\x00"
                                      "\x34\x12\x01\x00\x02\x00\x03\x00\x04\x00"
                                      "\x3F\xF0\x00\x00"
                                      "\xF0\x0F"
                                      "\x06\xB6\x01\x00\x02\x00\x03\x00\x04\x00\xFF\xFF\x00\x80"
                                      "\x02\x01\xFE\xFF"
                                      "x\x7F\x09"));
  // Two pages: end_page closes the first, the rest is the second.
  EXPECT_EQ(source.page_limit, 2);
  EXPECT_FALSE(source.page_payload);
  EXPECT_EQ(page_chunk_payload(source), bytes_of("\x02\x00"));

  EXPECT_EQ(ttm("end_page\nend_page\n").page_limit, 2);  // the empty last page does not count
  EXPECT_EQ(ttm("").page_limit, 0);
  EXPECT_EQ(ttm("pages 7\nend_page").page_limit, 7);
  const TtmSource raw = ttm("pag_bytes 1 2\npag_bytes \"xy\"\ndelay 1");
  EXPECT_EQ(page_chunk_payload(raw), bytes_of("\x01\x02xy"));
  EXPECT_EQ(raw.page_limit, 0x0201);
  EXPECT_EQ(page_chunk_payload(ttm("pag_bytes")), Buffer{});
}

TEST(AssemblerAds, WritesTheExactProgramAndList) {
  const AdsSource source =
      ads("res 1 \"A.TTM\"\n"
          "res 0x1234 \"B\\x80\"\n"
          "\n"
          "section 1\n"
          "  play 1 3 0 -1\n"
          "  end\n"
          "section 0xFFFF\n"
          "  op 0x1015 -5 6   # unnamed, two arguments by its range\n"
          "  end\n"
          "word 7\n"
          "bytes 9\n");
  EXPECT_EQ(res_chunk_payload(source), bytes_of("\x02\x00"
                                                "\x01\x00"
                                                "A.TTM\x00"
                                                "\x34\x12"
                                                "B\x80\x00"));
  EXPECT_EQ(source.program, bytes_of("\x01\x00"
                                     "\x05\x20\x01\x00\x03\x00\x00\x00\xFF\xFF"
                                     "\xFF\xFF"
                                     "\xFF\xFF"
                                     "\x15\x10\xFB\xFF\x06\x00"
                                     "\xFF\xFF"
                                     "\x07\x00\x09"));
  EXPECT_EQ(res_chunk_payload(ads("")), bytes_of("\x00\x00"));
  EXPECT_EQ(res_chunk_payload(ads("res_bytes 5")), Buffer{5});
}

TEST(AssemblerTtm, EveryNamedOpcodeHasItsTableLength) {
  for (const TtmOpcode& op : kTtmOpcodes) {
    const unsigned n = ttm_argument_count(op.opcode).value();
    std::string line(op.name);
    if (n == kTtmTextArgument) {
      line += " \"A\"";
    } else {
      for (unsigned i = 0; i < n; ++i) line += " " + std::to_string(0x1230 + i);
    }
    const Buffer code = ttm(line).bytecode;
    ASSERT_EQ(code.size(), n == kTtmTextArgument ? 4u : 2 + 2 * n) << line;
    EXPECT_EQ(code[0] | code[1] << 8, op.opcode) << line;
    if (n != kTtmTextArgument && n > 0) {
      EXPECT_EQ(code[2] | code[3] << 8, 0x1230) << line;
    }
  }
}

TEST(AssemblerAds, EveryNamedOpcodeHasItsTableLength) {
  for (const AdsOpcode& op : kAdsOpcodes) {
    std::string line = "section 1\n" + std::string(op.name);
    for (unsigned i = 0; i < ads_argument_count(op.opcode); ++i)
      line += " 0x123" + std::to_string(i);
    const Buffer program = ads(line).program;
    ASSERT_EQ(program.size(), 2 + ads_command_length(op.opcode)) << line;
    EXPECT_EQ(program[2] | program[3] << 8, op.opcode) << line;
    if (ads_argument_count(op.opcode) > 0) {
      EXPECT_EQ(program[4] | program[5] << 8, 0x1230) << line;
    }
  }
}

TEST(AssemblerErrors, NameTheLineAndTheFault) {
  const struct {
    bool is_ads;
    std::string_view text;
    AssemblyError error;
  } cases[] = {
      {false, "delay 1\n\n# note\nfrob 2", {4, "unknown command \"frob\""}},
      {false, "delay 1 2", {1, "delay takes 1 argument, got 2"}},
      {false, "blit 1 2 3", {1, "blit takes 4 arguments, got 3"}},
      {false, "delay 12x", {1, "bad number \"12x\""}},
      {false, "delay -0x5", {1, "bad number \"-0x5\""}},
      {false, "delay 65536", {1, "number out of range \"65536\""}},
      {false, "delay -32769", {1, "number out of range \"-32769\""}},
      {false, "bytes 256", {1, "number out of range \"256\""}},
      {false, "delay \"5\"", {1, "expected a number, got a string"}},
      {false, "end_page\nload_bitmap \"AB", {2, "unterminated string"}},
      {false, "load_bitmap \"AB\\\"", {1, "unterminated string"}},
      {false, "load_bitmap \"\\q\"", {1, "unknown escape \\q"}},
      {false, "load_bitmap \"\\x4\"", {1, "\\x needs two hex digits"}},
      {false, "load_bitmap \"A\"B", {1, "expected a space after a string"}},
      {false, "load_bitmap 5", {1, "load_bitmap takes one text argument"}},
      {false,
       "load_bitmap \"A\\x00B\"",
       {1, "a text cannot hold a NUL byte (write it with bytes)"}},
      {false, "op 0x1027 1", {1, "op 0x1027 has no argument count (write it with word)"}},
      {false, "op 0x1021", {1, "op 0x1021 takes 1 argument, got 0"}},
      {false, "op", {1, "op needs an opcode"}},
      {false, "word", {1, "word needs at least one value"}},
      {false, "pages 1\npages 2", {2, "the page limit is given twice"}},
      {false, "pages 1\npag_bytes 2", {2, "pag_bytes cannot follow pages"}},
      {false, "\"end_page\"", {1, "expected a command, got a string"}},
      {false, "play 1 2 3 4", {1, "unknown command \"play\""}},
      {true, "delay 5", {1, "unknown command \"delay\""}},
      {true, "play 1 2 3 4", {1, "play outside a section"}},
      {true, "section 1\nplay 1 2 3", {2, "play takes 4 arguments, got 3"}},
      {true, "section 1\nsection 2", {2, "section before the previous one's end"}},
      {true, "section 1\nend\nnop", {3, "nop outside a section"}},
      {true, "section", {1, "section takes 1 argument, got 0"}},
      {true, "res 1 NAME", {1, "res takes a slot number and a quoted name"}},
      {true, "res 1 \"A\\x00\"", {1, "a name cannot hold a NUL byte (write it with res_bytes)"}},
      {true, "res_bytes 1\nres 1 \"A\"", {2, "res cannot follow res_bytes"}},
      {true, "res 1 \"A\"\nres_bytes 1", {2, "res_bytes cannot follow res"}},
  };
  for (const auto& c : cases) {
    const auto error = c.is_ads ? assemble_ads(c.text).error() : assemble_ttm(c.text).error();
    EXPECT_EQ(error, c.error) << c.text;
  }
}

// Both resources through the archive and the engine's loader, as the player will see them.
TEST(AssemblerResources, LoadAsAScene) {
  const TtmSource anim =
      ttm("tag 7\n"
          "load_bitmap \"ab.bmp\"\n"
          "delay 5\n"
          "end_page\n"
          "tag 8\n"
          "load_screen \"abc.scr\"\n"
          "blit -3 4 0 1\n"
          "end_page\n");
  const AdsSource scene =
      ads("res 2 \"ANIM.TTM\"\n"
          "section 4\n"
          "  play 2 8 0 1\n"
          "  end\n"
          "section 5\n"
          "  if_finished 2 8\n"
          "    start 2 7 1 1\n"
          "  end_if\n"
          "  end\n");
  const auto files = write_archive(std::vector<ArchiveResource>{
      {"ANIM.TTM", ttm_resource(anim)}, {"SCENE.ADS", ads_resource(scene)}});
  const auto archive = open_archive(files.map, files.data);
  ASSERT_TRUE(archive.has_value());
  const auto loaded = load_scene(*archive, 3, "SCENE.ADS");
  ASSERT_TRUE(loaded.has_value()) << loaded.error().detail;
  EXPECT_EQ(loaded->program, scene.program);
  ASSERT_EQ(loaded->scripts.size(), 1u);
  const TtmScript& script = loaded->scripts[0];
  ASSERT_EQ(script.pages.size(), 2u);
  ASSERT_EQ(script.pages[0].size(), 4u);
  EXPECT_EQ(script.pages[0][1].text, "ab.bmp");
  EXPECT_EQ(script.pages[0][2], (TtmInstruction{0x1021, {5}, {}}));
  EXPECT_EQ(script.pages[1][1].text, "abc.scr");
  EXPECT_EQ(script.pages[1][2], (TtmInstruction{0xA504, {0xFFFD, 4, 0, 1}, {}}));
  EXPECT_EQ(script.tags, (std::vector<TtmTag>{{7, 0}, {8, 1}}));
  ASSERT_EQ(loaded->sections.size(), 2u);
  EXPECT_EQ(loaded->sections[0].number, 4);
  EXPECT_EQ(loaded->sections[1].number, 5);
  EXPECT_EQ(loaded->sections[1].start, 16u);
}

TEST(Disassembler, PrintsTtmPageByPage) {
  const Buffer code = ttm("delay 5\n"
                          "clip -1 0 639 479\n"
                          "load_bitmap \"A\\\"B\"\n"
                          "end_page\n"
                          "copy_zone 1 -2 3 4 65535 0x8000\n"
                          "op 0x0012 1 2\n")
                          .bytecode;
  EXPECT_EQ(disassemble_ttm(bytes_of("\x03\x00"), code),
            "pages 3\n"
            "\n"
            "# page 0\n"
            "delay 5\n"
            "clip -1 0 639 479\n"
            "load_bitmap \"A\\\"B\"\n"
            "end_page\n"
            "\n"
            "# page 1\n"
            "copy_zone 1 -2 3 4 65535 32768\n"
            "op 0x0012 1 2\n");
}

TEST(Disassembler, FallsBackToRawDirectivesForWhatTheSyntaxCannotSay) {
  const struct {
    Buffer pag;
    Buffer code;
    std::string text;
  } cases[] = {
      {bytes_of("\x01"),
       bytes_of("\x2F\xF0"
                "AB\x00\x07"  // a nonzero pad byte
                "\x21\x10\x01\x00"),
       "# the page chunk is not one word\n"
       "pag_bytes 0x01\n"
       "\n"
       "# page 0\n"
       "# load_bitmap with its text ended or padded otherwise\n"
       "word 0xF02F\n"
       "bytes \"AB\" 0x00 0x07\n"
       "delay 1\n"},
      {{},
       bytes_of("\x1F\xF0"
                "AB"),  // no NUL
       "# the page chunk is not one word\n"
       "pag_bytes\n"
       "\n"
       "# page 0\n"
       "# load_screen with its text ended or padded otherwise\n"
       "word 0xF01F\n"
       "bytes \"AB\"\n"},
      {bytes_of("\x01\x00"), bytes_of("\x21\x10\x05\x00\x27\x10\x01\x00\x02"),
       "pages 1\n"
       "\n"
       "# page 0\n"
       "delay 5\n"
       "# not decodable from here on: opcode 0x1027\n"
       "word 0x1027 0x0001\n"
       "bytes 0x02\n"},
      {bytes_of("\x01\x00"), bytes_of("\x22\x20\x05\x00"),  // an argument cut off
       "pages 1\n"
       "\n"
       "# page 0\n"
       "# not decodable from here on: opcode 0x2022\n"
       "word 0x2022 0x0005\n"},
      {bytes_of("\x01\x00"), bytes_of("\x10\x01\x09"),
       "pages 1\n"
       "\n"
       "# page 0\n"
       "end_animation\n"
       "# an odd byte at the end\n"
       "bytes 0x09\n"},
  };
  for (const auto& c : cases) {
    const std::string text = disassemble_ttm(c.pag, c.code);
    EXPECT_EQ(text, c.text);
    const TtmSource back = ttm(text);
    EXPECT_EQ(page_chunk_payload(back), c.pag);
    EXPECT_EQ(back.bytecode, c.code);
  }
}

TEST(Disassembler, PrintsAdsSectionBySection) {
  const Buffer res = bytes_of(
      "\x02\x00\x01\x00"
      "A.TTM\x00\x34\x12"
      "\"B\"\x00");
  const Buffer program = bytes_of(
      "\x01\x00"
      "\x05\x20\x01\x00\x03\x00\x00\x00\xFF\xFF"
      "\x10\x13\x01\x00\x03\x00"
      "\x15\x10\xFB\xFF\x06\x00"
      "\xFF\xFF"
      "\x02\x00"
      "\xFF\xFF"
      "\x03\x00"
      "\x00\x20\x01\x00\x02\x00");  // cut off
  EXPECT_EQ(disassemble_ads(res, program),
            "res 1 \"A.TTM\"\n"
            "res 4660 \"\\\"B\\\"\"\n"
            "\n"
            "section 1\n"
            "  play 1 3 0 -1\n"
            "  if_held 1 3\n"
            "    op 0x1015 -5 6\n"
            "  end\n"
            "\n"
            "section 2\n"
            "  end\n"
            "\n"
            "section 3\n"
            "  # a command cut off by the end\n"
            "  word 0x2000 0x0001 0x0002\n");
  EXPECT_EQ(disassemble_ads(bytes_of("\x01\x00\x05\x00"
                                     "AB"),
                            bytes_of("\x01\x00\xFF\xFF\x09\x00")),
            "# the RES list as stored\n"
            "res_bytes 0x01 0x00 0x05 0x00 \"AB\"\n"
            "\n"
            "section 1\n"
            "  end\n"
            "\n"
            "# a last number word without a section\n"
            "word 0x0009\n");
}

// Random payloads, some made of real commands and some plain noise, survive disassembly and
// assembly byte for byte.
class DisassemblerRoundTrip : public ::testing::Test {
 protected:
  std::uint16_t random_word() { return static_cast<std::uint16_t>(rng_() & 0xFFFF); }
  std::uint8_t random_byte() { return static_cast<std::uint8_t>(rng_() & 0xFF); }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }
  void put_word(Buffer& b, std::uint16_t w) {
    b.push_back(static_cast<std::uint8_t>(w));
    b.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  Buffer noise(std::size_t max) {
    Buffer b(below(max + 1));
    for (auto& x : b) x = random_byte();
    return b;
  }
  // Bytes without NUL, mostly printable, sometimes quotes, backslashes and high bytes.
  Buffer text(std::size_t max) {
    Buffer b(below(max + 1));
    for (auto& x : b) {
      static constexpr std::uint8_t kSpecial[] = {'"', '\\', '#', ' ', 0x80, 0xFF, 0x01, '\n'};
      x = below(4) == 0 ? kSpecial[below(std::size(kSpecial))]
                        : static_cast<std::uint8_t>('A' + below(26));
    }
    return b;
  }

  Buffer random_ttm() {
    if (below(5) == 0) return noise(24);
    Buffer b;
    for (std::size_t i = below(12); i > 0; --i) {
      switch (below(6)) {
        case 0:
        case 1:
        case 2: {
          const TtmOpcode& op = kTtmOpcodes[below(std::size(kTtmOpcodes))];
          put_word(b, op.opcode);
          if (ttm_argument_count(op.opcode) == kTtmTextArgument) {
            const Buffer t = text(6);
            b.insert(b.end(), t.begin(), t.end());
            if (below(8) != 0) b.push_back(0);
            if (t.size() % 2 == 0 && below(8) != 0) b.push_back(below(3) == 0 ? random_byte() : 0);
          } else {
            for (unsigned k = op.opcode & 0xF; k > 0; --k) put_word(b, random_word());
          }
          break;
        }
        case 3:
          put_word(b, random_word());
          break;
        case 4:
          b.push_back(random_byte());
          break;
        default:
          put_word(b, static_cast<std::uint16_t>(random_word() | 0x000F));  // a text, unnamed
          break;
      }
    }
    return b;
  }

  Buffer random_res() {
    if (below(5) == 0) return noise(6);
    const std::size_t count = below(4);
    Buffer b;
    put_word(b, static_cast<std::uint16_t>(below(6) == 0 ? count + below(3) : count));
    for (std::size_t i = 0; i < count; ++i) {
      put_word(b, random_word());
      const Buffer name = text(9);
      b.insert(b.end(), name.begin(), name.end());
      b.push_back(0);
    }
    if (below(6) == 0) b.push_back(random_byte());
    if (below(6) == 0 && !b.empty()) b.pop_back();
    return b;
  }

  Buffer random_ads() {
    if (below(5) == 0) return noise(24);
    Buffer b;
    for (std::size_t i = below(16); i > 0; --i) {
      switch (below(8)) {
        case 0:
          put_word(b, 0xFFFF);
          break;
        case 1:
          put_word(b, random_word());
          break;
        case 2:
          b.push_back(random_byte());
          break;
        default: {
          const AdsOpcode& op = kAdsOpcodes[below(std::size(kAdsOpcodes))];
          put_word(b, op.opcode);
          for (unsigned k = ads_argument_count(op.opcode); k > 0; --k) put_word(b, random_word());
          break;
        }
      }
    }
    return b;
  }

  std::mt19937 rng_{20240611};
};

// Counts the outputs that hold each of `marks`, so that a test can show its random inputs
// reached every kind of output.
struct Marks {
  std::map<std::string, int> seen;
  explicit Marks(std::initializer_list<std::string> marks) {
    for (const auto& m : marks) seen[m] = 0;
  }
  void look(const std::string& text) {
    for (auto& [mark, count] : seen) count += text.find(mark) != std::string::npos;
  }
  void expect_all_seen() const {
    for (const auto& [mark, count] : seen) EXPECT_GT(count, 0) << mark;
  }
};

TEST_F(DisassemblerRoundTrip, DisassemblerOutputAssemblesToTheSameTtmBytes) {
  Marks marks{"pag_bytes",        "# page 1",      "load_bitmap \"", "op 0x",
              "padded otherwise", "not decodable", "an odd byte"};
  for (int i = 0; i < 3000; ++i) {
    const Buffer pag = below(4) == 0 ? noise(4) : Buffer{random_byte(), random_byte()};
    const Buffer code = random_ttm();
    const std::string text = disassemble_ttm(pag, code);
    const auto back = assemble_ttm(text);
    ASSERT_TRUE(back.has_value()) << back.error().line << ": " << back.error().message << "\n"
                                  << text;
    ASSERT_EQ(page_chunk_payload(*back), pag) << text;
    ASSERT_EQ(back->bytecode, code) << text;
    marks.look(text);
  }
  marks.expect_all_seen();
}

TEST_F(DisassemblerRoundTrip, DisassemblerOutputAssemblesToTheSameAdsBytes) {
  Marks marks{"res ",    "res_bytes",   "section",           "  end\n",
              "cut off", "an odd byte", "without a section", "op 0x"};
  for (int i = 0; i < 3000; ++i) {
    const Buffer res = random_res();
    const Buffer program = random_ads();
    const std::string text = disassemble_ads(res, program);
    const auto back = assemble_ads(text);
    ASSERT_TRUE(back.has_value()) << back.error().line << ": " << back.error().message << "\n"
                                  << text;
    ASSERT_EQ(res_chunk_payload(*back), res) << text;
    ASSERT_EQ(back->program, program) << text;
    marks.look(text);
  }
  marks.expect_all_seen();
}

}  // namespace
}  // namespace ot::authoring
