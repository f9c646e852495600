// A loaded scene: one ADS resource with the TTM scripts it lists, their threads and sections.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assets/archive.h"
#include "assets/data_error.h"
#include "assets/images.h"
#include "engine/gfx.h"

namespace ot {

struct TtmInstruction {
  std::uint16_t opcode = 0;
  std::array<std::uint16_t, 6> args{};  // a0..a3 read as signed, a4 and a5 as unsigned
  std::optional<std::string> text;      // for opcodes whose low nibble is 15

  bool operator==(const TtmInstruction&) const = default;
};

using TtmPage = std::vector<TtmInstruction>;

struct TtmTag {
  std::uint16_t tag = 0;
  std::int32_t page = 0;
  bool operator==(const TtmTag&) const = default;
};

inline constexpr std::size_t kBitmapSlots = 6;

struct TtmScript {
  std::string name;
  std::vector<TtmPage> pages;
  std::vector<TtmTag> tags;  // one per tag command, in stream order
  std::array<std::shared_ptr<const SpriteSheet>, kBitmapSlots> slots;
  std::optional<SavedZone> saved_zone;
};

enum TtmThreadState : std::uint16_t {
  kThreadIdle = 0,
  kThreadPlayOnce = 1,
  kThreadRepeat = 2,
  kThreadUntilTime = 3,
  kThreadFinished = 4,
  kThreadHeld = 5,
};

struct TtmThread {
  std::size_t script = 0;
  std::uint16_t slot = 0;  // the RES entry's slot number
  std::uint16_t tag = 0;
  std::int32_t start_page = 0;

  std::int32_t current_page = 0;
  std::int32_t next_page = -1;  // override; -1 = none
  DrawState draw;
  std::uint16_t selected_slot = 0;
  std::int32_t delay = 0;
  std::uint32_t wake_time = 0;
  std::int32_t repeat_count = 0;
  std::int32_t end_time = 0;
  std::uint16_t start_count = 0;
  bool self_jump = false;
  std::uint16_t state = kThreadIdle;

  // Back to the state after loading; the script, slot, tag, start page and end time stay.
  void reset();
};

struct AdsSection {
  std::uint16_t number = 0xFFFF;
  std::size_t start = 0;
  std::vector<std::size_t> threads;
  std::uint16_t state = 8;  // bit 8: first pass still to come
  std::optional<std::size_t> resume;
  std::uint16_t counter = 0;
};

inline constexpr std::uint16_t kSectionFirstPass = 8;

struct AdsScene {
  std::uint8_t ads_number = 0;
  std::string name;
  std::vector<std::uint8_t> program;
  std::vector<TtmScript> scripts;  // in RES order
  std::vector<TtmThread> threads;
  std::vector<std::size_t> order;  // drawing and running order of the threads
  std::vector<AdsSection> sections;

  std::uint32_t clock = 0;
  std::size_t current_section = 0;
  unsigned depth = 0;
  bool pass_end = false;
  bool condition = false;
};

// One TTM resource decoded into pages and tags.
Result<TtmScript> decode_ttm(const ResourceArchive& archive, std::string_view name);

// The ADS resource `name` with every TTM it lists; threads in their reset state.
Result<AdsScene> load_scene(const ResourceArchive& archive, std::uint8_t ads_number,
                            std::string_view name);

}  // namespace ot
