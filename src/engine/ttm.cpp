#include "engine/ttm.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "assets/bytes.h"
#include "assets/decompress.h"
#include "assets/images.h"
#include "assets/script_opcodes.h"
#include "assets/text.h"
#include "engine/ads.h"

namespace ot {

namespace {

constexpr std::size_t kMaxTtmInstructions = 100000;
constexpr std::size_t kMaxSceneInstructions = 250000;
constexpr std::size_t kMaxSceneScripts = 16;
constexpr unsigned kMaxLoadsPerPass = 32;

std::string hex4(std::uint16_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(4, '0');
  for (std::size_t i = 0; i < 4; ++i) {
    out[3 - i] = kDigits[(value >> (4 * i)) & 0xF];
  }
  return out;
}

std::unexpected<DataError> pass_on(DataError error) {
  return std::unexpected(std::move(error));
}

}  // namespace

// ---- Loading ---------------------------------------------------------------------------------

void TtmThread::reset() {
  draw.reset();
  selected_slot = 0;
  current_page = start_page;
  next_page = -1;
  delay = 0;
  wake_time = 0;
  repeat_count = 0;
  start_count = 0;
  self_jump = false;
  state = kThreadIdle;
}

Result<TtmScript> decode_ttm(const ResourceArchive& archive, std::string_view name) {
  auto chunks = read_chunks(archive, name);
  if (!chunks) return pass_on(std::move(chunks.error()));
  auto pag = get_chunk(*chunks, name, "PAG:");
  if (!pag) return pass_on(std::move(pag.error()));
  const auto page_limit = peek_le<std::uint16_t>(*pag, 0);
  if (!page_limit) return invalid(std::string(kTruncatedData));
  auto tt3 = get_chunk(*chunks, name, "TT3:");
  if (!tt3) return pass_on(std::move(tt3.error()));
  auto unpacked = decompress_chunk(*tt3);
  if (!unpacked) return pass_on(std::move(unpacked.error()));
  const Bytes code(*unpacked);
  const std::size_t length = code.size();

  TtmScript script;
  script.name = std::string(name);
  script.pages.emplace_back();
  std::size_t decoded = 0;
  std::size_t p = 0;
  while (length >= 2 && p <= length - 2) {
    TtmInstruction instruction;
    instruction.opcode = *peek_le<std::uint16_t>(code, p);
    const std::optional<unsigned> count = ttm_argument_count(instruction.opcode);
    const std::size_t arguments = p + 2;
    std::size_t next = 0;
    if (count == kTtmTextArgument) {
      const auto rest = code.subspan(arguments);
      const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
      const auto k = static_cast<std::size_t>(nul - rest.begin());
      instruction.text = to_text(rest.first(k));
      // Text and its zero byte are padded to an even length.
      next = arguments + k + (k % 2 == 1 ? 1 : 2);
    } else if (count && length - arguments >= 2 * std::size_t{*count}) {
      for (std::size_t i = 0; i < *count; ++i) {
        instruction.args[i] = *peek_le<std::uint16_t>(code, arguments + 2 * i);
      }
      next = arguments + 2 * std::size_t{*count};
    } else {
      return invalid("bad TTM opcode " + hex4(instruction.opcode));
    }
    if (decoded == kMaxTtmInstructions) return invalid("TTM has too many instructions");
    ++decoded;

    const auto last_page = static_cast<std::int32_t>(script.pages.size() - 1);
    if (instruction.opcode == 0x1111) script.tags.push_back({instruction.args[0], last_page});
    const bool page_end = instruction.opcode == 0x0FF0;
    script.pages.back().push_back(std::move(instruction));
    if (page_end) script.pages.emplace_back();
    p = next;
  }
  if (script.pages.back().empty()) script.pages.pop_back();
  // Tags keep pointing at dropped pages; a thread started there finishes at once.
  if (script.pages.size() > *page_limit) script.pages.resize(*page_limit);
  return script;
}

Result<AdsScene> load_scene(const ResourceArchive& archive, std::uint8_t ads_number,
                            std::string_view name) {
  auto chunks = read_chunks(archive, name);
  if (!chunks) return pass_on(std::move(chunks.error()));
  auto res = get_chunk(*chunks, name, "RES:");
  if (!res) return pass_on(std::move(res.error()));

  struct ResEntry {
    std::uint16_t slot;
    std::string name;
  };
  std::vector<ResEntry> entries;
  {
    const Bytes table = *res;
    const auto count = peek_le<std::uint16_t>(table, 0);
    if (!count) return invalid(std::string(kTruncatedData));
    std::size_t offset = 2;
    for (std::size_t i = 0; i < *count; ++i) {
      const auto slot = peek_le<std::uint16_t>(table, offset);
      if (!slot) return invalid(std::string(kTruncatedData));
      const auto rest = table.subspan(offset + 2);
      const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
      const auto k = static_cast<std::size_t>(nul - rest.begin());
      entries.push_back({*slot, to_text(rest.first(k))});
      // Past the end when the last name has no zero byte; the next entry then runs out.
      offset += 2 + k + 1;
      offset = std::min(offset, table.size());
    }
  }

  auto scr = get_chunk(*chunks, name, "SCR:");
  if (!scr) return pass_on(std::move(scr.error()));
  auto program = decompress_chunk(*scr);
  if (!program) return pass_on(std::move(program.error()));

  if (entries.size() > kMaxSceneScripts) return invalid(std::string(name) + ": too many TTMs");

  AdsScene scene;
  scene.ads_number = ads_number;
  scene.name = std::string(name);
  std::size_t total = 0;
  for (const ResEntry& entry : entries) {
    auto script = decode_ttm(archive, entry.name);
    if (!script) return pass_on(std::move(script.error()));
    for (const TtmPage& page : script->pages) total += page.size();
    if (total > kMaxSceneInstructions) return invalid(std::string(name) + ": TTMs too large");
    for (const TtmTag& tag : script->tags) {
      TtmThread thread;
      thread.script = scene.scripts.size();
      thread.slot = entry.slot;
      thread.tag = tag.tag;
      thread.start_page = tag.page;
      thread.reset();
      scene.threads.push_back(thread);
    }
    scene.scripts.push_back(std::move(*script));
  }

  if (program->size() < 2) return invalid(std::string(name) + ": empty script");
  scene.program = std::move(*program);
  scene.order.resize(scene.threads.size());
  for (std::size_t i = 0; i < scene.order.size(); ++i) scene.order[i] = i;
  scene.sections = cut_sections(scene.program, scene.threads, scene.order);
  return scene;
}

// ---- Running ---------------------------------------------------------------------------------

namespace {

// What one thread's run through its current page leaves for the end of the page.
struct PassFlags {
  bool delay_set = false;
  std::int32_t new_delay = 0;
  bool end_of_animation = false;
  bool jump = false;
  std::optional<std::int32_t> jump_target;
  unsigned loads = 0;
};

bool once_only(std::uint16_t opcode) {
  const TtmOpcode* entry = find_ttm_opcode(opcode);
  return entry != nullptr && entry->once_only;
}

// The first non-empty page that opens with a mark or tag command carrying `tag`.
std::optional<std::int32_t> find_marked_page(const TtmScript& script, std::uint16_t tag) {
  for (std::size_t i = 0; i < script.pages.size(); ++i) {
    const TtmPage& page = script.pages[i];
    if (page.empty()) continue;
    const TtmInstruction& first = page.front();
    if ((first.opcode == 0x1101 || first.opcode == 0x1111) && first.args[0] == tag) {
      return static_cast<std::int32_t>(i);
    }
  }
  return std::nullopt;
}

Layer& layer_by_id(TtmContext& context, std::int32_t id) {
  switch (layer_role(id)) {
    case LayerRole::Shown:
      return context.shown;
    case LayerRole::Background:
      return context.background;
    case LayerRole::Frame:
      break;
  }
  return context.frame;
}

std::uint8_t low_byte(std::int32_t v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}

// Sheets are loaded into the selected slot; the previous sheet goes in every case.
void load_bitmap(TtmContext& context, TtmScript& script, std::uint16_t slot,
                 const std::string& name) {
  std::shared_ptr<const SpriteSheet>& target = script.slots[slot];
  target.reset();
  if (name.size() == 12 && ascii_iequal(name, "zebowalk.bmp")) {
    target = context.walk_sheet;
    return;
  }
  auto sheet = load_sprite_sheet(context.archive, name);
  if (!sheet) {
    if (context.warn) context.warn(sheet.error().display_text());
    return;
  }
  target = std::make_shared<const SpriteSheet>(std::move(*sheet));
}

void load_screen(TtmContext& context, const std::string& name) {
  auto image = load_screen_image(context.archive, name);
  if (!image) {
    if (context.warn) context.warn(image.error().display_text());
    return;
  }
  paste_screen(context.frame, *image);
  context.background.copy_from(context.frame);
}

void draw_sprite(TtmContext& context, const TtmScript& script, const TtmThread& thread,
                 std::uint16_t opcode, const std::array<std::int32_t, 6>& a) {
  if (a[3] < 0 || static_cast<std::size_t>(a[3]) >= kBitmapSlots) return;
  const auto& sheet = script.slots[static_cast<std::size_t>(a[3])];
  if (!sheet || a[2] < 0 || static_cast<std::size_t>(a[2]) >= sheet->frames.size()) return;
  const std::uint32_t flags = static_cast<std::uint32_t>(opcode >> 4) & 3u;
  blit(context.frame, sheet->frames[static_cast<std::size_t>(a[2])], a[0], a[1], flags,
       effective_clip(thread.draw));
}

// Runs one command; false when it ends the page's run.
bool run_command(TtmContext& context, TtmScript& script, TtmThread& thread, PassFlags& pass,
                 const TtmInstruction& instruction) {
  const std::uint16_t opcode = instruction.opcode;
  if (thread.draw.once_only && once_only(opcode)) return true;

  std::array<std::int32_t, 6> a{};
  for (std::size_t i = 0; i < 4; ++i) a[i] = static_cast<std::int16_t>(instruction.args[i]);
  a[4] = instruction.args[4];
  a[5] = instruction.args[5];
  apply_origin(opcode, a, context.origin);

  DrawState& draw = thread.draw;
  const ClipRect clip = effective_clip(draw);
  Layer& frame = context.frame;
  switch (opcode) {
    case 0x0080:
      if (thread.selected_slot < kBitmapSlots) script.slots[thread.selected_slot].reset();
      break;
    case 0x0110:
      pass.end_of_animation = true;
      break;
    case 0x0FF0:
      return false;
    case 0x1021:
      pass.delay_set = true;
      pass.new_delay = a[0];
      break;
    case 0x1051:
      thread.selected_slot = static_cast<std::uint16_t>(std::clamp(a[0], 0, 5));
      break;
    case 0x1201:
      pass.jump = true;
      pass.jump_target = find_marked_page(script, instruction.args[0]);
      break;
    case 0x2002:
      draw.foreground = low_byte(a[0]);
      draw.background = low_byte(a[1]);
      break;
    case 0x2022: {
      const auto width = static_cast<std::uint16_t>(a[1] - a[0]);
      std::int32_t r = width == 0 ? 0 : context.rng.next16() % width;
      if (r >= 32768) r = 65536 - r;
      pass.delay_set = true;
      pass.new_delay = a[0] + r;
      break;
    }
    case 0x4004:
      draw.clip = {a[0], a[1], a[2], a[3]};
      draw.clip_set = true;
      break;
    case 0x4204:
      copy_zone(frame, context.background, a[0], a[1], a[2], a[3]);
      break;
    case 0xA002:
      plot(frame, a[0], a[1], draw.foreground, clip);
      break;
    case 0xA054:
      save_zone(frame, a[0], a[1], a[2], a[3], script.saved_zone);
      break;
    case 0xA064:
      restore_zone(frame, a[0], a[1], a[2], a[3], script.saved_zone);
      break;
    case 0xA0A4:
      draw_line(frame, a[0], a[1], a[2], a[3], draw.foreground, clip);
      break;
    case 0xA104:
      draw_box(frame, a[0], a[1], a[2], a[3], draw.foreground, draw.background, clip);
      break;
    case 0xA114:
      draw_outline(frame, a[0], a[1], a[2], a[3], draw.foreground, clip);
      break;
    case 0xA404:
    case 0xA424:
      draw_disc(frame, a[0], a[1], a[3], draw.foreground, draw.background, clip);
      break;
    case 0xA504:
    case 0xA514:
    case 0xA524:
    case 0xA534:
      draw_sprite(context, script, thread, opcode, a);
      break;
    case 0xB606:
      copy_zone(layer_by_id(context, a[4]), layer_by_id(context, a[5]), a[0], a[1], a[2], a[3]);
      break;
    case 0xC051:
      context.sound_requests.push_back(a[0]);
      break;
    case 0xF01F:
    case 0xF02F: {
      if (++pass.loads > kMaxLoadsPerPass) break;
      const std::string name = instruction.text.value_or(std::string());
      if (opcode == 0xF01F) {
        load_screen(context, name);
      } else if (thread.selected_slot < kBitmapSlots) {
        load_bitmap(context, script, thread.selected_slot, name);
      }
      break;
    }
    default:
      break;
  }
  return true;
}

// While the page's delay runs the gate stays shut; once it opens the next wait is armed.
bool delay_gate_open(TtmThread& thread, std::uint32_t clock) {
  if (thread.delay == 0) return true;
  if (thread.wake_time > clock) return false;
  thread.wake_time = static_cast<std::uint32_t>(thread.delay) + clock;
  return true;
}

void end_page(TtmThread& thread, const PassFlags& pass, std::uint32_t clock) {
  thread.draw.once_only = true;
  if (pass.delay_set && pass.new_delay != thread.delay) {
    thread.wake_time = static_cast<std::uint32_t>(pass.new_delay) + clock;
    thread.delay = pass.new_delay;
  }

  const auto back_to_start = [&] {
    thread.draw.once_only = false;
    thread.current_page = thread.start_page;
    thread.next_page = -1;
  };

  if (pass.end_of_animation) {
    thread.next_page = thread.start_page;
    if (thread.state == kThreadRepeat && thread.repeat_count != 0) {
      if (!delay_gate_open(thread, clock)) return;
      back_to_start();
      --thread.repeat_count;
    } else if (thread.state == kThreadUntilTime && thread.end_time != 0) {
      if (!delay_gate_open(thread, clock)) return;
      back_to_start();
    } else {
      if (!delay_gate_open(thread, clock)) return;
      back_to_start();
      thread.state = kThreadFinished;
      thread.delay = 0;
    }
    return;
  }

  if (pass.jump && pass.jump_target) {
    thread.next_page = *pass.jump_target;
    if (*pass.jump_target == thread.current_page) thread.self_jump = true;
  }
  if (thread.state == kThreadHeld) return;
  if (!delay_gate_open(thread, clock)) return;
  thread.draw.once_only = false;
  if (thread.next_page != -1) {
    thread.current_page = thread.next_page;
    thread.next_page = -1;
  } else {
    ++thread.current_page;
  }
}

void run_thread(TtmContext& context, TtmThread& thread, std::uint32_t clock) {
  const std::uint16_t state_at_start = thread.state;
  if (state_at_start != kThreadPlayOnce && state_at_start != kThreadRepeat &&
      state_at_start != kThreadUntilTime && state_at_start != kThreadHeld) {
    if (state_at_start == kThreadFinished) thread.state = kThreadIdle;
    return;
  }

  TtmScript* script = thread.script < context.scene.scripts.size()
                          ? &context.scene.scripts[thread.script]
                          : nullptr;
  const std::size_t page_count = script != nullptr ? script->pages.size() : 0;
  if (thread.current_page < 0 || static_cast<std::size_t>(thread.current_page) >= page_count) {
    thread.next_page = thread.start_page;
    thread.state = kThreadFinished;
  } else {
    PassFlags pass;
    const TtmPage& page = script->pages[static_cast<std::size_t>(thread.current_page)];
    for (const TtmInstruction& instruction : page) {
      if (!run_command(context, *script, thread, pass, instruction)) break;
    }
    end_page(thread, pass, clock);
  }

  // The end time is tested after every pass, also when the page stayed for its delay.
  if (state_at_start == kThreadUntilTime && static_cast<std::uint32_t>(thread.end_time) <= clock) {
    thread.state = kThreadFinished;
  }
}

}  // namespace

void run_ttm_pass(TtmContext& context) {
  AdsScene& scene = context.scene;
  for (std::size_t i = 0; i < scene.order.size(); ++i) {
    const std::size_t index = scene.order[i];
    if (index < scene.threads.size()) run_thread(context, scene.threads[index], scene.clock);
  }
}

}  // namespace ot
