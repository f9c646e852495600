// The command sets of the two script languages, written down once: the TTM and ADS interpreters,
// the assembler and the disassembler all read these tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

namespace ot {

// ---- TTM: animation bytecode. The low nibble of an opcode is its argument count (0 to 6) or 15
// for one zero-terminated text argument.

inline constexpr unsigned kTtmTextArgument = 15;

// Arguments of a TTM opcode: 0..6 words, kTtmTextArgument for a text, nullopt when invalid.
constexpr std::optional<unsigned> ttm_argument_count(std::uint16_t opcode) {
  const unsigned n = opcode & 0x000Fu;
  if (n <= 6 || n == kTtmTextArgument) return n;
  return std::nullopt;
}

struct TtmOpcode {
  std::uint16_t opcode;
  std::string_view name;
  bool once_only;  // skipped on the later passes of a page
};

inline constexpr TtmOpcode kTtmOpcodes[] = {
    {0x0080, "free_bitmap", true},    {0x0110, "end_animation", false},
    {0x0FF0, "end_page", false},      {0x1021, "delay", false},
    {0x1051, "select_slot", false},   {0x1101, "mark", false},
    {0x1111, "tag", false},           {0x1201, "jump", false},
    {0x2002, "colours", false},       {0x2022, "random_delay", true},
    {0x4004, "clip", false},          {0x4204, "copy_to_background", true},
    {0xA002, "plot", false},          {0xA054, "save_zone", true},
    {0xA064, "restore_zone", true},   {0xA0A4, "line", false},
    {0xA104, "box", false},           {0xA114, "outline", false},
    {0xA404, "disc", false},          {0xA424, "disc_alt", false},
    {0xA504, "blit", false},          {0xA514, "blit_flipped", false},
    {0xA524, "blit_mirrored", false}, {0xA534, "blit_flipped_mirrored", false},
    {0xB606, "copy_zone", true},      {0xC051, "sound", true},
    {0xF01F, "load_screen", true},    {0xF02F, "load_bitmap", true},
};

// The row of `table` whose opcode or name is `key`, or nullptr.
template <class Row, std::size_t N, class Key>
constexpr const Row* find_opcode_row(const Row (&table)[N], Key key) {
  for (const Row& row : table) {
    if constexpr (std::is_same_v<Key, std::uint16_t>) {
      if (row.opcode == key) return &row;
    } else {
      if (row.name == key) return &row;
    }
  }
  return nullptr;
}

constexpr const TtmOpcode* find_ttm_opcode(std::uint16_t opcode) {
  return find_opcode_row(kTtmOpcodes, opcode);
}
constexpr const TtmOpcode* find_ttm_opcode(std::string_view name) {
  return find_opcode_row(kTtmOpcodes, name);
}

// ---- ADS: scene scripts. A command is its opcode word and 0 to 4 argument words.

// Argument words of an ADS opcode (command length = 2 + 2 * count).
constexpr unsigned ads_argument_count(std::uint16_t opcode) {
  switch (opcode) {
    case 0x1080:
    case 0x1380:
    case 0x1390:
    case 0x13A0:
    case 0x13A1:
    case 0x13B0:
    case 0x13B1:
    case 0x13C0:
    case 0x13C1:
    case 0x3020:
    case 0xF010:
    case 0xF200:
    case 0xF210:
      return 1;
    case 0x2010:
    case 0x2015:
    case 0x2020:
    case 0x4000:
    case 0x4010:
      return 3;
    case 0x2000:
    case 0x2005:
      return 4;
    default:
      break;
  }
  if ((opcode >= 0x1010 && opcode <= 0x1070) || (opcode >= 0x1310 && opcode <= 0x1370)) return 2;
  return 0;
}

constexpr std::size_t ads_command_length(std::uint16_t opcode) {
  return 2 + 2 * std::size_t{ads_argument_count(opcode)};
}

struct AdsOpcode {
  std::uint16_t opcode;
  std::string_view name;
};

inline constexpr AdsOpcode kAdsOpcodes[] = {
    {0x0001, "nop"},
    {0x0005, "later_passes"},
    {0x1010, "while_held"},
    {0x1020, "while_not_held"},
    {0x1030, "while_never_started"},
    {0x1040, "while_started"},
    {0x1050, "while_finished"},
    {0x1060, "while_idle"},
    {0x1070, "while_playing"},
    {0x1080, "while_counter"},
    {0x1310, "if_held"},
    {0x1320, "if_not_held"},
    {0x1330, "if_never_started"},
    {0x1340, "if_started"},
    {0x1350, "if_finished"},
    {0x1360, "if_idle"},
    {0x1370, "if_playing"},
    {0x1380, "if_counter"},
    {0x1420, "and"},
    {0x1430, "or"},
    {0x1500, "else"},
    {0x1510, "end_if"},
    {0x1520, "end_loop"},
    {0x2000, "start"},
    {0x2005, "play"},
    {0x2010, "stop_thread"},
    {0x2015, "hold"},
    {0x2020, "reset"},
    {0x3010, "random"},
    {0x3020, "nothing"},
    {0x30FF, "end_random"},
    {0x4000, "draw_last"},
    {0x4010, "draw_first"},
    {0xF000, "stop"},
    {0xF010, "stop_section"},
    {0xF200, "continue_section"},
    {0xF210, "restart_section"},
    {0xFFFF, "end"},
};

constexpr const AdsOpcode* find_ads_opcode(std::uint16_t opcode) {
  return find_opcode_row(kAdsOpcodes, opcode);
}
constexpr const AdsOpcode* find_ads_opcode(std::string_view name) {
  return find_opcode_row(kAdsOpcodes, name);
}

}  // namespace ot
