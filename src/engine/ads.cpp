#include "engine/ads.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "assets/bytes.h"
#include "assets/script_opcodes.h"

namespace ot {

std::uint16_t ads_word(std::span<const std::uint8_t> program, std::size_t offset) {
  return peek_le<std::uint16_t>(program, offset).value_or(0xFFFF);
}

std::vector<AdsSection> cut_sections(std::span<const std::uint8_t> program,
                                     const std::vector<TtmThread>& threads,
                                     const std::vector<std::size_t>& order) {
  std::vector<AdsSection> sections;
  const std::size_t n = program.size();
  for (std::size_t b = 2; b < n;) {
    AdsSection section;
    section.number = ads_word(program, b - 2);
    section.start = b;
    std::size_t p = b;
    while (n - std::min(p, n) >= 2) {
      const std::uint16_t op = ads_word(program, p);
      if (op == 0xFFFF) break;
      if (op == 0x2000 || op == 0x2005) {
        const std::uint16_t slot = ads_word(program, p + 2);
        const std::uint16_t tag = ads_word(program, p + 4);
        for (const std::size_t index : order) {
          if (threads[index].slot == slot && threads[index].tag == tag) {
            if (std::find(section.threads.begin(), section.threads.end(), index) ==
                section.threads.end()) {
              section.threads.push_back(index);
            }
            break;
          }
        }
      }
      p += ads_command_length(op);
    }
    sections.push_back(std::move(section));
    b = p + 4;
  }
  return sections;
}

namespace {

// Nesting of commands (and of else/end-if searches) stops here.
constexpr unsigned kDepthLimit = 32;

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

constexpr std::uint16_t kNop = 0x0001;
constexpr std::uint16_t kLaterPasses = 0x0005;
constexpr std::uint16_t kAnd = 0x1420;
constexpr std::uint16_t kOr = 0x1430;
constexpr std::uint16_t kElse = 0x1500;
constexpr std::uint16_t kEndIf = 0x1510;
constexpr std::uint16_t kEndLoop = 0x1520;
constexpr std::uint16_t kStart = 0x2000;
constexpr std::uint16_t kPlay = 0x2005;
constexpr std::uint16_t kStopThread = 0x2010;
constexpr std::uint16_t kHold = 0x2015;
constexpr std::uint16_t kReset = 0x2020;
constexpr std::uint16_t kRandom = 0x3010;
constexpr std::uint16_t kNothing = 0x3020;
constexpr std::uint16_t kEndRandom = 0x30FF;
constexpr std::uint16_t kDrawLast = 0x4000;
constexpr std::uint16_t kDrawFirst = 0x4010;
constexpr std::uint16_t kStop = 0xF000;
constexpr std::uint16_t kStopSection = 0xF010;
constexpr std::uint16_t kContinueSection = 0xF200;
constexpr std::uint16_t kRestartSection = 0xF210;
constexpr std::uint16_t kEnd = 0xFFFF;

constexpr std::uint16_t kSectionRunning = 1;
constexpr std::uint16_t kSectionStopped = 2;
constexpr std::uint16_t kSectionRestart = 3;
constexpr std::uint16_t kSectionStart = 4;

constexpr bool is_loop(std::uint16_t op) {
  return op >= 0x1010 && op <= 0x1080 && (op & 0x000F) == 0;
}
constexpr bool is_if(std::uint16_t op) {
  return op >= 0x1310 && op <= 0x13C1;
}
constexpr bool is_condition(std::uint16_t op) {
  return is_loop(op) || is_if(op);
}
constexpr bool is_joiner(std::uint16_t op) {
  return op == kAnd || op == kOr;
}

constexpr std::uint16_t without_first_pass(std::uint16_t word) {
  return static_cast<std::uint16_t>(word & ~unsigned{kSectionFirstPass});
}

void set_section_state(AdsSection& section, std::uint16_t state) {
  section.state = static_cast<std::uint16_t>((section.state & kSectionFirstPass) | state);
}

// What a command hands back: whether the run goes on, and where.
struct Step {
  bool go_on = false;
  std::size_t next = 0;
};

// One pass's view of the scene. Every offset may lie anywhere, also past the program's end:
// reads there give 0xFFFF words and -1 arguments, and every walk advances by at least 2 bytes.
class AdsRun {
 public:
  AdsRun(AdsScene& scene, RandomGenerator& rng) : scene_(scene), rng_(rng) {}

  // The commands from `p` until one stops or raises the pass-end flag.
  Step run_block(std::size_t p) {
    for (;;) {
      if (at_end(p) || word(p) == kEnd) return {false, p};
      if (scene_.depth >= kDepthLimit) return {false, p};
      const Step step = execute_nested(p);
      if (scene_.pass_end) {
        scene_.pass_end = false;
        return step;
      }
      if (!step.go_on) return step;
      p = step.next;
    }
  }

  // Where a section's later passes begin: just after its first 0x0005, else its start.
  std::size_t later_entry(std::size_t start) const {
    for (std::size_t p = start; !at_end(p);) {
      const std::uint16_t op = word(p);
      if (op == kEnd) break;
      if (op == kLaterPasses) return p + 2;
      p = next(p);
    }
    return start;
  }

 private:
  std::span<const std::uint8_t> program() const { return scene_.program; }
  bool at_end(std::size_t p) const { return p >= program().size() || program().size() - p < 2; }
  std::uint16_t word(std::size_t p) const { return ads_word(program(), p); }
  std::size_t next(std::size_t p) const { return p + ads_command_length(word(p)); }
  std::int16_t signed_word(std::size_t p) const {
    return peek_le<std::int16_t>(program(), p).value_or(-1);
  }
  std::int16_t arg(std::size_t p, std::size_t i) const { return signed_word(p + 2 + 2 * i); }

  AdsSection* current_section() {
    return scene_.current_section < scene_.sections.size()
               ? &scene_.sections[scene_.current_section]
               : nullptr;
  }

  // The first section with this number, as an index.
  std::optional<std::size_t> find_section(std::int16_t number) const {
    const auto wanted = static_cast<std::uint16_t>(number);
    for (std::size_t i = 0; i < scene_.sections.size(); ++i) {
      if (scene_.sections[i].number == wanted) return i;
    }
    return std::nullopt;
  }

  // The thread that a command's (a0, a1) names: first match in drawing order.
  TtmThread* find_thread(std::size_t p) {
    const std::int32_t slot = arg(p, 0);
    const std::int32_t tag = arg(p, 1);
    for (const std::size_t index : scene_.order) {
      if (index >= scene_.threads.size()) continue;
      TtmThread& thread = scene_.threads[index];
      if (std::int32_t{thread.slot} == slot && std::int32_t{thread.tag} == tag) return &thread;
    }
    return nullptr;
  }

  std::optional<std::size_t> find_thread_index(std::size_t p) {
    const TtmThread* thread = find_thread(p);
    if (thread == nullptr) return std::nullopt;
    return static_cast<std::size_t>(thread - scene_.threads.data());
  }

  Step execute_nested(std::size_t p) {
    ++scene_.depth;
    const Step step = execute(p);
    --scene_.depth;
    return step;
  }

  Step execute(std::size_t p) {
    const std::uint16_t op = word(p);
    if (is_loop(op)) return loop(p);
    if (is_if(op)) return if_block(p);
    switch (op) {
      case kNop:
      case kLaterPasses:
        return {true, next(p)};
      case kElse:
        return else_reached(p);
      case kEndIf:
        scene_.pass_end = true;
        return {true, p};
      case kEndLoop:
        scene_.pass_end = true;
        return {false, next(p)};
      case kStart:
      case kPlay:
        return start_thread(p);
      case kStopThread:
      case kHold:
      case kReset:
        return change_thread(p);
      case kRandom:
        return random_block(p);
      case kDrawLast:
      case kDrawFirst:
        return move_in_order(p);
      case kStop:
        if (AdsSection* section = current_section()) set_section_state(*section, kSectionStopped);
        return {false, next(p)};
      case kStopSection:
        return stop_section(p);
      case kContinueSection:
      case kRestartSection:
        return request_section(p);
      default:  // joiners outside a chain, 0xFFFF and every opcode without a meaning
        return {false, next(p)};
    }
  }

  bool condition_holds(std::size_t p) {
    const std::uint16_t op = word(p);
    const unsigned kind = (op & 0x000F) == 0 ? (op & 0x00FFu) >> 4 : 0;
    if (kind == 8) {
      const AdsSection* section = current_section();
      return section != nullptr && std::int32_t{arg(p, 0)} >= std::int32_t{section->counter};
    }
    const TtmThread* thread = find_thread(p);
    switch (kind) {
      case 1:
        return thread != nullptr && thread->state == kThreadHeld;
      case 2:
        return thread == nullptr || thread->state != kThreadHeld;
      case 3:
        return thread == nullptr || thread->start_count == 0;
      case 4:
        return thread != nullptr && thread->start_count != 0;
      case 5:
        return thread != nullptr && thread->state == kThreadFinished;
      case 6:
        return thread == nullptr || thread->state == kThreadIdle ||
               thread->state == kThreadFinished;
      case 7:
        return thread != nullptr &&
               (thread->state == kThreadPlayOnce || thread->state == kThreadRepeat ||
                thread->state == kThreadUntilTime);
      default:
        return false;
    }
  }

  struct Chain {
    bool value = false;
    std::size_t end = 0;  // the first command that is neither a condition nor a joiner
  };

  // Conditions joined by "and" and "or", "and" binding tighter. Conditions side by side count as
  // joined by "and"; a joiner with nothing on one side is ignored.
  Chain evaluate_chain(std::size_t p) {
    bool any_term_true = false;
    bool term = true;
    bool term_has_operand = false;
    for (; !at_end(p) && (is_condition(word(p)) || is_joiner(word(p))); p = next(p)) {
      const std::uint16_t op = word(p);
      if (op == kAnd) continue;
      if (op == kOr) {
        any_term_true = any_term_true || (term_has_operand && term);
        term = true;
        term_has_operand = false;
        continue;
      }
      if (!any_term_true && term) term = condition_holds(p);
      term_has_operand = true;
    }
    scene_.condition = any_term_true || (term_has_operand && term);
    return {scene_.condition, p};
  }

  std::size_t chain_end(std::size_t p) const {
    while (!at_end(p) && (is_condition(word(p)) || is_joiner(word(p)))) p = next(p);
    return p;
  }

  // The first else (when wanted) or end-if at this level from `p`, nested ifs skipped whole.
  // Every level counts against the depth limit.
  std::optional<std::size_t> find_match(std::size_t p, bool want_else) {
    if (scene_.depth >= kDepthLimit) return std::nullopt;
    ++scene_.depth;
    std::optional<std::size_t> found;
    for (;;) {
      const std::uint16_t op = word(p);
      if (op == 0x0000 || op == kEnd) break;
      if (is_if(op)) {
        const std::optional<std::size_t> after = skip_if(p);
        if (!after) break;
        p = *after;
        continue;
      }
      if (op == kEndIf || (want_else && op == kElse)) {
        found = p;
        break;
      }
      p = next(p);
    }
    --scene_.depth;
    return found;
  }

  // Just after the end-if of the if at `p`.
  std::optional<std::size_t> skip_if(std::size_t p) {
    std::optional<std::size_t> match = find_match(chain_end(p), true);
    if (match && word(*match) == kElse) match = find_match(*match + 2, false);
    if (!match) return std::nullopt;
    return *match + 2;
  }

  Step loop(std::size_t p) {
    AdsSection* section = current_section();
    const Chain chain = evaluate_chain(p);
    if (chain.value) {
      if (section != nullptr) {
        ++section->counter;
        section->resume = p;
      }
      run_block(chain.end);
      return {false, chain.end};
    }
    if (section != nullptr) {
      section->counter = 0;
      section->resume.reset();
    }
    for (std::size_t q = chain.end;; q = next(q)) {
      const std::uint16_t op = word(q);
      if (op == 0x0000 || op == kEnd) return {false, q};
      if (op == kEndLoop) return {true, q + 2};
    }
  }

  Step if_block(std::size_t p) {
    const Chain chain = evaluate_chain(p);
    Step body;
    if (chain.value) {
      body = run_block(chain.end);
    } else {
      const std::optional<std::size_t> match = find_match(chain.end, true);
      if (!match) return {false, chain.end};
      if (word(*match) == kEndIf) return {true, *match + 2};
      body = run_block(*match + 2);
    }
    if (body.go_on && word(body.next) == kEndIf) return {true, body.next + 2};
    return {false, body.next};
  }

  Step else_reached(std::size_t p) {
    const std::optional<std::size_t> end_if = find_match(p + 2, false);
    scene_.pass_end = true;
    if (!end_if) return {false, p + 2};
    return {true, *end_if};
  }

  Step start_thread(std::size_t p) {
    if (TtmThread* thread = find_thread(p)) {
      if (word(p) == kStart) thread->current_page = thread->start_page;
      const std::int16_t repeats = arg(p, 2);
      if (repeats == 0) {
        thread->state = kThreadPlayOnce;
      } else if (repeats > 0) {
        thread->state = kThreadRepeat;
        thread->repeat_count = repeats - 1;
      } else {
        thread->state = kThreadUntilTime;
        thread->end_time = static_cast<std::int32_t>(
            scene_.clock + static_cast<std::uint32_t>(-std::int32_t{repeats}));
      }
      ++thread->start_count;
    }
    return {true, next(p)};
  }

  Step change_thread(std::size_t p) {
    if (TtmThread* thread = find_thread(p)) {
      switch (word(p)) {
        case kStopThread:
          thread->state = kThreadIdle;
          break;
        case kHold:
          thread->state = kThreadHeld;
          break;
        default:
          thread->reset();
          break;
      }
    }
    return {true, next(p)};
  }

  Step move_in_order(std::size_t p) {
    if (const std::optional<std::size_t> index = find_thread_index(p)) {
      std::vector<std::size_t>& order = scene_.order;
      order.erase(std::remove(order.begin(), order.end(), *index), order.end());
      if (word(p) == kDrawLast) {
        order.push_back(*index);
      } else {
        order.insert(order.begin(), *index);
      }
    }
    return {true, next(p)};
  }

  Step stop_section(std::size_t p) {
    const std::int16_t number = arg(p, 0);
    const std::optional<std::size_t> target =
        number == -1 ? std::optional{scene_.current_section} : find_section(number);
    if (!target || *target >= scene_.sections.size()) return {true, next(p)};
    set_section_state(scene_.sections[*target], kSectionStopped);
    return {*target != scene_.current_section, next(p)};
  }

  Step request_section(std::size_t p) {
    if (const std::optional<std::size_t> target = find_section(arg(p, 0))) {
      AdsSection& section = scene_.sections[*target];
      section.resume.reset();
      set_section_state(section, word(p) == kContinueSection ? kSectionStart : kSectionRestart);
    }
    return {true, next(p)};
  }

  // A command's share in a random block.
  std::int32_t weight(std::size_t p) const {
    const std::uint16_t op = word(p);
    if (op == kStart || op == kPlay) return signed_word(p + 8);
    if (op == kNothing) return arg(p, 0);
    return signed_word(p + 6);
  }

  Step random_block(std::size_t p) {
    std::int64_t total = 0;
    std::size_t q = p + 2;
    for (;; q = next(q)) {
      if (at_end(q)) return {false, q};
      if (word(q) == kEndRandom) break;
      total = std::clamp<std::int64_t>(total + weight(q), kInt32Min, kInt32Max);
    }
    const std::size_t after = q + 2;
    if (total <= 0) return {true, after};

    const auto h = static_cast<std::int16_t>(rng_.below(static_cast<std::uint32_t>(total)));
    std::int64_t n = std::int64_t{h < 0 ? -std::int32_t{h} : std::int32_t{h}} + 1;
    for (q = p + 2;; q = next(q)) {
      if (at_end(q)) return {false, q};
      n -= weight(q);
      if (n <= 0) break;
    }
    if (word(q) != kNothing && scene_.depth < kDepthLimit) execute_nested(q);
    return {true, after};
  }

  AdsScene& scene_;
  RandomGenerator& rng_;
};

}  // namespace

void run_ads_pass(AdsScene& scene, std::uint32_t clock, RandomGenerator& rng) {
  scene.clock = clock;
  for (const AdsSection& section : scene.sections) {
    if (section.threads.empty() || without_first_pass(section.state) != kSectionRestart) continue;
    for (const std::size_t index : section.threads) {
      if (index < scene.threads.size()) scene.threads[index].reset();
    }
  }

  AdsRun run(scene, rng);
  for (std::size_t i = 0; i < scene.sections.size(); ++i) {
    AdsSection& section = scene.sections[i];
    std::size_t entry = section.start;
    if ((section.state & kSectionFirstPass) != 0) {
      section.state = without_first_pass(section.state);
    } else {
      entry = run.later_entry(section.start);
    }
    if (section.resume) entry = *section.resume;

    scene.current_section = i;
    if (section.state == kSectionRestart || section.state == kSectionStart)
      section.state = kSectionRunning;
    if (section.state != kSectionRunning) continue;
    run.run_block(entry);
  }
}

void start_section(AdsScene& scene, std::uint16_t number) {
  for (AdsSection& section : scene.sections) {
    if (section.number != number) continue;
    section.resume.reset();
    set_section_state(section, kSectionRestart);
    return;
  }
}

}  // namespace ot
