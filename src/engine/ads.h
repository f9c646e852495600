// The ADS interpreter: sections of a scene script start, stop, order and loop TTM threads.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/rng.h"
#include "engine/scene.h"

namespace ot {

// The opcode word at `offset`, or 0xFFFF when it cannot be read whole.
std::uint16_t ads_word(std::span<const std::uint8_t> program, std::size_t offset);

// The program cut into sections, each with the threads its start commands name.
std::vector<AdsSection> cut_sections(std::span<const std::uint8_t> program,
                                     const std::vector<TtmThread>& threads,
                                     const std::vector<std::size_t>& order);

// One pass over the running sections at the engine clock.
void run_ads_pass(AdsScene& scene, std::uint32_t clock, RandomGenerator& rng);

// Requests that the first section numbered `number` (re)starts; nothing when there is none.
void start_section(AdsScene& scene, std::uint16_t number);

}  // namespace ot
