#include "engine/ads.h"

#include <algorithm>

#include "assets/bytes.h"
#include "assets/script_opcodes.h"

namespace ot {

std::uint16_t ads_word(std::span<const std::uint8_t> program, std::size_t offset) {
  return peek_le<std::uint16_t>(program, offset).value_or(0xFFFF);
}

std::vector<AdsSection> cut_sections(std::span<const std::uint8_t> program, const std::vector<TtmThread>& threads,
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
            if (std::find(section.threads.begin(), section.threads.end(), index) == section.threads.end()) {
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

}  // namespace ot
