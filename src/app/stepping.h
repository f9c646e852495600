// Stepping the engine on its 55 ms grid with the 16 ms fine clock in between, and writing the
// stored state back to the settings file when it changes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "app/settings.h"

namespace ot {

inline constexpr std::uint64_t kStepMilliseconds = 55;
inline constexpr std::uint64_t kFineMilliseconds = 16;
inline constexpr std::uint64_t kCatchUpLimit = 20;
inline constexpr std::uint64_t kStartDelayMilliseconds = 2000;  // after the window appears

struct StepClock {
  std::uint64_t tick_count = 0;
  std::uint64_t fine_count = 0;
};

// Milliseconds since the start instant -> the steps due. For each due step, `advance_clock` is
// called once per 16 ms unit that has passed, then `tick` once. After a stall of more than 20
// steps exactly one step runs and the lost time is dropped. Returns the number of steps run.
template <class AdvanceClock, class Tick>
std::uint64_t run_due_steps(StepClock& clock, std::uint64_t elapsed_ms,
                            AdvanceClock&& advance_clock, Tick&& tick) {
  const std::uint64_t target = elapsed_ms / kStepMilliseconds;
  if (target > clock.tick_count + kCatchUpLimit) {
    clock.tick_count = target - 1;
    clock.fine_count = clock.tick_count * kStepMilliseconds / kFineMilliseconds;
  }
  const std::uint64_t first = clock.tick_count;
  while (clock.tick_count < target) {
    ++clock.tick_count;
    while ((clock.fine_count + 1) * kFineMilliseconds <= clock.tick_count * kStepMilliseconds) {
      ++clock.fine_count;
      advance_clock();
    }
    tick();
  }
  return clock.tick_count - first;
}

// When the next step is due, in milliseconds since the start instant.
constexpr std::uint64_t next_step_due(const StepClock& clock) {
  return (clock.tick_count + 1) * kStepMilliseconds;
}

// The record to write when the engine's stored state differs from the last saved one: the
// engine's seven stored values with the last saved record's six switches; nullopt otherwise.
std::optional<Settings> settings_to_write(const Settings& engine_state, const Settings& last_saved);

// Writes the record when it is due; a failed write prints "warning: cannot save settings: {}".
// Either way the record becomes the last saved one, so a failure is retried only after the
// next change.
void write_back_settings(const Settings& engine_state, Settings& last_saved,
                         const std::filesystem::path& settings_file);

}  // namespace ot
