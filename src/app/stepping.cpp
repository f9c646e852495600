#include "app/stepping.h"

#include "app/messages.h"

namespace ot {

std::optional<Settings> settings_to_write(const Settings& engine_state,
                                          const Settings& last_saved) {
  if (same_stored_state(engine_state, last_saved)) return std::nullopt;
  Settings record = last_saved;
  record.calendar_day_count = engine_state.calendar_day_count;
  record.story_day = engine_state.story_day;
  record.story_day_mark = engine_state.story_day_mark;
  record.stored_year = engine_state.stored_year;
  record.stored_month = engine_state.stored_month;
  record.stored_day = engine_state.stored_day;
  record.start_time = engine_state.start_time;
  return record;
}

void write_back_settings(const Settings& engine_state, Settings& last_saved,
                         const std::filesystem::path& settings_file) {
  const std::optional<Settings> record = settings_to_write(engine_state, last_saved);
  if (!record) return;
  if (auto written = write_settings(*record, settings_file); !written) {
    print_warning("cannot save settings: " + written.error().message());
  }
  last_saved = *record;
}

}  // namespace ot
